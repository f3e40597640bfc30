#!/usr/bin/env python3
"""Times zovu against the tools a user would reach for instead, on one generated tree.

Usage: bench/run.py [--files N] [--rounds R] [--keep DIR]
Builds the release preset, generates a seeded tree in a temporary folder (or DIR),
warms the page cache, then runs every command R times in alternation and compares
medians. Prints one line per pair: peer time / zovu time (above 1: zovu is faster).
Also checks that zovu's table equals a find/awk tally of the same tree, and times a
least-work walker (bench/least_work.c: lists each directory once, counts, tallies
nothing) to show how close zovu comes to the least work the count needs.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ZOVU = os.path.join(ROOT, "build", "release", "zovu")

# The pipeline a user would write: upper-cased first three characters of the extension.
AWK_KEY = ('{n=$1; i=match(n, /\\.[^.]*$/); e=i ? substr(n, i+1) : ""; '
           'k=toupper(substr(e, 1, 3)); ')
AWK_COUNT = AWK_KEY + 'c[k]++} END {for (k in c) print k, c[k]}'
AWK_SIZE = AWK_KEY + 'c[k]+=$2} END {for (k in c) print k, c[k]}'


def sh(command, **kw):
    return subprocess.run(command, shell=True, check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, **kw).stdout


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def peak_memory_kib(command):
    out = subprocess.run("/usr/bin/time -v " + command, shell=True, check=True,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", out).group(1))


def parse_table(text):
    cells = {}
    for key, number in re.findall(r"\| (.{3}) \. *(\d+)", text):
        cells[key.rstrip()] = int(number)
    return cells


def awk_tally(command):
    result = {}
    for line in sh(command).splitlines():
        parts = line.split(" ")
        result[parts[0] if len(parts) > 1 else ""] = int(parts[-1])
    return result


def medians(commands, rounds):
    samples = {name: [] for name in commands}
    for _ in range(rounds):
        for name, command in commands.items():
            samples[name].append(timed(command))
    return {name: statistics.median(times) for name, times in samples.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=300000)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--keep", help="generate the tree here and keep it")
    args = parser.parse_args()

    sh("cmake --preset release && cmake --build --preset release", cwd=ROOT)
    work = args.keep or tempfile.mkdtemp(prefix="zovu-bench-")
    least = os.path.join(work, "least_work")
    sh(f"cc -O2 -Wall -o {least} {ROOT}/bench/least_work.c")
    tree = os.path.join(work, "tree")
    small = os.path.join(work, "small")
    try:
        for path, files in ((tree, args.files), (small, args.files // 10)):
            if not os.path.isdir(path):
                sh(f"python3 {ROOT}/bench/make_tree.py {path} {files} 1")
        for _ in range(2):
            sh(f"find {tree} {small} > /dev/null; du -s {tree} {small} > /dev/null")

        count_table = parse_table(sh(f"{ZOVU} -S+ {tree}/"))
        size_table = parse_table(sh(f"{ZOVU} -S+ -T {tree}/"))
        expect_count = awk_tally(f"find {tree} -type f -printf '%f\\n' | awk '{AWK_COUNT}'")
        expect_size = awk_tally(f"find {tree} -type f -printf '%f %s\\n' | awk '{AWK_SIZE}'")
        if count_table != expect_count or size_table != expect_size:
            print("MISMATCH between zovu and find/awk", file=sys.stderr)
            print("count:", count_table, expect_count, file=sys.stderr)
            print("size:", size_table, expect_size, file=sys.stderr)
            return 1
        print(f"tallies agree with find/awk: {sum(expect_count.values())} files, "
              f"{len(expect_count)} keys, {sum(expect_size.values())} bytes")

        fd = shutil.which("fdfind") or shutil.which("fd")
        count = {
            "zovu -S+": f"{ZOVU} -S+ {tree}/",
            "find -type f": f"find {tree} -type f",
            "find | awk": f"find {tree} -type f -printf '%f\\n' | awk '{AWK_COUNT}'",
        }
        if fd:
            count["fdfind -t f"] = f"{fd} -t f . {tree}"
        # Not a peer: the yardstick of the least work (below 1 by how much zovu does more).
        count["least-work walker"] = f"{least} {tree}"
        size = {
            "zovu -S+ -T": f"{ZOVU} -S+ -T {tree}/",
            "du -s --apparent-size": f"du -s --apparent-size {tree}",
            "find -printf | awk": f"find {tree} -type f -printf '%f %s\\n' | awk '{AWK_SIZE}'",
        }
        # The status line is drawn only on a terminal; script(1) gives zovu one, and the
        # same wrapper without a terminal on standard error isolates the spinner's cost.
        spinner = {
            "zovu on a terminal": f"script -qec '{ZOVU} -S+ {tree}/ >/dev/null' /dev/null",
            "zovu, no terminal": f"script -qec '{ZOVU} -S+ {tree}/ >/dev/null 2>/dev/null' "
                                 "/dev/null",
        }
        results = medians({**count, **size, **spinner}, args.rounds)
        print(f"median of {args.rounds} alternating runs, page cache warm, {os.cpu_count()} cores")
        for name, seconds in results.items():
            print(f"  {name:24s} {seconds * 1000:8.1f} ms")
        for group, base in ((count, "zovu -S+"), (size, "zovu -S+ -T")):
            for name in group:
                if name != base:
                    print(f"{name} / {base}: {results[name] / results[base]:.2f}")
        ratio = results["zovu on a terminal"] / results["zovu, no terminal"]
        print(f"spinner on a terminal costs: {100 * (ratio - 1):+.1f}%")
        big = peak_memory_kib(f"{ZOVU} -S+ -T {tree}/")
        little = peak_memory_kib(f"{ZOVU} -S+ -T {small}/")
        print(f"peak memory: {big} KiB on {args.files} files, {little} KiB on {args.files // 10}")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
