#!/usr/bin/env python3
"""Applies each fault of faults.py in turn, rebuilds, runs the tests that could
catch it, records whether they did, and puts the source back.

    python3 tools/mutation/run.py            # the whole sample
    python3 tools/mutation/run.py --list     # where each fault applies
    python3 tools/mutation/run.py 3 17-20    # some faults, by number

Platform-free faults run the host unit tests (ctest -E e2e in build/host);
faults in *_win files build build/windows and run its unit tests under Wine;
of these, only the test programs the fault made the build relink run, since
the others are the programs that passed on the intact tree. A fault may name
end-to-end programs that run as well. Both trees must be configured and
built first (scripts/build.sh); --tree picks the faults of one of them.
Each run appends its outcomes to build/mutation-results.jsonl. A fault is found by its text:
in the file it names, else in the one source file that holds the text once,
so the sample survives files moving between folders. The source is restored
after every fault, also on Ctrl-C; a run that was killed is repaired by the
next one from build/mutation-pending.json.
"""

import argparse
import json
import re
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from faults import FAULTS  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PENDING = os.path.join(ROOT, "build", "mutation-pending.json")
RESULTS = os.path.join(ROOT, "build", "mutation-results.jsonl")  # one line per fault run
SOURCE_SUFFIXES = (".cpp", ".h", ".c")
SKIPPED_TOP = {"build", "tests", "tools", ".git", ".cache"}
TEST_TIMEOUT = 300


def source_files():
    for top in sorted(os.listdir(ROOT)):
        if top in SKIPPED_TOP or not os.path.isdir(os.path.join(ROOT, top)):
            continue
        for folder, _, names in os.walk(os.path.join(ROOT, top)):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(folder, name), ROOT)


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def write(path, text):
    with open(os.path.join(ROOT, path), "w", encoding="utf-8") as f:
        f.write(text)


def locate(fault):
    """The file that holds the fault's text exactly once, or an error text."""
    if os.path.isfile(os.path.join(ROOT, fault.path)):
        count = read(fault.path).count(fault.original)
        if count == 1:
            return fault.path, None
        if count > 1:
            return None, f"text occurs {count} times in {fault.path}"
    holders = [p for p in source_files() if fault.original in read(p)]
    if len(holders) == 1 and read(holders[0]).count(fault.original) == 1:
        return holders[0], None
    if not holders:
        return None, "text not found in the sources"
    return None, "text is not unique: " + ", ".join(holders)


def take_lock():
    """One run at a time: a second one would take the first one's fault for its own."""
    lock = os.path.join(ROOT, "build", "mutation.lock")
    os.makedirs(os.path.dirname(lock), exist_ok=True)
    try:
        with open(lock, encoding="utf-8") as f:
            os.kill(int(f.read().strip()), 0)
        sys.exit("another mutation run is going on (build/mutation.lock)")
    except (OSError, ValueError):
        pass  # none, or one that ended without removing its lock
    with open(lock, "w", encoding="utf-8") as f:
        f.write(str(os.getpid()))
    return lock


def restore_pending():
    if not os.path.exists(PENDING):
        return
    with open(PENDING, encoding="utf-8") as f:
        pending = json.load(f)
    write(pending["path"], pending["text"])
    os.remove(PENDING)
    print(f"restored {pending['path']} from an interrupted run")


class Mutation:
    """Puts one fault in place and takes it out again, whatever happens."""

    def __init__(self, path, fault):
        self.path = path
        self.fault = fault
        self.original = None

    def __enter__(self):
        self.original = read(self.path)
        os.makedirs(os.path.dirname(PENDING), exist_ok=True)
        with open(PENDING, "w", encoding="utf-8") as f:
            json.dump({"path": self.path, "text": self.original}, f)
        write(self.path, self.original.replace(self.fault.original, self.fault.replacement, 1))
        return self

    def __exit__(self, *_):
        write(self.path, self.original)
        if os.path.exists(PENDING):
            os.remove(PENDING)
        return False


def run(command, env=None, timeout=None):
    """Runs a command quietly; returns (exit code or 'timeout', tail of its output)."""
    try:
        done = subprocess.run(command, cwd=ROOT, env=env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, errors="replace", start_new_session=True)
        return done.returncode, done.stdout[-3000:]
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode(errors="replace") if isinstance(e.stdout, bytes) else (e.stdout or "")
        return "timeout", out[-3000:]


