#pragma once
// A compiled plural rule: the C-like expression of a catalog's "plural="
// header, turned into a flat postfix program for a small stack machine.
//
//   "n == 1 ? 0 : 1"  ->  count, literal 1, equal, literal 0, literal 1, conditional
//
// Each 32-bit instruction word holds the operation in its top four bits and,
// for `literal`, the operand in its low 28 bits. Evaluation never fails: a pop
// from an empty stack reads 0, and the caller bounds the resulting index to
// the forms it has.

#include <cstdint>
#include <string>
#include <vector>

namespace zevrino::desktop::i18n::gettext {

// The machine's operations. b is the value popped first (top of the stack),
// c the one popped second, d the third; arithmetic is unsigned 32-bit with
// wrap-around, tests push 1 or 0, and every operand is evaluated before its
// operation runs (no short-circuit).
enum class plural_forms_operations : std::uint32_t {
  literal = 0x00000000,        // pushes the word's low 28 bits
  count = 0x10000000,          // pushes the normalised count
  multiply = 0x20000000,       // c * b
  divide = 0x30000000,         // c / b; 0 when b is 0
  modulo = 0x40000000,         // c % b; 0 when b is 0
  add = 0x50000000,            // c + b
  subtract = 0x60000000,       // c - b
  greater_equal = 0x70000000,  // c >= b
  greater = 0x80000000,        // c > b
  less = 0x90000000,           // c < b
  less_equal = 0xA0000000,     // c <= b
  equal = 0xB0000000,          // c == b
  not_equal = 0xC0000000,      // c != b
  logical_and = 0xD0000000,    // c && b
  logical_or = 0xE0000000,     // c || b
  conditional = 0xF0000000,    // d ? c : b
};

class plural_forms {
 public:
  static constexpr std::uint32_t operation_mask = 0xF0000000;
  static constexpr std::uint32_t operand_mask = 0x0FFFFFFF;

  // Replaces the program with the compilation of `expression`. True only when
  // the whole text (trailing white space aside) is a rule. On false the words
  // emitted before the failure stay; callers discard the object's program.
  //
  // Besides what the grammar refuses, two things are rejected: number
  // literals above 268,435,455 (they do not fit the operand field), and rules
  // nested deeper than max_nesting parentheses and conditionals together
  // (the parser recurses once per level; no real rule comes near).
  bool parse(const std::string& expression);

  // The form index for `n`. The count is taken as its absolute value and, when
  // above 268,435,455, reduced to 100,000,000 plus its last eight decimal
  // digits, so that the rules' modulo tests still see the right digits. An
  // empty program yields 0.
  std::uint32_t evaluate(std::int64_t n) const;

  void clear() { words_.clear(); }
  // Appends one word. The operand is cut to its 28 bits so that it can never
  // change the operation.
  void add_operation(plural_forms_operations operation) {
    words_.push_back(static_cast<std::uint32_t>(operation));
  }
  void add_operation(plural_forms_operations operation, std::uint32_t operand) {
    words_.push_back(static_cast<std::uint32_t>(operation) | (operand & operand_mask));
  }

  const std::vector<std::uint32_t>& words() const { return words_; }
  bool empty() const { return words_.empty(); }

  // Each level costs the parser one call per precedence level (a few hundred
  // bytes of stack); real rules nest fewer than ten levels.
  static constexpr int max_nesting = 100;

 private:
  std::vector<std::uint32_t> words_;
};

// The count as the machine sees it (see evaluate).
std::uint32_t normalise_plural_count(std::int64_t n);

}  // namespace zevrino::desktop::i18n::gettext
