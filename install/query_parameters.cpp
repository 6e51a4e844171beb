#include "install/query_parameters.h"

namespace zevrino::desktop::installer {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

std::string AppendQueryParameters(std::string_view uri, const QueryParameters& parameters) {
  const std::size_t question = uri.find('?');
  const std::string_view base = uri.substr(0, question);
  const std::string_view query =
      question == std::string_view::npos ? std::string_view() : uri.substr(question + 1);
  if (parameters.empty() && query.empty()) {
    return std::string(base);
  }
  std::string result(base);
  result += '?';
  result += query;
  bool first = query.empty();
  for (const auto& [key, value] : parameters) {
    if (!first) {
      result += '&';
    }
    first = false;
    result += PercentEncode(key);
    result += '=';
    result += PercentEncode(value);
  }
  return result;
}

}  // namespace zevrino::desktop::installer
