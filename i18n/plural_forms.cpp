#include "i18n/plural_forms.h"

#include <array>

namespace zevrino::desktop::i18n::gettext {

namespace {

// The evaluation stack. Rules are a few dozen words, so the stack normally
// lives in the object itself; a longer program (never a compiled-in one)
// moves it to the heap. Popping an empty stack reads 0.
class value_stack {
 public:
  explicit value_stack(std::size_t capacity) {
    if (capacity > inline_values_.size()) {
      heap_values_.resize(capacity);
      values_ = heap_values_.data();
    }
  }
  void push(std::uint32_t value) { values_[size_++] = value; }
  std::uint32_t pop() { return size_ == 0 ? 0 : values_[--size_]; }
  std::uint32_t top() const { return size_ == 0 ? 0 : values_[size_ - 1]; }

 private:
  std::array<std::uint32_t, 64> inline_values_{};
  std::vector<std::uint32_t> heap_values_;
  std::uint32_t* values_ = inline_values_.data();
  std::size_t size_ = 0;
};

}  // namespace

std::uint32_t normalise_plural_count(std::int64_t n) {
  // Negate in unsigned arithmetic so that the most negative count is safe.
  std::uint64_t magnitude =
      n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  if (magnitude > plural_forms::operand_mask) {
    magnitude = magnitude % 100000000 + 100000000;
  }
  return static_cast<std::uint32_t>(magnitude);
}

std::uint32_t plural_forms::evaluate(std::int64_t n) const {
  if (words_.empty()) {
    return 0;
  }
  const std::uint32_t value_of_n = normalise_plural_count(n);
  // Every word pushes at most one value, so the program's length bounds the
  // stack.
  value_stack stack(words_.size());
  for (const std::uint32_t word : words_) {
    const auto operation = static_cast<plural_forms_operations>(word & operation_mask);
    if (operation == plural_forms_operations::literal) {
      stack.push(word & operand_mask);
      continue;
    }
    if (operation == plural_forms_operations::count) {
      stack.push(value_of_n);
      continue;
    }
    const std::uint32_t b = stack.pop();
    const std::uint32_t c = stack.pop();
    std::uint32_t result = 0;
    switch (operation) {
      case plural_forms_operations::multiply:
        result = c * b;
        break;
      case plural_forms_operations::divide:
        // A divisor of zero can only come from a rule like "n / (n - 1)";
        // it selects form 0 instead of faulting.
        result = b == 0 ? 0 : c / b;
        break;
      case plural_forms_operations::modulo:
        result = b == 0 ? 0 : c % b;
        break;
      case plural_forms_operations::add:
        result = c + b;
        break;
      case plural_forms_operations::subtract:
        result = c - b;
        break;
      case plural_forms_operations::greater_equal:
        result = c >= b;
        break;
      case plural_forms_operations::greater:
        result = c > b;
        break;
      case plural_forms_operations::less:
        result = c < b;
        break;
      case plural_forms_operations::less_equal:
        result = c <= b;
        break;
      case plural_forms_operations::equal:
        result = c == b;
        break;
      case plural_forms_operations::not_equal:
        result = c != b;
        break;
      case plural_forms_operations::logical_and:
        result = c != 0 && b != 0;
        break;
      case plural_forms_operations::logical_or:
        result = c != 0 || b != 0;
        break;
      case plural_forms_operations::conditional: {
        const std::uint32_t d = stack.pop();
        result = d != 0 ? c : b;
        break;
      }
      case plural_forms_operations::literal:
      case plural_forms_operations::count:
        break;
    }
    stack.push(result);
  }
  return stack.top();
}

}  // namespace zevrino::desktop::i18n::gettext
