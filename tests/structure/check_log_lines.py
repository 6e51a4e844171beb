#!/usr/bin/env python3
"""Fails when a log line has no named identity or shares one in its module.

Every fixed identity a module logs under is a constant of its log_lines.h;
no two constants of one list have the same value, and no call to
log_message passes a number or __LINE__ of its own, or a level that is not
one of logging's named levels.
Usage: check_log_lines.py SOURCE_DIR
"""
import pathlib
import re
import sys

MODULES = ["installer_stub", "update", "webinstall", "install", "ui", "payload", "files", "i18n",
           "logging", "windows", "text", "base"]
CONSTANT = re.compile(r"constexpr\s+int\s+(kLine\w+)\s*=\s*(\d+)\s*;")
UNNAMED = re.compile(r"log_message\(\s*[^,]+,\s*[^,]+,\s*(\d+|__LINE__)\s*,")
BARE_LEVEL = re.compile(r"log_message\(\s*(\d+)\s*,")


def shared_identities(list_path):
    first = {}
    for name, value in CONSTANT.findall(list_path.read_text()):
        if value in first:
            yield f"{list_path}: {name} and {first[value]} are both {value}"
        first.setdefault(value, name)


def unnamed_identities(root, module):
    for path in sorted((root / module).rglob("*.cpp")):
        text = path.read_text(errors="replace")
        for match in UNNAMED.finditer(text):
            yield f"{path.relative_to(root)}: logs under {match.group(1)}, not a named constant"
        for match in BARE_LEVEL.finditer(text):
            yield f"{path.relative_to(root)}: logs at level {match.group(1)}, not a named level"


def main():
    root = pathlib.Path(sys.argv[1])
    found = []
    for module in MODULES:
        list_path = root / module / "log_lines.h"
        if list_path.exists():
            found += shared_identities(list_path)
        found += unnamed_identities(root, module)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
