#include "i18n/plural_forms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zevrino::desktop::i18n::gettext {
namespace {

using op = plural_forms_operations;

std::vector<std::uint32_t> forms_for(const std::string& rule,
                                     const std::vector<std::int64_t>& counts) {
  plural_forms forms;
  EXPECT_TRUE(forms.parse(rule)) << rule;
  std::vector<std::uint32_t> result;
  for (const std::int64_t n : counts) {
    result.push_back(forms.evaluate(n));
  }
  return result;
}

TEST(PluralForms, CompilesToPostfixWords) {
  plural_forms forms;
  ASSERT_TRUE(forms.parse("n == 1 ? 0 : 1"));
  const std::vector<std::uint32_t> expected = {0x10000000, 0x00000001, 0xB0000000,
                                               0x00000000, 0x00000001, 0xF0000000};
  EXPECT_EQ(forms.words(), expected);

  // Left-associative: 10 - 3 - 2 is (10 - 3) - 2.
  ASSERT_TRUE(forms.parse("10 - 3 - 2"));
  const std::vector<std::uint32_t> left = {10, 3, 0x60000000, 2, 0x60000000};
  EXPECT_EQ(forms.words(), left);
}

TEST(PluralForms, EvaluatesRules) {
  struct rule_case {
    const char* rule;
    std::vector<std::int64_t> counts;
    std::vector<std::uint32_t> forms;
  };
  const std::vector<std::int64_t> standard = {0, 1, 2, 5, 11, 21, 22, 101};
  const rule_case cases[] = {
      {"n == 1 ? 0 : 1", {1, 0, 2, 3, -1}, {0, 1, 1, 1, 0}},
      {"(n>=0 && n<=1) ? 1 : 0\n", {0, 1, 2}, {1, 1, 0}},
      {"n==1 ? 0 : n==2 ? 1 : n >= 20 && n%10==0 ? 2 : 3",
       {1, 2, 20, 30, 0, 3, 21},
       {0, 1, 2, 2, 3, 3, 3}},
      {"n != 1", standard, {1, 0, 1, 1, 1, 1, 1, 1}},
      {"(n != 1)", standard, {1, 0, 1, 1, 1, 1, 1, 1}},
      {"n>1", standard, {0, 0, 1, 1, 1, 1, 1, 1}},
      {"0", standard, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"n==0 ? 0 : n==1 ? 1 : n==2 ? 2 : n%100>=3 && n%100<=10 ? 3 : n%100>=11 ? 4 : 5",
       standard,
       {0, 1, 2, 3, 4, 4, 4, 5}},
      {"n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2",
       standard,
       {2, 0, 1, 2, 2, 0, 1, 0}},
      // Precedence: * before +, + before <, < before ==, == before &&, && before ||.
      {"1 + 2 * 3", {0}, {7}},
      {"(1 + 2) * 3", {0}, {9}},
      {"n < 2 == 1", {1, 5}, {1, 0}},
      {"0 && 1 || 1", {0}, {1}},
      {"1 || 0 && 0", {0}, {1}},
      {"n <= 2 + 1", {3, 4}, {1, 0}},
      {"\t n \v>=\f 2 \r", {1, 2}, {0, 1}},
      // Unsigned arithmetic wraps: 1 - 2 is 4294967295.
      {"n - 2 > 5", {1, 2}, {1, 0}},
      {"n * 4294967", {1001}, {4294967 * 1001u}},
      // Division and remainder by zero select form 0 instead of faulting.
      {"n / (n - 1)", {1, 3}, {0, 1}},
      {"7 % (n - 1) + 1", {1, 5}, {1, 4}},
      // Counts beyond 28 bits keep their last eight digits (plus 10^8).
      {"n % 100", {1000000021, -1000000021}, {21, 21}},
  };
  for (const rule_case& c : cases) {
    EXPECT_EQ(forms_for(c.rule, c.counts), c.forms) << c.rule;
  }
}

TEST(PluralForms, NormalisesCounts) {
  const std::pair<std::int64_t, std::uint32_t> cases[] = {
      {0, 0},
      {-1, 1},
      {268435455, 268435455},
      {268435456, 168435456},
      {1000000001, 100000001},
      {-1000000001, 100000001},
      {INT64_MAX, 9223372036854775807 % 100000000 + 100000000},
      {INT64_MIN, 9223372036854775808u % 100000000 + 100000000},
  };
  for (const auto& [count, expected] : cases) {
    EXPECT_EQ(normalise_plural_count(count), expected) << count;
  }
  plural_forms forms;
  ASSERT_TRUE(forms.parse("n"));
  EXPECT_EQ(forms.evaluate(268435456), 168435456u);
}

TEST(PluralForms, RejectsMalformedRules) {
  // The nesting limit counts parentheses and conditionals together; a rule at
  // the limit must parse without exhausting the stack of either build.
  const int limit = plural_forms::max_nesting;
  std::string deep_but_fine = std::string(limit / 2, '(') + "n" + std::string(limit / 2, ')');
  for (int i = 0; i < limit / 2; ++i) {
    deep_but_fine += " ? 1 : n";
  }
  const std::string too_deep = std::string(limit + 1, '(') + "n" + std::string(limit + 1, ')');
  const char* const rejected[] = {
      "",
      "   ",
      "n == 1 ? 0",
      "n ? : 1",
      "!n",
      "-1",
      "n == -1",
      "+1",
      "n +",
      "n ==",
      "* n",
      "n n",
      "1 2",
      "2n",
      "(n",
      "n)",
      "()",
      "n < = 1",
      "n = 1",
      "n & 1",
      "n | 1",
      "n ? 1 : 2 :",
      "m",
      "n;",
      "4294967296",
      "268435456",
      "99999999999999999999",
  };
  plural_forms forms;
  for (const char* rule : rejected) {
    EXPECT_FALSE(forms.parse(rule)) << '"' << rule << '"';
  }
  EXPECT_FALSE(forms.parse(too_deep));
  EXPECT_TRUE(forms.parse(deep_but_fine));
  EXPECT_TRUE(forms.parse("268435455"));
  EXPECT_EQ(forms.evaluate(0), 268435455u);
}

TEST(PluralForms, HandmadeProgramsNeverFail) {
  plural_forms forms;
  EXPECT_EQ(forms.evaluate(5), 0u);  // empty program

  forms.add_operation(op::conditional);  // pops three zeros
  EXPECT_EQ(forms.evaluate(5), 0u);

  forms.clear();
  forms.add_operation(op::literal, 3);
  forms.add_operation(op::subtract);  // 0 - 3: the missing operand reads 0
  EXPECT_EQ(forms.evaluate(5), 0xFFFFFFFDu);

  forms.clear();
  forms.add_operation(op::literal, 0xFFFFFFFF);  // operand cut to 28 bits
  EXPECT_EQ(forms.words().front(), 0x0FFFFFFFu);
  EXPECT_EQ(forms.evaluate(0), 0x0FFFFFFFu);

  // A program longer than the inline stack.
  forms.clear();
  for (int i = 0; i < 1000; ++i) {
    forms.add_operation(op::count);
  }
  EXPECT_EQ(forms.evaluate(9), 9u);
}

}  // namespace
}  // namespace zevrino::desktop::i18n::gettext
