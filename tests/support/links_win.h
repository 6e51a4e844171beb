#pragma once
// Links inside a scratch directory, for the tests of code that must not
// follow them. The scratch directory removes them before its tree: Wine hides
// a link whose target is gone and then cannot delete it.

#include <string>

namespace zevrino::desktop::installer::testing {

// Makes `link` a directory link to `target`. Real Windows: a symbolic link
// (needs developer mode or the privilege). Wine 8 accepts
// CreateSymbolicLinkW but creates nothing and cannot set reparse points, so
// there a Unix symbolic link is made with /bin/ln; Wine reports it as a
// directory with FILE_ATTRIBUTE_REPARSE_POINT. False when neither works.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target);
// The same for a link to a file. Wine shows a Unix link to a file as a plain
// file (no reparse attribute), which exercises the "follow links" path less
// but must still be reported as a regular file.
bool MakeFileLink(const std::wstring& link, const std::wstring& target);

}  // namespace zevrino::desktop::installer::testing
