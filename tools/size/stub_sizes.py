"""Bytes of the installer per library and module, from its link map.

    python3 tools/size/stub_sizes.py [build/windows/installer_stub.map] [--files N]

The Windows build writes the map beside installer_stub.exe (ld's -Map, see
installer_stub/CMakeLists.txt). Every input section the linker kept is
counted for the archive member or object it came from, grouped into the
runtime libraries, the plural-rule parser, the catalogs, the resources and
our own libraries; --files N lists the N largest members instead. The sum
is the image's content without .bss; the file adds headers and alignment.
"""

import argparse
import collections
import os
import re

SECTIONS = [".text", ".rdata", ".data", ".pdata", ".xdata", ".idata", ".rsrc"]

GROUPS = [  # first match wins
    (r"libstdc\+\+\.a", "libstdc++"),
    (r"libpthread\.a|libwinpthread", "winpthreads"),
    (r"liblzma\.a", "liblzma"),
    (r"libgcc(_eh)?\.a", "libgcc"),
    (r"lib(mingw32|mingwex|moldname|msvcrt)\.a|crt2u?\.o|crtbegin\.o|crtend\.o",
     "MinGW C runtime"),
    (r"/lib/lib\w+\.a\(", "DLL import stubs and GUIDs"),
    (r"plural_grammar\.cpp", "plural-rule parser"),
    (r"embedded_catalogs\.cpp", "catalogs"),
    (r"\.rc\.res", "resources (manifest, version, icon)"),
    (r"lib(zv_\w+)\.a", None),  # ours, named by the library
    (r"installer_stub\.dir", "ours: installer_stub"),
    (r"^dll stuff|^LONG ", "import directory (made by the linker)"),
]


def group_of(source):
    for pattern, name in GROUPS:
        match = re.search(pattern, source)
        if match:
            return name or "ours: " + match.group(1)
    return "other: " + source


def input_sections(lines):
    """(output section, address, size, source) of every input section kept."""
    start = next(i for i, line in enumerate(lines)
                 if line.startswith("Linker script and memory map"))
    output, pending = None, None
    for line in lines[start:]:
        match = re.match(r"^(\.\S+|/DISCARD/)", line)
        if match:
            output, pending = match.group(1), None
            continue
        # " .text  0xADDRESS  0xSIZE source", or the name alone on one line
        # and the rest on the next when the name is long.
        match = re.match(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if match:
            _, address, size, source = match.groups()
        else:
            alone = re.match(r"^ (\S+)$", line)
            if alone:
                pending = alone.group(1)
                continue
            match = pending and re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if not match:
                continue
            address, size, source = match.groups()
        pending = None
        if output != "/DISCARD/" and int(address, 16) != 0 and int(size, 16) != 0:
            yield output, int(size, 16), source


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    parser = argparse.ArgumentParser(description="Bytes of the installer per library and module.")
    parser.add_argument("map", nargs="?",
                        default=os.path.join(root, "build", "windows", "installer_stub.map"))
    parser.add_argument("--files", type=int, metavar="N", help="list the N largest members")
    args = parser.parse_args()
    with open(args.map, errors="replace") as f:
        lines = f.read().split("\n")
    per_source = collections.Counter()
    per_group = collections.defaultdict(collections.Counter)
    for output, size, source in input_sections(lines):
        if output == ".bss":
            continue
        per_source[source] += size
        per_group[group_of(source)][output] += size
    if args.files:
        for source, size in per_source.most_common(args.files):
            print(f"{size:9d} {source}")
        return
    totals = {name: sum(sections.values()) for name, sections in per_group.items()}
    print(f"{'library or module':36} {'bytes':>8}  " + " ".join(f"{s:>7}" for s in SECTIONS))
    for name in sorted(totals, key=lambda n: (-totals[n], n)):
        print(f"{name:36} {totals[name]:8d}  " +
              " ".join(f"{per_group[name][s]:7d}" for s in SECTIONS))
    ours = sum(size for name, size in totals.items() if name.startswith("ours: "))
    print(f"{'ours together':36} {ours:8d}")
    print(f"{'total':36} {sum(totals.values()):8d}")


if __name__ == "__main__":
    main()
