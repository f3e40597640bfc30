#!/usr/bin/env python3
"""Times the search of `zovu -W` through a large settings file, warm cache.

Usage: bench/settings_search.py [--size-mib N] [--rounds R] [--dir DIR] [--zovu PATH]
Builds zovu with the release preset (unless --zovu names a program), writes a zovu.cfg
of N MiB (default 2048) of other bytes into a temporary folder (or DIR), reads it once
so that it is in the page cache, then runs `zovu -S+ -W` there R times. The file holds
no copy of the block, so every run searches all of it and adds one at the end; the file
is cut back to its size before each run. Prints the median time and the search speed.
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

MIB = 1 << 20


def write_other_bytes(path, size_mib):
    # One MiB of random bytes, repeated: the search meets no copy and no shortcut.
    piece = os.urandom(MIB)
    with open(path, "wb") as out:
        for _ in range(size_mib):
            out.write(piece)


def warm(path):
    with open(path, "rb") as f:
        while f.read(16 * MIB):
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size-mib", type=int, default=2048)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--dir", help="folder for the settings file (default: a temporary one)")
    parser.add_argument("--zovu", help="the program to time (default: build/release/zovu)")
    args = parser.parse_args()

    zovu = measure.program_under_test(args.zovu)

    with tempfile.TemporaryDirectory(dir=args.dir) as work:
        path = os.path.join(work, "zovu.cfg")
        write_other_bytes(path, args.size_mib)
        size = os.path.getsize(path)
        warm(path)
        times = []
        for _ in range(args.rounds):
            os.truncate(path, size)
            start = time.perf_counter()
            result = subprocess.run([zovu, "-S+", "-W"], cwd=work, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, text=True)
            times.append(time.perf_counter() - start)
            if result.returncode != 0 or os.path.getsize(path) != size + 29:
                sys.exit("zovu -W failed: %d %s%s" % (result.returncode, result.stdout,
                                                      result.stderr))
        median = statistics.median(times)
        print("settings file of %d MiB, %d rounds: median %.3f s (min %.3f s), %.2f GB/s"
              % (args.size_mib, args.rounds, median, min(times), size / median / 1e9))


if __name__ == "__main__":
    main()
