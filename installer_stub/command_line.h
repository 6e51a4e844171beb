#pragma once
// The installer's command line: cut into tokens in place, options recognised
// by name, and tokens quoted for the command lines the installer builds.
//
// The command line arrives as one UTF-8 buffer (main_win.cpp converts it from
// UTF-16). Tokens are NUL-terminated strings inside that buffer, so the buffer
// must outlive every token and every value that points into it.
//
// Splitting and quoting follow the rules by which CommandLineToArgvW (and the
// C runtime of every program the installer starts) reads the arguments after
// the program name:
//
//   outside quotes     blanks and tabs separate tokens
//   2n backslashes "   n backslashes; the quote opens or closes a quoted part
//   2n+1 backslashes " n backslashes and a literal quote
//   n backslashes x    n backslashes (x not a quote)
//   quotes in a row    counted from the quote that opened the quoted part:
//                      every third one is a literal quote and ends the
//                      quoted part, so "" inside quotes is a quote and
//                      """ outside is one
//
// So what QuoteArgument quotes, SplitCommandLine (and the started program)
// reads back unchanged, whatever the token holds.

#include <string>

namespace zevrino::desktop::installer {

// Size of the UTF-8 command-line buffer, terminating zero included.
constexpr int kCommandLineBufferSize = 4096;
// Most tokens taken from the command line; the rest is ignored.
constexpr int kMaxCommandLineTokens = 16;

// Cuts `buffer` into at most `limit` tokens by the rules above, stores
// pointers to them in `tokens` and returns their number. Quotes and escapes
// are removed in place (a token is never longer than its text), and each
// token ends in a zero. A quoted part still open at the end of the text ends
// there.
int SplitCommandLine(char* buffer, char** tokens, int limit);

// Appends a blank and `token` in double quotes to `out`, with every quote
// escaped and the backslashes before a quote (or before the closing quote)
// doubled. A token without quotes and without a trailing backslash comes out
// as blank, quote, token, quote.
void AppendQuotedArgument(const char* token, std::string* out);

// True when `token` names the option `name`: it starts with "-" or "/",
// optionally followed by one more "-", and the rest equals `name` ignoring
// the case of the ASCII letters (as the C locale's toupper does; other bytes
// must be equal). "-silent",
// "--silent", "/silent", "/-silent" and "/SILENT" name `silent`; "---silent"
// does not.
bool MatchOption(const char* token, const char* name);

}  // namespace zevrino::desktop::installer
