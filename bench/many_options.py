#!/usr/bin/env python3
"""Times zovu with a very long list of options: option processing must stay linear.

Usage: bench/many_options.py [--options N] [--rounds R] [--zovu PATH]
Builds zovu with the release preset (unless --zovu names a program), then runs it R
times in an empty temporary folder with N parameters "-T" (default 100,000) followed by
"-S+", so that it searches the empty folder. Prints the median time of a run beside
the time of a run with the one option "-S+" only, which is the program's start-up.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ of the helper below in the source tree
import measure  # noqa: E402

def run(command, cwd):
    """Wall time and the CPU time of the child alone (user + system), in seconds."""
    with tempfile.TemporaryFile() as out:
        start = time.perf_counter()
        child = subprocess.Popen(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        text = out.read().decode(errors="replace")
    if command[0] != "/bin/true" and (child.returncode != 0 or
                                      not text.endswith("0 matches found!\n")):
        sys.exit("zovu failed: %d %s" % (child.returncode, text[-300:]))
    return wall, usage.ru_utime + usage.ru_stime


def medians(command, cwd, rounds):
    runs = [run(command, cwd) for _ in range(rounds)]
    return statistics.median(r[0] for r in runs), statistics.median(r[1] for r in runs)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--options", type=int, default=100_000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--zovu", help="the program to time (default: build/release/zovu)")
    args = parser.parse_args()

    zovu = measure.program_under_test(args.zovu)

    options = ["-T"] * args.options + ["-S+"]
    with tempfile.TemporaryDirectory() as empty:
        many = medians([zovu] + options, empty, args.rounds)
        one = medians([zovu, "-S+"], empty, args.rounds)
        # Starting any program with that many parameters costs this much by itself.
        start = medians(["/bin/true"] + options, empty, args.rounds)
    print("zovu with %d options: %.4f s wall, %.4f s CPU of its own" % (args.options, *many))
    print("zovu with one option: %.4f s wall, %.4f s CPU of its own" % one)
    print("/bin/true with the same %d parameters: %.4f s wall, %.4f s CPU" % (args.options,
                                                                             *start))

if __name__ == "__main__":
    main()
