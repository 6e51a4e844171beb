#pragma once
// Query strings for the addresses the installer opens: new key and value
// pairs appended to whatever query an address already has, percent-encoded
// as RFC 3986 asks. Platform-free.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zevrino::desktop::installer {

using QueryParameters = std::vector<std::pair<std::string, std::string>>;

// Every byte of `text` except the unreserved characters (A-Z a-z 0-9 - . _ ~)
// as "%" and two upper-case hexadecimal digits. UTF-8 text is encoded byte by
// byte, so "ü" gives "%C3%BC".
std::string PercentEncode(std::string_view text);

// `uri` with `parameters` appended to its query: the text before the first
// "?", then "?", the existing query unchanged, and "key=value" for each pair
// (both percent-encoded), joined with "&". Without pairs and without an
// existing query the result is the text before the "?" alone, so a bare
// trailing "?" is dropped.
std::string AppendQueryParameters(std::string_view uri, const QueryParameters& parameters);

}  // namespace zevrino::desktop::installer
