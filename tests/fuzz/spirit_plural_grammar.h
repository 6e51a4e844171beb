#pragma once
// The reference for plural_fuzz: the plural-rule grammar as the installer
// first had it, built with Boost Spirit Qi, an implementation independent of
// the recursive-descent parser in i18n/plural_grammar.cpp. It has no nesting
// limit of its own: callers keep its input short.

#include <boost/phoenix/bind/bind_function.hpp>
#include <boost/phoenix/core.hpp>
#include <boost/phoenix/operator.hpp>
#include <boost/spirit/include/qi.hpp>
#include <string>

#include "i18n/plural_forms.h"

namespace zevrino::desktop::i18n::gettext::reference {

namespace qi = boost::spirit::qi;
namespace phx = boost::phoenix;
using op = plural_forms_operations;

inline void emit(plural_forms& forms, op operation) {
  forms.add_operation(operation);
}

// Fails the match for numbers that do not fit the 28-bit operand field.
inline bool emit_literal(plural_forms& forms, std::uint32_t value) {
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
    qi::uint_parser<std::uint32_t> number;  // fails on overflow

    expression = disjunction >> conditional_tail;
    conditional_tail = (lit('?') >> expression >> lit(':') >> expression >>
                        conditional_tail)[emit_op(op::conditional)] |
                       qi::eps;
    disjunction = conjunction >> *((lit("||") >> conjunction)[emit_op(op::logical_or)]);
    conjunction = equality >> *((lit("&&") >> equality)[emit_op(op::logical_and)]);
    equality = relation >> *((lit("==") >> relation)[emit_op(op::equal)] |
                             (lit("!=") >> relation)[emit_op(op::not_equal)]);
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

// parse() of the reference: true when the whole text, trailing white space
// aside, is a rule; its program is then in `forms`.
inline bool parse(const std::string& text, plural_forms& forms) {
  forms.clear();
  plural_grammar<std::string::const_iterator> grammar(forms);
  auto first = text.begin();
  return qi::phrase_parse(first, text.end(), grammar, qi::ascii::space) && first == text.end();
}

}  // namespace zevrino::desktop::i18n::gettext::reference