def unit_tests(build):
    """{test name: the program it runs} for the tree's tests other than e2e."""
    listing = subprocess.run(["ctest", "--test-dir", build, "-E", "e2e", "--show-only=json-v1"],
                             cwd=ROOT, stdout=subprocess.PIPE, text=True)
    if listing.returncode != 0:
        sys.exit(f"ctest cannot list the tests of {build}")
    programs = {}
    build_dir = os.path.join(ROOT, build)
    for test in json.loads(listing.stdout).get("tests", []):
        for word in test.get("command") or []:
            if os.path.abspath(word).startswith(build_dir) and os.path.isfile(word):
                programs[test["name"]] = os.path.abspath(word)
                break
        else:
            programs[test["name"]] = None  # a script: it reads sources, not the build
    return programs


def changed_tests(programs, before):
    """The tests whose program was rebuilt since `before` (program: mtime)."""
    return sorted(name for name, program in programs.items()
                  if program is not None and os.path.getmtime(program) != before.get(program))


def mtimes(programs):
    return {p: os.path.getmtime(p) for p in programs.values() if p is not None and os.path.exists(p)}


def ctest_command(build, tests, jobs):
    # Only the tests whose program changed can fail where they passed before.
    pattern = "^(" + "|".join(re.escape(t) for t in tests) + ")$"
    return ["ctest", "--test-dir", build, "-R", pattern, "-j", jobs, "--timeout", str(TEST_TIMEOUT)]


class Wine:
    """One Wine server and display for the whole run, as scripts/test.sh starts them."""

    def __init__(self, prefix):
        self.prefix = prefix
        self.env = None

    def up(self):
        if self.env is None:
            script = (f"source scripts/wine-env.sh && zv_wine_up {self.prefix} >/dev/null "
                      "&& env -0")
            out = subprocess.run(["bash", "-c", script], cwd=ROOT, stdout=subprocess.PIPE,
                                 check=True).stdout.decode()
            self.env = dict(item.split("=", 1) for item in out.split("\0") if "=" in item)
        return self.env

    def down(self):
        if self.env is None:
            return
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        if self.env.get("ZV_XVFB_PID"):
            try:
                os.kill(int(self.env["ZV_XVFB_PID"]), signal.SIGTERM)
            except (OSError, ValueError):
                pass
        self.env = None


