#include "install/query_parameters.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(QueryParametersTest, AppendsToTheExistingQueryOrStartsOne) {
  EXPECT_EQ(AppendQueryParameters("zevrino:open", {{"utm_medium", "desktop-sa-installer"}}),
            "zevrino:open?utm_medium=desktop-sa-installer");
  // An existing query stays first, unchanged, and the new pairs follow it.
  EXPECT_EQ(AppendQueryParameters("https://h/p?a=1&b=%41", {{"c", "3"}, {"d", ""}}),
            "https://h/p?a=1&b=%41&c=3&d=");
  // Only the first "?" splits; a later one belongs to the query.
  EXPECT_EQ(AppendQueryParameters("x:y?q=a?b", {{"k", "v"}}), "x:y?q=a?b&k=v");
  // A "?" with nothing after it starts an empty query: no "&" before the
  // first pair.
  EXPECT_EQ(AppendQueryParameters("x:y?", {{"k", "v"}}), "x:y?k=v");
  // Without pairs: the address as it was, minus a bare trailing "?".
  EXPECT_EQ(AppendQueryParameters("x:y?q", {}), "x:y?q");
  EXPECT_EQ(AppendQueryParameters("x:y?", {}), "x:y");
  EXPECT_EQ(AppendQueryParameters("x:y", {}), "x:y");
  EXPECT_EQ(AppendQueryParameters("", {{"k", "v"}}), "?k=v");
}

TEST(QueryParametersTest, EncodesEverythingButTheUnreservedCharacters) {
  EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
  EXPECT_EQ(PercentEncode("a b"), "a%20b");
  EXPECT_EQ(PercentEncode("&=?#/%+:@"), "%26%3D%3F%23%2F%25%2B%3A%40");
  // UTF-8 byte by byte, upper-case digits; the bytes at both ends of the
  // range are encoded too.
  EXPECT_EQ(PercentEncode("\xC3\xBC\xFF\x7F"), "%C3%BC%FF%7F");
  EXPECT_EQ(PercentEncode(std::string_view("\0\x01", 2)), "%00%01");
  EXPECT_EQ(AppendQueryParameters("x:y", {{"two words", "gr\xC3\xBC\xC3\x9F"}}),
            "x:y?two%20words=gr%C3%BC%C3%9F");
}

}  // namespace
}  // namespace zevrino::desktop::installer
