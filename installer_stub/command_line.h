#pragma once
// The installer's command line: cut into tokens in place, and options
// recognised by name.
//
// The command line arrives as one UTF-8 buffer (main_win.cpp converts it from
// UTF-16). Tokens are NUL-terminated strings inside that buffer, so the buffer
// must outlive every token and every value that points into it.

namespace zevrino::desktop::installer {

// Size of the UTF-8 command-line buffer, terminating zero included.
constexpr int kCommandLineBufferSize = 4096;
// Most tokens taken from the command line; the rest is ignored.
constexpr int kMaxCommandLineTokens = 16;

// Cuts `buffer` into at most `limit` tokens, stores pointers to them in
// `tokens` and returns their number.
//
// Tokens are separated by blanks and tabs. A token that starts with a double
// quote runs to the next double quote (blanks and tabs inside are kept) or to
// the end of the text. There is no escape character: a backslash is ordinary,
// a quote inside an unquoted token stays part of it, and characters right
// after a closing quote start the next token. The character that ends a token
// is overwritten with a zero.
int SplitCommandLine(char* buffer, char** tokens, int limit);

// True when `token` names the option `name`: it starts with "-" or "/",
// optionally followed by one more "-", and the rest equals `name` ignoring
// case (upper-cased with the global locale's ctype facet). "-silent",
// "--silent", "/silent", "/-silent" and "/SILENT" name `silent`; "---silent"
// does not.
bool MatchOption(const char* token, const char* name);

}  // namespace zevrino::desktop::installer
