#include "ui/utf8_text.h"

namespace zevrino::desktop::installer {
namespace {

bool IsContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Bytes of the sequence that `lead` starts; 1 for a stray byte, which is
// then kept or dropped on its own.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF7) {
    return 4;
  }
  if (lead >= 0xE0) {
    return lead <= 0xEF ? 3 : 1;
  }
  if (lead >= 0xC0) {
    return 2;
  }
  return 1;
}

}  // namespace

std::size_t Utf8PrefixLength(const std::string& text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) {
    return text.size();
  }
  std::size_t end = max_bytes;
  // Step back over continuation bytes to the lead byte of the character the
  // cut falls into; keep that character only if it ends exactly at the cut.
  std::size_t lead = end;
  while (lead > 0 && IsContinuationByte(static_cast<unsigned char>(text[lead]))) {
    --lead;
  }
  if (lead < end && lead + SequenceLength(static_cast<unsigned char>(text[lead])) > end) {
    end = lead;
  }
  return end;
}

std::string TruncateUtf8(const std::string& text, std::size_t max_bytes) {
  return text.substr(0, Utf8PrefixLength(text, max_bytes));
}

std::string TruncateUtf8ToUtf16Units(const std::string& text, std::size_t max_units) {
  std::size_t units = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(text[at]));
    const std::size_t needed = length == 4 ? 2 : 1;
    if (units + needed > max_units || at + length > text.size()) {
      break;
    }
    units += needed;
    at += length;
  }
  return text.substr(0, at);
}

}  // namespace zevrino::desktop::installer
