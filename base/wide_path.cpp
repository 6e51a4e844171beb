#include "base/wide_path.h"

#include <cstdint>

namespace zevrino::desktop::installer {
namespace {

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Length of "X:" or "X:\" at `start`, else 0.
std::size_t DriveRootLength(const std::wstring& path, std::size_t start) {
  if (path.size() < start + 2 || !IsAsciiLetter(path[start]) || path[start + 1] != L':') {
    return 0;
  }
  std::size_t length = start + 2;
  if (length < path.size() && IsWideSeparator(path[length])) {
    ++length;
  }
  return length;
}

// Skips "server\share\" starting at `start` and returns the end of the root.
std::size_t ShareRootLength(const std::wstring& path, std::size_t start) {
  std::size_t position = start;
  for (int element = 0; element < 2; ++element) {
    while (position < path.size() && !IsWideSeparator(path[position])) {
      ++position;
    }
    if (position < path.size()) {
      ++position;  // the separator after the server or share name
    }
  }
  return position;
}

}  // namespace

std::wstring JoinWidePath(const std::wstring& directory, const std::wstring& name) {
  if (directory.empty()) {
    return name;
  }
  std::wstring joined = directory;
  if (IsWideSeparator(joined.back())) {
    joined.pop_back();
  }
  joined += L'\\';
  joined += name;
  return joined;
}

std::size_t WideRootLength(const std::wstring& path) {
  const bool two_separators =
      path.size() >= 2 && IsWideSeparator(path[0]) && IsWideSeparator(path[1]);
  if (two_separators) {
    // "\\?\" and "\\.\" introduce a device path: a drive or "UNC\server\share".
    if (path.size() >= 4 && (path[2] == L'?' || path[2] == L'.') && IsWideSeparator(path[3])) {
      if (const std::size_t drive = DriveRootLength(path, 4); drive != 0) {
        return drive;
      }
      if (path.compare(4, 4, L"UNC\\") == 0 || path.compare(4, 4, L"UNC/") == 0) {
        return ShareRootLength(path, 8);
      }
      return 4;
    }
    return ShareRootLength(path, 2);
  }
  if (const std::size_t drive = DriveRootLength(path, 0); drive != 0) {
    return drive;
  }
  return !path.empty() && IsWideSeparator(path[0]) ? 1 : 0;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < kLongPathFrom) {
    return path;
  }
  const std::size_t root = WideRootLength(path);
  std::wstring extended;
  if (DriveRootLength(path, 0) == 3) {
    extended = L"\\\\?\\" + path.substr(0, 2) + L"\\";
  } else if (root > 2 && IsWideSeparator(path[0]) && IsWideSeparator(path[1]) &&
             !((path[2] == L'?' || path[2] == L'.') && IsWideSeparator(path[3]))) {
    std::wstring share = path.substr(2, root - 2);
    while (!share.empty() && IsWideSeparator(share.back())) {
      share.pop_back();
    }
    for (wchar_t& c : share) {
      c = IsWideSeparator(c) ? L'\\' : c;
    }
    extended = L"\\\\?\\UNC\\" + share + L"\\";
  } else {
    return path;  // relative, rooted without a drive, or a device path already
  }
  std::vector<std::wstring> elements;
  for (std::size_t position = root; position < path.size();) {
    std::size_t end = position;
    while (end < path.size() && !IsWideSeparator(path[end])) {
      ++end;
    }
    const std::wstring element = path.substr(position, end - position);
    if (element == L"..") {
      if (!elements.empty()) {
        elements.pop_back();
      }
    } else if (!element.empty() && element != L".") {
      elements.push_back(element);
    }
    position = end + 1;
  }
  for (std::size_t i = 0; i < elements.size(); ++i) {
    extended += (i == 0 ? L"" : L"\\") + elements[i];
  }
  if (!elements.empty() && IsWideSeparator(path.back())) {
    extended += L'\\';
  }
  return extended;
}

std::vector<std::wstring> DirectoryPrefixes(const std::wstring& path) {
  std::vector<std::wstring> prefixes;
  const std::size_t root = WideRootLength(path);
  std::size_t position = root;
  while (position < path.size()) {
    while (position < path.size() && IsWideSeparator(path[position])) {
      ++position;
    }
    if (position == path.size()) {
      break;
    }
    while (position < path.size() && !IsWideSeparator(path[position])) {
      ++position;
    }
    prefixes.push_back(path.substr(0, position));
  }
  if (prefixes.empty() && root != 0) {
    prefixes.push_back(path.substr(0, root));
  }
  return prefixes;
}

std::string WidePathToUtf8(const std::wstring& path) {
  std::string utf8;
  utf8.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    auto code = static_cast<std::uint32_t>(path[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < path.size()) {
      const auto low = static_cast<std::uint32_t>(path[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | code >> 6);
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | code >> 12);
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | code >> 18);
      utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

}  // namespace zevrino::desktop::installer
