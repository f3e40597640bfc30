#!/usr/bin/env python3
"""Times zovu against the tools a user would reach for instead, on one generated tree.

Usage: python3 bench/run.py [options]   (from the project root, as root for the cold part;
--help lists the options)

Builds zovu (release preset) unless --zovu names a program, and generates a seeded tree of
300,000 files and a flat directory of 1,000,000 empty files (some minutes; with --keep DIR
they stay for the next run). Before timing anything it checks that zovu's tallies equal a
find/awk tally, that every counting peer sees the same files, and that zovu's report and
status are byte-identical with ZOVU_THREADS unset and each value of the sweep to those
with ZOVU_THREADS=1, in the tree and in the flat directory.

Timed in rounds of alternating runs reduced to medians, with the page cache warm and then
cold: zovu's count and size mode against find, fdfind (its default threads), du and the
find | awk pipelines; a least-work walker (bench/least_work.c: lists each directory once,
counts, tallies nothing) as the yardstick of the least work the count needs; zovu with
ZOVU_THREADS=1, 2, 4, 8, 16. Cold: before each run the page cache is dropped (needs root;
otherwise the cold part is skipped with a note) and the same command is run on an empty
directory, so that its program and libraries are read back in and only the tree is cold.
Also: zovu's peak memory (max RSS) in the tree and in the flat directory, the spinner's
cost, and the targets of the parallel walk, measured against required. The report is
Markdown on standard output; progress goes to standard error. The defaults make 300 warm
and 162 cold runs: by the per-run times measured so far, about 5-10 minutes on two cores
with the trees kept.
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ of the helpers below in the source tree
import check  # noqa: E402
import measure  # noqa: E402
import report  # noqa: E402
import suite  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SWEEP = "1,2,4,8,16"


def sh(command, **kw):
    return subprocess.run(command, shell=True, check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, **kw).stdout


def options():
    parser = argparse.ArgumentParser(
        description="Times zovu against find, fdfind, du and find|awk, warm and cold.")
    parser.add_argument("--files", type=int, default=300000, metavar="N",
                        help="files in the generated tree (default 300000)")
    parser.add_argument("--entries", type=int, default=1000000, metavar="N",
                        help="files in the flat directory (default 1000000)")
    parser.add_argument("--rounds", type=int, default=15, metavar="R",
                        help="alternating rounds with the page cache warm (default 15)")
    parser.add_argument("--cold-rounds", type=int, default=9, metavar="R",
                        help="alternating rounds with the page cache dropped (default 9)")
    parser.add_argument("--threads", default=SWEEP, metavar="LIST",
                        help=f"ZOVU_THREADS values to sweep, comma-separated (default {SWEEP})")
    parts = parser.add_mutually_exclusive_group()
    parts.add_argument("--warm-only", action="store_true", help="skip the cold runs")
    parts.add_argument("--cold-only", action="store_true", help="skip the warm runs")
    parser.add_argument("--no-memory", action="store_true",
                        help="leave out the flat directory (generating it, checking and "
                        "peak memory there)")
    parser.add_argument("--zovu", metavar="PATH",
                        help="the program to time (default: build the release preset and "
                        "use build/release/zovu)")
    parser.add_argument("--keep", metavar="DIR",
                        help="generate the trees in this folder and keep them there; a later "
                        "run with the same folder reuses them")
    return parser.parse_args()


def generated(path, count, flat=False):
    """The directory make_tree.py builds (a tree of count files, or with flat one directory
    of count entries), generated unless a complete one is there: a stamp beside it,
    written last, tells an interrupted generation apart."""
    stamp = path + ".done"
    arguments = (["--flat"] if flat else []) + [path, str(count), "1"]
    wanted = f"{'directory of' if flat else 'tree of'} {count} files, seed 1"
    if os.path.isfile(stamp):
        with open(stamp) as done:
            if done.read() == wanted:
                return path
    print(f"generating {path}: {wanted}", file=sys.stderr, flush=True)
    shutil.rmtree(path, ignore_errors=True)
    subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_tree.py"), *arguments],
                   check=True)
    with open(stamp, "w") as out:
        out.write(wanted)
    return path


def main():
    args = options()
    started = time.monotonic()
    sweep = [n.strip() for n in args.threads.split(",") if n.strip()]
    zovu = measure.program_under_test(args.zovu)
    work = args.keep or tempfile.mkdtemp(prefix="zovu-bench-")
    os.makedirs(work, exist_ok=True)
    try:
        least = os.path.join(work, "least_work")
        sh(f"cc -O2 -Wall -o {shlex.quote(least)} {shlex.quote(ROOT)}/bench/least_work.c")
        empty = os.path.join(work, "empty")
        os.makedirs(empty, exist_ok=True)
        tree = generated(os.path.join(work, f"tree-{args.files}"), args.files)
        flat = None if args.no_memory else generated(
            os.path.join(work, f"flat-{args.entries}"), args.entries, flat=True)
        fd = shutil.which("fdfind") or shutil.which("fd")
        s = suite.make(zovu, fd, least, sweep)

        print(f"# zovu benchmark, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}\n")
        directories = int(sh(f"find {shlex.quote(tree)} -type d | wc -l"))
        print(f"Program: {zovu}. Tree: {args.files:,} files in {directories:,} directories "
              f"({tree}). Machine: {os.cpu_count()} cores, Linux {os.uname().release}.")
        if not fd:
            print("Note: fdfind (or fd) is not installed: its rows are left out.")
        warm_up(tree)
        memory = {place: {} for place in report.PLACES}
        if not os.access(measure.TIME, os.X_OK):
            print(f"Note: {measure.TIME} (GNU time) is missing: peak memory is not measured.")
        noted = memory if os.access(measure.TIME, os.X_OK) else {}
        problems, summary = check.tree(tree, s, noted.get("tree"))
        if flat:
            warm_up(flat)
            problems += check.same_reports(flat, s, args.entries, noted.get("flat directory"))
        if problems:
            print("CHECK FAILED, nothing timed:\n" + "\n".join(problems), file=sys.stderr)
            return 1
        print(f"Checked before timing: {summary}.\n", flush=True)

        warm = cold = None
        if not args.cold_only:
            warm_up(tree)
            warm = measure.medians(s.timed() + s.spinner, tree, args.rounds, "warm")
        no_cold = "--warm-only" if args.warm_only else measure.why_no_cold_runs()
        if not no_cold:
            cold = measure.medians(s.timed(), tree, args.cold_rounds, "cold",
                                   measure.cold_start(empty))

        report.results(args, s, warm, cold, memory)
        if no_cold:
            print(f"\nCold runs: skipped ({no_cold}).")
        print(f"\nWhole benchmark: {time.monotonic() - started:.0f} s.")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    return 0


def warm_up(directory):
    quoted = shlex.quote(directory)
    for _ in range(2):
        sh(f"find {quoted} > /dev/null; du -s {quoted} > /dev/null")


if __name__ == "__main__":
    sys.exit(main())
