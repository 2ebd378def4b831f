#!/usr/bin/env python3
"""Applies each fault of faults.txt to a checkout, rebuilds, runs ctest and reports which
faults no test suite caught. See README.md for the outcomes and the exit codes."""
import argparse
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import time

KEYS = ("file", "find", "replace", "what")


def read_faults(path):
    """Returns the fault blocks of `path` as dicts; raises ValueError on a malformed one."""
    faults, block = [], {}
    for number, line in enumerate(path.read_text().splitlines() + [""], 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if block and (missing := [key for key in KEYS if key not in block]):
                raise ValueError(f"{path}:{block['line']}: fault lacks {', '.join(missing)}")
            if block:
                faults.append(block)
            block = {}
            continue
        key, colon, value = line.partition(":")
        if not colon or key not in KEYS:
            raise ValueError(f"{path}:{number}: expected {', '.join(KEYS)}, got {line!r}")
        block.setdefault("line", number)
        block[key] = value.removeprefix(" ").replace("\\n", "\n")
    return faults


def why_not_applicable(checkout, fault):
    """None when the fault's find text occurs exactly once in its file, else the reason."""
    target = checkout / fault["file"]
    if not target.is_file():
        return f"{fault['file']} missing"
    found = target.read_bytes().decode().count(fault["find"])
    return None if found == 1 else f"find text found {found} times in {fault['file']}"


def stop(process):
    """Ends the process group of `process`: politely first, so Xvfb can clean up."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
            return process.communicate(timeout=5)[0]
        except (ProcessLookupError, subprocess.TimeoutExpired):
            pass
    return process.communicate()[0]


def run(command, timeout):
    """Runs `command` in its own process group; ends the whole group on timeout or Ctrl-C.
    Returns (exit code, output); the exit code is None when the command timed out."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, errors="replace", start_new_session=True)
    try:
        output = process.communicate(timeout=timeout)[0]
        return process.returncode, output
    except subprocess.TimeoutExpired:
        return None, stop(process)
    except BaseException:
        stop(process)
        raise


class Runner:
    def __init__(self, arguments):
        self.build_dir = arguments.build
        self.jobs = arguments.jobs
        self.display = [] if arguments.no_display else \
            ["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24"]
        self.test_timeout = arguments.timeout
        self.run_limit = 4 * 3600  # the whole suite run; set from the baseline once it is known

    def build(self):
        """Returns None when the build succeeds, else (reason, last lines of its output)."""
        code, output = run(["cmake", "--build", self.build_dir, "--parallel", self.jobs], 3600)
        if code == 0:
            return None
        lines = output.splitlines()
        errors = [line.strip() for line in lines if "error:" in line.lower()]
        reason = "timed out" if code is None else (errors or [f"exit {code}"])[0]
        return reason, "\n".join("    " + line for line in lines[-15:])

    def test(self, first_failure_is_enough=False):
        """Runs every suite; returns the failed ones as 'name (reason)', or [] if all pass.
        A run that outlasts `run_limit` has hung and is reported as such (the suites set
        their own per-test limits, which ctest's --timeout does not override).
        Raises RuntimeError when ctest fails without naming a failed test (e.g. no display)."""
        code, output = run(self.display + [
            "ctest", "--test-dir", self.build_dir, "-j", self.jobs, "--no-tests=error",
            "--timeout", str(self.test_timeout)] +
            (["--stop-on-failure"] if first_failure_is_enough else []), self.run_limit)
        if code == 0:
            return []
        if code is None:
            return [f"the suites hung (stopped after {self.run_limit} s)"]
        failed = re.findall(r"^\s*\d+ - (.+?) \(([^()]+)\)\s*$",
                            output.partition("The following tests FAILED:")[2], re.MULTILINE)
        if failed:
            return [f"{name} ({reason})" for name, reason in failed]
        last = output.strip().splitlines()[-1:] or ["no output"]
        raise RuntimeError(f"ctest {'timed out' if code is None else f'exit {code}'}: {last[0]}")


def fault_numbers(text):
    return {int(n) for n in text.split(",") if n.strip()}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("checkout", type=pathlib.Path, help="source tree to apply faults to")
    parser.add_argument("build", nargs="?", help="configured build directory of the checkout")
    parser.add_argument("--faults", type=pathlib.Path,
                        default=pathlib.Path(__file__).with_name("faults.txt"))
    parser.add_argument("--only", type=fault_numbers, default=set(),
                        help="comma-separated fault numbers, e.g. 3,7")
    parser.add_argument("--jobs", default="2")
    parser.add_argument("--threshold", type=float, default=0.9,
                        help="lowest acceptable fraction of applied faults caught (default 0.9)")
    parser.add_argument("--timeout", type=int, default=300, help="seconds per test (ctest)")
    parser.add_argument("--no-display", action="store_true", help="run ctest without xvfb-run")
    parser.add_argument("--list", action="store_true",
                        help="only print the faults and whether each applies; builds nothing")
    arguments = parser.parse_args()
    if not 0 <= arguments.threshold <= 1:
        parser.error("--threshold is a fraction between 0 and 1")
    try:
        faults = list(enumerate(read_faults(arguments.faults), 1))
    except (OSError, ValueError) as error:
        parser.error(str(error))
    if unknown := arguments.only - {number for number, _ in faults}:
        parser.error(f"--only names unknown faults: {sorted(unknown)}")
    faults = [(n, fault) for n, fault in faults if not arguments.only or n in arguments.only]
    checkout = arguments.checkout

    if arguments.list:
        stale = []
        for number, fault in faults:
            if reason := why_not_applicable(checkout, fault):
                stale.append(number)
                print(f"{number:3} NOT APPLICABLE ({reason}): {fault['what']}")
            else:
                print(f"{number:3} applies  {fault['file']}: {fault['what']}")
        print(f"{len(faults) - len(stale)} of {len(faults)} apply; not applicable: "
              f"{', '.join(map(str, stale)) or 'none'}")
        return 1 if stale else 0

    if not arguments.build:
        parser.error("the build directory is needed unless --list is given")
    if not arguments.no_display and not shutil.which("xvfb-run"):
        parser.error("xvfb-run not found; install it or pass --no-display")
    runner = Runner(arguments)

    caught, missed, inapplicable, unbuildable = [], [], [], []
    try:
        print("baseline: building and testing the unmodified sources", flush=True)
        if failure := runner.build():
            print(f"baseline BUILD FAILS: {failure[0]}\n{failure[1]}\n"
                  "refusing to score: fix the build first")
            return 3
        started = time.time()
        failed = runner.test()
        # A faulty build may loop forever; a run far longer than the clean one has hung.
        runner.run_limit = max(120, round(5 * (time.time() - started)))
        if failed:
            print(f"baseline suites FAIL: {', '.join(failed)}\nrefusing to score: "
                  "every fault would look caught")
            return 3
        for number, fault in faults:
            target = checkout / fault["file"]
            if reason := why_not_applicable(checkout, fault):
                inapplicable.append(number)
                print(f"{number:3} NOT APPLICABLE ({reason}) {fault['what']}", flush=True)
                continue
            original = target.read_bytes()
            started = time.time()
            try:
                target.write_bytes(original.decode().replace(fault["find"], fault["replace"])
                                   .encode())
                if failure := runner.build():
                    unbuildable.append(number)
                    result = f"DOES NOT BUILD ({failure[0]})"
                elif failed := runner.test(first_failure_is_enough=True):
                    caught.append(number)
                    result = "caught by " + ", ".join(failed)
                else:
                    missed.append(number)
                    result = "MISSED"
            finally:
                target.write_bytes(original)
            print(f"{number:3} {result}  [{time.time() - started:.0f} s] {fault['what']}",
                  flush=True)
    except RuntimeError as error:
        print(f"the test run itself broke ({error}); refusing to score")
        runner.build()
        return 3
    except KeyboardInterrupt:
        print("\ninterrupted; the sources are restored, the build directory may be stale")
        return 130
    if runner.build():
        print("warning: the final rebuild of the restored sources failed")

    applied = len(caught) + len(missed)
    score = len(caught) / applied if applied else 0.0
    verdict = []
    if score < arguments.threshold:
        verdict.append(f"score {score:.2f} is below the threshold {arguments.threshold:.2f}")
    if inapplicable or unbuildable:
        verdict.append("some faults did not apply or did not build: update faults.txt")
    print("FAIL: " + "; ".join(verdict) if verdict else "PASS")
    print(f"caught {len(caught)} of {applied} applied")
    for label, numbers in (("missed", missed), ("not applicable", inapplicable),
                           ("does not build", unbuildable)):
        print(f"{label}: {', '.join(map(str, numbers)) or 'none'}")
    return 1 if verdict else 0


if __name__ == "__main__":
    sys.exit(main())
