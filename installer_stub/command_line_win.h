#pragma once
// Conversion of the wide command line that Windows hands to wWinMain.

namespace zevrino::desktop::installer {

// Converts `wide` (may be null) to UTF-8 into `buffer` of `size` bytes. When
// the conversion fails, including a UTF-8 form whose terminating zero does
// not fit, the buffer is made empty: the run then goes on with default
// options rather than with a command line cut somewhere in the middle.
void CommandLineToUtf8(const wchar_t* wide, char* buffer, int size);

}  // namespace zevrino::desktop::installer
