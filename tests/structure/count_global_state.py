#!/usr/bin/env python3
"""Fails when the product's Windows objects hold mutable global state that is
not listed below.

A run's state lives in the run (installer_stub/installer_run.h), so that a
second run in the same process starts afresh and every dependency is passed
where it is used. What stays global is what the operating system or the C
runtime reaches without a way to pass a context, plus entry points and
once-flags that are written once and mean the same to every run.

Usage: count_global_state.py BUILD_DIR SOURCE_DIR NM
Reads every object file of the product under BUILD_DIR (not tests, tools or
third-party code) with NM -C and lists data and bss symbols.
"""

import pathlib
import subprocess
import sys

# State the system forces to be global, with the reason. At most 8.
ALLOWED_STATE = {
    "zevrino::desktop::installer::(anonymous namespace)::g_recovery_slot":
        "the vectored exception handler gets no context but the fault",
    "text::detail::(anonymous namespace)::g_previous_handler":
        "the C runtime's invalid-parameter handler is process-wide",
    "__emutls_v._ZN4text6detail12_GLOBAL__N_115t_active_formatE":
        "that handler finds the faulting thread's format only per thread",
    "__emutls_v._ZN4text6detail12_GLOBAL__N_18t_activeE":
        "that handler finds the faulting thread's call only per thread",
    "zevrino::desktop::installer::(anonymous namespace)::g_payload_marker":
        "writable data, so that the marker appears in no image until first used",
    "logging::(anonymous namespace)::Slot()::slot":
        "the log is the process's: ended by the C runtime at exit",
    "zevrino::desktop::i18n::gettext::(anonymous namespace)::state()::instance":
        "the loaded catalog: every text of the process is translated through it",
}

# Written once, the same for every run: system entry points loaded on first
# use, and the flags that make a one-time step happen once.
ENTRY_POINTS_AND_ONCE_FLAGS = {
    "zevrino::desktop::installer::(anonymous namespace)::LoadWinInetApi()::api",
    "zevrino::desktop::installer::GetWinInetApi()::api",
    "zevrino::desktop::installer::InternetHandleTraits::Close(void*)::close",
    "zevrino::desktop::installer::(anonymous namespace)::GetTrustApi()::api",
    "zevrino::desktop::installer::(anonymous namespace)::LoadTrustApi()::api",
    "zevrino::desktop::installer::GetPackageFamilyNameFromId()::cache",
    "zevrino::desktop::installer::GetGetPackagesByPackageFamily()::cache",
    "zevrino::desktop::installer::(anonymous namespace)::Compress()::function",
    "text::detail::EnsureInvalidParameterHandler()::once",
    "zevrino::desktop::installer::(anonymous namespace)::g_handler_once",
    "zevrino::desktop::installer::(anonymous namespace)::g_payload_marker_once",
}

EXCLUDED_PARTS = ("tests", "third_party", "tools", "googletest")
IGNORED_NAMES = (".refptr", "guard variable", "vtable", "typeinfo")


def source_of(parts):
    """The source an object was compiled from, relative to its tree:
    DIR/CMakeFiles/TARGET.dir/SUB/NAME.cpp.obj comes from DIR/SUB/NAME.cpp."""
    at = parts.index("CMakeFiles")
    return pathlib.Path(*parts[:at], *parts[at + 2:-1], parts[-1][: -len(".obj")])


def global_symbols(build_dir, source_dir, nm):
    for obj in sorted(pathlib.Path(build_dir).rglob("*.obj")):
        parts = obj.relative_to(build_dir).parts
        if "CMakeFiles" not in parts or any(p in EXCLUDED_PARTS for p in parts):
            continue
        # An object whose source has gone (moved or deleted) is a leftover of
        # an earlier build, not part of the program.
        source = source_of(parts)
        if not (pathlib.Path(source_dir) / source).exists() and not (build_dir / source).exists():
            continue
        out = subprocess.run([nm, "-C", str(obj)], check=True, capture_output=True, text=True)
        for line in out.stdout.splitlines():
            fields = line.split(maxsplit=2)
            if len(fields) < 3 or fields[1] not in "bBdD" or fields[2].startswith("."):
                continue
            if not any(ignored in fields[2] for ignored in IGNORED_NAMES):
                yield obj.relative_to(build_dir), fields[2]


def main():
    build_dir, source_dir, nm = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3]
    found = list(global_symbols(build_dir, source_dir, nm))
    if not found:
        print("no object files under", build_dir)
        return 1
    state = [(obj, name) for obj, name in found if name not in ENTRY_POINTS_AND_ONCE_FLAGS]
    unknown = [(obj, name) for obj, name in state if name not in ALLOWED_STATE]
    for obj, name in state:
        reason = ALLOWED_STATE.get(name, "NOT ALLOWED")
        print(f"{name}  ({obj}): {reason}")
    print(f"{len(state)} mutable globals, {len(unknown)} not allowed")
    if unknown:
        print("Keep a run's state in the run (installer_stub/installer_run.h) or the object that "
              "uses it; list here only what the system forces to be global, with the reason.")
    return 1 if unknown or len(ALLOWED_STATE) > 8 else 0


if __name__ == "__main__":
    sys.exit(main())
