#!/usr/bin/env python3
"""Applies each fault of faults.txt to a checkout, rebuilds, runs ctest and reports which
faults no test suite caught. See README.md."""
import argparse
import pathlib
import re
import subprocess
import sys
import time


def read_faults(path):
    faults, block = [], {}
    for line in path.read_text().splitlines() + [""]:
        if not line.strip():
            if block:
                faults.append(block)
                block = {}
            continue
        if line.startswith("#"):
            continue
        key, _, value = line.partition(": ")
        block[key.strip()] = value.replace("\\n", "\n")
    return faults


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
    except subprocess.TimeoutExpired as expired:
        return subprocess.CompletedProcess(command, 124, expired.stdout or "", "")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("checkout")
    parser.add_argument("build")
    parser.add_argument("--only", default="")
    parser.add_argument("--jobs", default="2")
    arguments = parser.parse_args()
    checkout = pathlib.Path(arguments.checkout)
    faults = read_faults(pathlib.Path(__file__).with_name("faults.txt"))
    only = {int(n) for n in arguments.only.split(",") if n}
    missed, caught = [], []
    for number, fault in enumerate(faults, 1):
        if only and number not in only:
            continue
        target = checkout / fault["file"]
        original = target.read_text()
        if original.count(fault["find"]) != 1:
            print(f"{number:3} NOT APPLICABLE ({fault['find']!r} found "
                  f"{original.count(fault['find'])} times in {fault['file']})", flush=True)
            continue
        target.write_text(original.replace(fault["find"], fault["replace"]))
        started = time.time()
        try:
            build = run(["ninja", "-C", arguments.build, "-j", arguments.jobs], checkout, 1800)
            if build.returncode != 0:
                result = "caught (does not build)"
            else:
                tests = run(["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24", "ctest",
                             "--test-dir", arguments.build, "-j", arguments.jobs, "--timeout",
                             "300"], checkout, 3600)
                failed = re.findall(r"Test +#\d+: (\S+) \.*\s*(?:\*\*\*|Exception|Subprocess)",
                                    tests.stdout)
                if tests.returncode == 0:
                    result = "MISSED"
                else:
                    result = "caught by " + " ".join(sorted(set(failed)))
        finally:
            target.write_text(original)
        (missed if result == "MISSED" else caught).append(number)
        print(f"{number:3} {result}  [{time.time() - started:.0f} s] {fault['what']}", flush=True)
    run(["ninja", "-C", arguments.build, "-j", arguments.jobs], checkout, 1800)
    print(f"caught {len(caught)} of {len(caught) + len(missed)}; missed: {missed}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
