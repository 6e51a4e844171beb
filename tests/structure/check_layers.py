#!/usr/bin/env python3
"""Fails when a product file includes a header of a higher layer.

The layers, top first (ARCHITECTURE.md, "Layers"); a file may include its
own layer and those below it, never one above.
Usage: check_layers.py SOURCE_DIR
"""
import pathlib
import re
import sys

LAYERS = [["installer_stub"], ["update", "webinstall"], ["install"], ["payload", "ui"],
          ["files", "i18n"], ["logging", "windows"], ["text", "base"]]
DEPTH = {folder: depth for depth, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^/"]+)/')


def upward_includes(root):
    for folder, depth in DEPTH.items():
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".c"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and DEPTH.get(match.group(1), depth) < depth:
                    yield f"{path.relative_to(root)}:{number}: {line.strip()}"


def main():
    found = list(upward_includes(pathlib.Path(sys.argv[1])))
    for line in found:
        print("includes a higher layer:", line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
