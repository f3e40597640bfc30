#!/usr/bin/env python3
"""Times zovu against the tools a user would reach for instead.

Usage: python3 bench/run.py [options]   (from the project root, as root for the cold part,
the slow file system and the overlay; --help lists the options)

Three parts, chosen with --part (default: main; repeat it for more than one):

main: builds zovu (release preset) unless --zovu names a program, and generates a seeded
tree of 300,000 files and a flat directory of 1,000,000 empty files (some minutes; with
--keep DIR they stay for the next run). Before timing anything it checks that zovu's
tallies equal a find/awk tally, that every counting peer sees the same files, that the
disk usage total (where zovu has --disk-usage) equals the blocks of the files, and that
zovu's report and status are byte-identical with ZOVU_THREADS unset and each value of the
sweep to those with ZOVU_THREADS=1, in the tree and in the flat directory.
Timed in rounds of alternating runs reduced to medians, with the page cache warm and then
cold: zovu's count and size mode against find, fdfind (its default threads), du and the
find | awk pipelines; zovu's size mode with --format=json and --format=list, and
--disk-usage against du -s, where zovu accepts those options; a least-work walker
(bench/least_work.c: lists each directory once, counts, tallies nothing) as the yardstick
of the least work the count needs; zovu with ZOVU_THREADS=1, 2, 4, 8, 16. Cold: before
each run the page cache is dropped (needs root; otherwise the cold part is skipped with a
note) and the same command is run on an empty directory, so that its program and
libraries are read back in and only the tree is cold. Also: zovu's peak memory (max RSS)
in the tree and in the flat directory, the spinner's cost, and the targets of the
parallel walk, measured against required. The defaults make 300 warm and 162 cold runs:
by the per-run times measured so far, about 5-10 minutes on two cores with the trees kept.

slow: the same work on a file system that answers every metadata request late
(bench/slow_part.py; a few minutes). edges: cases that once took a walk far past its
peers or got it wrong (bench/edge_cases.py; a few minutes).

The report is Markdown on standard output; progress goes to standard error.
"""
import argparse
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ of the helpers below in the source tree
import check  # noqa: E402
import edge_cases  # noqa: E402
import make_tree  # noqa: E402
import measure  # noqa: E402
import report  # noqa: E402
import slow_part  # noqa: E402
import suite  # noqa: E402

SWEEP = "1,2,4,8,16"
SLOW_SWEEP = "1,4,16,64,128"


def sh(command, **kw):
    return subprocess.run(command, shell=True, check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, **kw).stdout


PARTS = ("main", "slow", "edges")


def options():
    parser = argparse.ArgumentParser(
        description="Times zovu against find, fdfind, du and find|awk: warm and cold (main), "
        "on a slow file system (slow), in edge cases (edges).")
    parser.add_argument("--part", action="append", choices=PARTS,
                        help="part to run; repeat for more (default: main)")
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
    parser.add_argument("--repeat", type=int, default=3, metavar="N",
                        help="runs of each command in the slow and edges parts, reduced to "
                        "the median; one whose first run takes 5 s (slow) or 10 s (edges) "
                        "runs once (default 3)")
    parser.add_argument("--delay-ms", type=float, default=1.0, metavar="MS",
                        help="wait of the slow file system before each metadata request "
                        "(default 1)")
    parser.add_argument("--slow-threads", default=SLOW_SWEEP, metavar="LIST",
                        help="ZOVU_THREADS values to sweep on the slow file system "
                        f"(default {SLOW_SWEEP})")
    parser.add_argument("--time-limit", type=float, default=60, metavar="S",
                        help="in the edges part, a run still going after S seconds is "
                        "stopped and reported as such (default 60)")
    parser.add_argument("--startup-runs", type=int, default=300, metavar="N",
                        help="runs of each start-up command in the edges part (default 300)")
    parser.add_argument("--zovu", metavar="PATH",
                        help="the program to time (default: build the release preset and "
                        "use build/release/zovu)")
    parser.add_argument("--before", metavar="PATH",
                        help="an earlier zovu, timed beside in the main part (its count and "
                        "size rows: its time / this zovu's)")
    parser.add_argument("--keep", metavar="DIR",
                        help="generate the trees in this folder and keep them there; a later "
                        "run with the same folder reuses them")
    args = parser.parse_args()
    args.part = args.part or ["main"]
    return args


def main():
    args = options()
    # A termination unwinds like Ctrl+C, so the mounts of the slow and edges parts go too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    started = time.monotonic()
    zovu = measure.program_under_test(args.zovu)
    work = args.keep or tempfile.mkdtemp(prefix="zovu-bench-")
    os.makedirs(work, exist_ok=True)
    try:
        least = measure.build_c("least_work.c", os.path.join(work, "least_work"))
        empty = os.path.join(work, "empty")
        os.makedirs(empty, exist_ok=True)
        fd = shutil.which("fdfind") or shutil.which("fd")
        print(f"# zovu benchmark, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}\n")
        print(f"Program: {zovu}. Machine: {os.cpu_count()} cores, Linux {os.uname().release}."
              f" Parts: {', '.join(args.part)}.")
        if not fd:
            print("Note: fdfind (or fd) is not installed: its rows are left out.")
        status = 0
        if "main" in args.part:
            status = main_part(args, zovu, fd, least, work, empty)
        if status == 0 and "slow" in args.part:
            slow_part.run(args, zovu, fd, least, work)
        if status == 0 and "edges" in args.part:
            edge_cases.run(args, zovu, work, empty)
        print(f"\nWhole benchmark: {time.monotonic() - started:.0f} s.")
    finally:
        if not args.keep:
            subprocess.run(["rm", "-rf", "--", work])
    return status


def main_part(args, zovu, fd, least, work, empty):
    """The tree and the flat directory, warm and cold; 1 when a check failed."""
    sweep = [n.strip() for n in args.threads.split(",") if n.strip()]
    tree = make_tree.generated(os.path.join(work, f"tree-{args.files}"), args.files)
    flat = None if args.no_memory else make_tree.generated(
        os.path.join(work, f"flat-{args.entries}"), args.entries, flat=True)
    new_options = [option for option in suite.NEW_OPTIONS
                   if measure.accepts(zovu, suite.new_option_args(option), empty)]
    s = suite.make(zovu, fd, least, sweep, new_options, args.before)

    directories = int(sh(f"find {shlex.quote(tree)} -type d | wc -l"))
    print(f"\n## Main part\n\nTree: {args.files:,} files in {directories:,} directories "
          f"({tree}).")
    missing = [option for option in suite.NEW_OPTIONS if option not in new_options]
    if missing:
        print(f"Note: this zovu does not accept {', '.join(missing)}: their rows are left "
              "out.")
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
    return 0


def warm_up(directory):
    quoted = shlex.quote(directory)
    for _ in range(2):
        sh(f"find {quoted} > /dev/null; du -s {quoted} > /dev/null")


if __name__ == "__main__":
    sys.exit(main())
