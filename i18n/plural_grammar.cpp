// The plural-rule compiler: a recursive-descent parser that appends
// instructions as each operand and operator is recognised, so the program
// comes out in postfix order.
//
// Productions, lowest precedence first (white space, as C's isspace in the
// C locale, is skipped before every token and after the last):
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
//
// An operator whose operand does not follow fails the whole rule at once:
// nothing else in the grammar could take that operator's place, so no other
// reading of the text exists.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "i18n/plural_forms.h"

namespace zevrino::desktop::i18n::gettext {

namespace {

using op = plural_forms_operations;

// One binary operator of a precedence level.
struct binary_operator {
  const char* token;
  op operation;
};

constexpr binary_operator disjunction_operators[] = {{"||", op::logical_or}};
constexpr binary_operator conjunction_operators[] = {{"&&", op::logical_and}};
constexpr binary_operator equality_operators[] = {{"==", op::equal}, {"!=", op::not_equal}};
// Two-character operators first: "<=" is never "<" followed by "=".
constexpr binary_operator relation_operators[] = {
    {"<=", op::less_equal}, {"<", op::less}, {">=", op::greater_equal}, {">", op::greater}};
constexpr binary_operator sum_operators[] = {{"+", op::add}, {"-", op::subtract}};
constexpr binary_operator term_operators[] = {
    {"*", op::multiply}, {"/", op::divide}, {"%", op::modulo}};

class rule_parser {
 public:
  rule_parser(const std::string& text, plural_forms& forms)
      : next_(text.data()), end_(text.data() + text.size()), forms_(forms) {}

  // The whole text is one expression, white space aside.
  bool parse_all() {
    if (!expression()) {
      return false;
    }
    skip_space();
    return next_ == end_;
  }

 private:
  using production = bool (rule_parser::*)();

  bool expression() { return disjunction() && conditional_tail(); }

  bool conditional_tail() {
    if (!accept("?")) {
      return true;
    }
    return expression() && accept(":") && expression() && conditional_tail() &&
           emit(op::conditional);
  }

  bool disjunction() { return operands(&rule_parser::conjunction, disjunction_operators); }
  bool conjunction() { return operands(&rule_parser::equality, conjunction_operators); }
  bool equality() { return operands(&rule_parser::relation, equality_operators); }
  bool relation() { return operands(&rule_parser::sum, relation_operators); }
  bool sum() { return operands(&rule_parser::term, sum_operators); }
  bool term() { return operands(&rule_parser::value, term_operators); }

  // operand { operator operand }, emitting each operator after its right
  // operand.
  template <std::size_t count>
  bool operands(production operand, const binary_operator (&operators)[count]) {
    if (!(this->*operand)()) {
      return false;
    }
    for (;;) {
      const binary_operator* found = nullptr;
      for (const binary_operator& candidate : operators) {
        if (accept(candidate.token)) {
          found = &candidate;
          break;
        }
      }
      if (found == nullptr) {
        return true;
      }
      if (!(this->*operand)()) {
        return false;
      }
      emit(found->operation);
    }
  }

  bool value() {
    skip_space();
    if (next_ != end_ && is_digit(*next_)) {
      return number();
    }
    if (accept("n")) {
      return emit(op::count);
    }
    return accept("(") && expression() && accept(")");
  }

  // An unsigned decimal number: any count of digits whose value fits 32 bits
  // (a larger one does not parse), and then the operand's 28 bits.
  bool number() {
    std::uint64_t read = 0;
    for (; next_ != end_ && is_digit(*next_); ++next_) {
      read = read * 10 + static_cast<std::uint64_t>(*next_ - '0');
      if (read > UINT32_MAX) {
        return false;
      }
    }
    if (read > plural_forms::operand_mask) {
      return false;
    }
    forms_.add_operation(op::literal, static_cast<std::uint32_t>(read));
    return true;
  }

  // Skips white space, then consumes `token` if the text continues with it.
  bool accept(const char* token) {
    skip_space();
    const std::size_t length = std::strlen(token);
    if (static_cast<std::size_t>(end_ - next_) < length || std::memcmp(next_, token, length) != 0) {
      return false;
    }
    next_ += length;
    return true;
  }

  void skip_space() {
    while (next_ != end_ && is_space(*next_)) {
      ++next_;
    }
  }

  static bool is_digit(char c) { return c >= '0' && c <= '9'; }
  static bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }

  bool emit(op operation) {
    forms_.add_operation(operation);
    return true;
  }

  const char* next_;
  const char* const end_;
  plural_forms& forms_;
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
  return rule_parser(expression, *this).parse_all();
}

}  // namespace zevrino::desktop::i18n::gettext
