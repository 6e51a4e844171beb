#pragma once
// Comparing product versions such as "1.2.36.955.da8da9372" or "1.0-7".
// Platform-free.

namespace zevrino::desktop::installer {

// Compares two NUL-terminated byte strings so that runs of decimal digits are
// compared by value: "1.10" > "1.9", "1.2.3" == "1.2.3", "1.2" < "1.2.0"
// (the end of one string meets the other's dot). Other bytes compare as
// unsigned values. Negative, 0 or positive like strcmp. A digit run too long
// for 64 bits saturates, so two such runs compare equal.
int NaturalCompare(const char* a, const char* b);

// True when the installer's `own` version is not newer than the `installed`
// one, i.e. installing would replace the same or a newer version. A version
// holding a "-" is only comparable with one that has the same text up to and
// including its first "-"; the parts after it are then compared. A plain
// version never counts as "not newer" than one with a "-".
bool IsVersionNotNewer(const char* own, const char* installed);

}  // namespace zevrino::desktop::installer
