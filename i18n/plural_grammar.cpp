// The plural-rule compiler: a recursive-descent grammar whose semantic
// actions append instructions as each operand and operator is recognised, so
// the program comes out in postfix order.
//
// Productions, lowest precedence first (white space is skipped before every
// token and after the last):
//
//   expression   := disjunction conditional
//   conditional  := "?" expression ":" expression conditional   (emit conditional)
//                 | nothing
//   disjunction  := conjunction { "||" conjunction }             (emit logical_or)
//   conjunction  := equality { "&&" equality }                   (emit logical_and)
//   equality     := relation { ("==" | "!=") relation }
//   relation     := sum { ("<=" | "<" | ">=" | ">") sum }
//   sum          := term { ("+" | "-") term }
//   term         := value { ("*" | "/" | "%") value }
//   value        := number | "n" | "(" expression ")"
//
// Binary operators are left-associative because each one is emitted after
// its right operand; the conditional is right-associative because its third
// operand is a whole expression. There are no unary operators.

#include <boost/phoenix/bind/bind_function.hpp>
#include <boost/phoenix/core.hpp>
#include <boost/phoenix/operator.hpp>
#include <boost/spirit/include/qi.hpp>

#include "i18n/plural_forms.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

namespace qi = boost::spirit::qi;
namespace phx = boost::phoenix;
using op = plural_forms_operations;

void emit(plural_forms& forms, op operation) {
  forms.add_operation(operation);
}

// Fails the match for numbers that do not fit the 28-bit operand field.
bool emit_literal(plural_forms& forms, std::uint32_t value) {
  if (value > plural_forms::operand_mask) {
    return false;
  }
  forms.add_operation(op::literal, value);
  return true;
}

template <typename Iterator>
struct plural_grammar : qi::grammar<Iterator, qi::ascii::space_type> {
  explicit plural_grammar(plural_forms& forms) : plural_grammar::base_type(expression) {
    using qi::lit;
    auto emit_op = [&forms](op operation) { return phx::bind(&emit, phx::ref(forms), operation); };
    // uint_parser fails on overflow, so "4294967296" does not parse.
    qi::uint_parser<std::uint32_t> number;

    expression = disjunction >> conditional_tail;
    conditional_tail = (lit('?') >> expression >> lit(':') >> expression >>
                        conditional_tail)[emit_op(op::conditional)] |
                       qi::eps;
    disjunction = conjunction >> *((lit("||") >> conjunction)[emit_op(op::logical_or)]);
    conjunction = equality >> *((lit("&&") >> equality)[emit_op(op::logical_and)]);
    equality = relation >> *((lit("==") >> relation)[emit_op(op::equal)] |
                             (lit("!=") >> relation)[emit_op(op::not_equal)]);
    // Two-character operators first: "<=" is never "<" followed by "=".
    relation =
        sum >>
        *((lit("<=") >> sum)[emit_op(op::less_equal)] | (lit('<') >> sum)[emit_op(op::less)] |
          (lit(">=") >> sum)[emit_op(op::greater_equal)] | (lit('>') >> sum)[emit_op(op::greater)]);
    sum =
        term >> *((lit('+') >> term)[emit_op(op::add)] | (lit('-') >> term)[emit_op(op::subtract)]);
    term = value >>
           *((lit('*') >> value)[emit_op(op::multiply)] | (lit('/') >> value)[emit_op(op::divide)] |
             (lit('%') >> value)[emit_op(op::modulo)]);
    value = number[qi::_pass = phx::bind(&emit_literal, phx::ref(forms), qi::_1)] |
            lit('n')[emit_op(op::count)] | (lit('(') >> expression >> lit(')'));
  }

  qi::rule<Iterator, qi::ascii::space_type> expression, conditional_tail, disjunction, conjunction,
      equality, relation, sum, term, value;
};

// The parser recurses once per parenthesis and once per conditional; bound
// both before parsing so that a hostile header cannot exhaust the stack.
bool nesting_within_limit(const std::string& expression) {
  int depth = 0;
  int deepest = 0;
  int conditionals = 0;
  for (const char c : expression) {
    if (c == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ')' && depth > 0) {
      --depth;
    } else if (c == '?') {
      ++conditionals;
    }
    if (deepest + conditionals > plural_forms::max_nesting) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool plural_forms::parse(const std::string& expression) {
  clear();
  if (!nesting_within_limit(expression)) {
    return false;
  }
  using iterator = std::string::const_iterator;
  plural_grammar<iterator> grammar(*this);
  iterator first = expression.begin();
  const iterator last = expression.end();
  const bool matched = qi::phrase_parse(first, last, grammar, qi::ascii::space);
  return matched && first == last;
}

}  // namespace zevrino::desktop::i18n::gettext