def parse_selection(words, count):
    chosen = set()
    for word in words:
        first, _, last = word.partition("-")
        chosen.update(range(int(first), int(last or first) + 1))
    return sorted(n for n in chosen if 1 <= n <= count) or list(range(1, count + 1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("faults", nargs="*", help="numbers or ranges (default: all)")
    parser.add_argument("--list", action="store_true", help="show where each fault applies")
    parser.add_argument("--host", default="build/host")
    parser.add_argument("--windows", default="build/windows")
    parser.add_argument("--jobs", default="2")
    parser.add_argument("--skip", default="^pack_installer_tests$",
                        help="tests left out (default: the packer's, a tool's tests that take "
                             "minutes); '' runs every one")
    parser.add_argument("--tree", choices=["host", "windows"],
                        help="only the faults tested in this tree")
    args = parser.parse_args()

    numbers = parse_selection(args.faults, len(FAULTS))
    located = {}
    for n in numbers:
        path, problem = locate(FAULTS[n - 1])
        if problem:
            sys.exit(f"fault {n} ({FAULTS[n - 1].path}): {problem}")
        located[n] = path
    if args.list:
        for n in numbers:
            print(f"{n:3} {located[n]:45} {FAULTS[n - 1].kind}")
        return 0
    lock = take_lock()
    restore_pending()

    if args.tree:
        numbers = [n for n in numbers
                   if ("_win" in os.path.basename(located[n])) == (args.tree == "windows")]
    programs = {}
    for tree in {"windows" if "_win" in os.path.basename(located[n]) else "host" for n in numbers}:
        build = args.windows if tree == "windows" else args.host
        programs[build] = {name: program for name, program in unit_tests(build).items()
                           if not (args.skip and re.search(args.skip, name))}
    host_targets = sorted({os.path.splitext(os.path.basename(p))[0]
                           for p in programs.get(args.host, {}).values() if p})
    wine = Wine(os.path.join(args.windows, "wineprefix"))
    touched = set()
    results = []
    # Host faults first: they are the quick ones.
    numbers.sort(key=lambda n: ("_win" in os.path.basename(located[n]), bool(FAULTS[n - 1].e2e)))

    def handle_sigterm(*_):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, handle_sigterm)
    try:
        for n in numbers:
            fault, path = FAULTS[n - 1], located[n]
            windows = "_win" in os.path.basename(path)
            build = args.windows if windows else args.host
            started = time.time()
            before = mtimes(programs[build])
            with Mutation(path, fault):
                touched.add(build)
                if windows:
                    build_command = ["cmake", "--build", build, "-j", args.jobs]
                else:
                    build_command = (["cmake", "--build", build, "-j", args.jobs, "--target"] +
                                     host_targets)
                code, out = run(build_command)
                if code == 0 and fault.e2e:
                    # The end-to-end programs run on the host, the Windows build under them.
                    touched.update([args.host, args.windows])
                    code, out = run(["cmake", "--build", args.windows, "-j", args.jobs])
                    if code == 0:
                        code, out = run(["cmake", "--build", args.host, "-j", args.jobs,
                                         "--target", *fault.e2e])
                if code != 0:
                    outcome, detail = "BROKEN", out.strip().splitlines()[-1:] or [""]
                else:
                    tests = changed_tests(programs[build], before)
                    code, out = 0, ""
                    if tests:
                        code, out = run(ctest_command(build, tests, args.jobs),
                                        env=wine.up() if windows else None)
                    detail = re.findall(r"^\s*\d+ - (\S+) \(", out, re.MULTILINE)
                    if code not in (0, 8) and not detail:
                        detail = [f"ctest: {code}"]
                    if code == 0 and fault.e2e:
                        env = dict(wine.up(), ZV_WINDOWS_BUILD_DIR=os.path.join(ROOT, args.windows))
                        for program in fault.e2e:
                            code, out = run([os.path.join(args.host, "tests", "e2e", program)],
                                            env=env, timeout=900)
                            if code != 0:
                                detail = [program]
                                break
                    outcome = "caught" if code != 0 else "MISSED"
            seconds = time.time() - started
            results.append((n, path, fault.kind, outcome, seconds, detail))
            print(f"{n:3} {outcome:7} {seconds:5.0f}s  {path}: {fault.kind}"
                  + (f"  [{', '.join(detail)}]" if outcome == "caught" and detail else ""),
                  flush=True)
            with open(RESULTS, "a", encoding="utf-8") as f:
                f.write(json.dumps({"fault": n, "path": path, "outcome": outcome,
                                    "tests": detail, "seconds": round(seconds)}) + "\n")
    except KeyboardInterrupt:
        print("interrupted: the source is restored", flush=True)
    finally:
        wine.down()
        os.remove(lock)
        # Leave the trees built from the restored source.
        for build in sorted(touched):
            if build == args.host:
                if host_targets:
                    run(["cmake", "--build", build, "-j", args.jobs, "--target", *host_targets])
            else:
                run(["cmake", "--build", build, "-j", args.jobs])

    caught = [r for r in results if r[3] == "caught"]
    missed = [r for r in results if r[3] == "MISSED"]
    broken = [r for r in results if r[3] == "BROKEN"]
    print()
    print(f"{'#':>3}  {'outcome':7}  {'file':45}  fault")
    for n, path, kind, outcome, _, _ in sorted(results):
        print(f"{n:3}  {outcome:7}  {path:45}  {kind}")
    print()
    print(f"caught {len(caught)} of {len(results)}, missed {len(missed)}"
          + (f", broken build {len(broken)}" if broken else "")
          + f", {sum(r[4] for r in results) / 60:.1f} minutes")
    for n, path, kind, _, _, _ in missed:
        print(f"  missed {n}: {path}: {kind}")
    for n, path, kind, _, _, detail in broken:
        print(f"  broken {n}: {path}: {kind}: {' '.join(detail)}")
    return 0 if not broken else 1


if __name__ == "__main__":
    sys.exit(main())
