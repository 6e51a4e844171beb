#include "payload/archive_name.h"

#include <cstdint>

namespace zevrino::desktop::installer {
namespace {

#if defined(_WIN32)
constexpr wchar_t kNativeSeparator = L'\\';
#else
constexpr wchar_t kNativeSeparator = L'/';
#endif

// Decodes one code point at text[*i]; advances *i. False for an invalid,
// overlong or truncated sequence, a surrogate or a value above U+10FFFF.
bool DecodeUtf8(const unsigned char* text, std::size_t size, std::size_t* i, char32_t* out) {
  const unsigned char lead = text[*i];
  std::size_t extra;
  char32_t value;
  char32_t minimum;
  if (lead < 0x80) {
    *out = lead;
    ++*i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (size - *i <= extra)
    return false;
  for (std::size_t k = 1; k <= extra; ++k) {
    const unsigned char c = text[*i + k];
    if ((c & 0xC0) != 0x80)
      return false;
    value = (value << 6) | (c & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return false;
  *i += extra + 1;
  *out = value;
  return true;
}

bool EqualsIgnoreAsciiCase(const char* a, std::size_t size, const char* b) {
  std::size_t k = 0;
  for (; k < size && b[k] != '\0'; ++k) {
    char x = a[k], y = b[k];
    if (x >= 'a' && x <= 'z')
      x = static_cast<char>(x - 'a' + 'A');
    if (x != y)
      return false;
  }
  return k == size && b[k] == '\0';
}

bool IsDeviceName(const char* component, std::size_t size) {
  // The device is named by what comes before the first dot, and Windows
  // ignores trailing blanks there too ("NUL .txt" is still NUL).
  std::size_t base = 0;
  while (base < size && component[base] != '.')
    ++base;
  while (base > 0 && component[base - 1] == ' ')
    --base;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (EqualsIgnoreAsciiCase(component, base, device))
      return true;
  }
  if (base == 4 && component[3] >= '1' && component[3] <= '9' &&
      (EqualsIgnoreAsciiCase(component, 3, "COM") || EqualsIgnoreAsciiCase(component, 3, "LPT"))) {
    return true;
  }
  return false;
}

bool IsSafeComponent(const char* component, std::size_t size) {
  if (size == 0)
    return false;
  if (size == 1 && component[0] == '.')
    return false;
  if (size == 2 && component[0] == '.' && component[1] == '.')
    return false;
  for (std::size_t k = 0; k < size; ++k) {
    const unsigned char c = static_cast<unsigned char>(component[k]);
    if (c < 0x20 || c == 0x7F || c == ':' || c == '\\')
      return false;
  }
  const char last = component[size - 1];
  if (last == '.' || last == ' ')
    return false;
  return !IsDeviceName(component, size);
}

}  // namespace

bool Utf8ToWide(const char* text, std::size_t size, std::wstring* out) {
  out->clear();
  out->reserve(size);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  while (i < size) {
    char32_t c;
    if (!DecodeUtf8(bytes, size, &i, &c))
      return false;
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      c -= 0x10000;
      out->push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out->push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out->push_back(static_cast<wchar_t>(c));
    }
  }
  return true;
}

bool IsSafeArchiveName(const char* name, std::size_t size) {
  std::size_t start = 0;
  for (std::size_t k = 0; k <= size; ++k) {
    if (k == size || name[k] == '/') {
      if (!IsSafeComponent(name + start, k - start))
        return false;
      start = k + 1;
    }
  }
  return true;
}

bool ArchiveNameToRelativePath(const char* name, std::size_t size, std::wstring* path) {
  if (!IsSafeArchiveName(name, size) || !Utf8ToWide(name, size, path))
    return false;
  for (wchar_t& c : *path) {
    if (c == L'/')
      c = kNativeSeparator;
  }
  return true;
}

}  // namespace zevrino::desktop::installer
