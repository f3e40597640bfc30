"""zovu and its peers on a file system that answers every metadata request late, as a
server far away does: a walk there is bound by round trips, not by the disk or the cores.

The file system is bench/slow_fs.c, a read-only FUSE pass-through mounted over trees on
disk. Needs root, /dev/fuse, fuse3 and libfuse3-dev; otherwise the part is skipped with a
note. Whatever happens, the mounts are taken down again before this part returns."""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

import make_tree
import measure
import report
import suite
from measure import Command

MOUNT_OPTIONS = "ro,max_threads=256,entry_timeout=0,attr_timeout=0,negative_timeout=0"
FILES, DIRECTORIES, FLAT_FILES = 20000, 1039, 3000
ONCE_OVER = 5.0  # seconds: a command whose first run takes this long runs only once


class MountError(Exception):
    pass


def run(args, zovu, fd, least, work):
    """Prints the part's report."""
    print("\n## Slow file system\n")
    try:
        program = build(os.path.join(work, "slow_fs"))
    except MountError as error:
        print(f"Skipped: {error}.")
        return
    tree = make_tree.generated(os.path.join(work, f"slow-tree-{FILES}"), FILES,
                               directories=DIRECTORIES)
    flat = make_tree.generated(os.path.join(work, f"slow-flat-{FLAT_FILES}"), FLAT_FILES,
                               flat=True)
    sweep = [n.strip() for n in args.slow_threads.split(",") if n.strip()]
    s = suite.make(zovu, fd, least, sweep)
    least_one = Command("least-work walker, one thread", s.least.args)
    cases = [(f"count, {FILES:,} files in {DIRECTORIES:,} directories", "tree", s.zovu_count,
              s.listers + [least_one]),
             ("size, the same tree", "tree", s.zovu_size, [s.du]),
             (f"size, one directory of {FLAT_FILES:,} files", "flat", s.zovu_size, [s.du])]
    sources = {"tree": tree, "flat": flat}
    problems = []
    try:
        with mounted(program, tree, os.path.join(work, "slow-mount-tree"), args.delay_ms) \
                as slow_tree, \
                mounted(program, flat, os.path.join(work, "slow-mount-flat"), args.delay_ms) \
                as slow_flat:
            mounts = {"tree": slow_tree, "flat": slow_flat}
            times = [[timed(command, sources[place], mounts[place], args.repeat, problems)
                      for command in [base] + peers] for _, place, base, peers in cases]
            sweep_times = [[timed(command, tree, slow_tree, args.repeat, problems)
                            for command in (count, size)] for _, count, size in s.threads]
    except MountError as error:
        print(f"Skipped: {error}.")
        return
    print_results(args, cases, times, sweep, sweep_times, problems)


def print_results(args, cases, times, sweep, sweep_times, problems):
    """times: seconds per command of each case; sweep_times: (count, size) seconds per
    ZOVU_THREADS value of sweep."""
    print(f"bench/slow_fs.c, a read-only FUSE pass-through, waits {args.delay_ms:g} ms before "
          "every lookup, getattr, opendir, readdir and open, and lists names with their entry "
          f"types only; mounted with `-o {MOUNT_OPTIONS}` and the source's inode numbers, so "
          "that nothing is kept between runs. Median of "
          f"{args.repeat} runs (one run where the first took {ONCE_OVER:g} s or more); "
          "peer / zovu above 1: zovu is faster.\n")
    rows = []
    for (title, _, base, peers), seconds in zip(cases, times):
        for index, command in enumerate([base] + peers):
            rows.append([title if index == 0 else "", command.label,
                         report.duration(seconds[index]),
                         f"{seconds[index] / seconds[0]:.2f}" if index else ""])
    print(report.table(["work", "command", "time", "peer / zovu"], rows, left=2))
    if problems:
        print("\nCHECK FAILED:\n\n" + "\n".join(f"- {problem}" for problem in problems))
    else:
        print("\nChecked: every command's output and status on the mounts are those on the "
              "trees themselves (paths aside, lines in any order).")
    print(f"\n### ZOVU_THREADS on the slow file system\n\nThe tree of {FILES:,} files; in "
          "brackets: how many times faster than with 1.\n")
    labels = sweep + [suite.DEFAULT]
    sweep_times = sweep_times + [[times[0][0], times[1][0]]]
    one = sweep_times[labels.index("1")] if "1" in labels else None
    print(report.table(["ZOVU_THREADS", "count", "size (-T)"], [
        [label] + [report.duration(seconds) + (f" ({one[i] / seconds:.2f}x)" if one else "")
                   for i, seconds in enumerate(row)]
        for label, row in zip(labels, sweep_times)]))


def build(output):
    """Compiles the file system, or MountError with the reason it cannot run here."""
    if os.geteuid() != 0:
        raise MountError("not running as root")
    if not os.path.exists("/dev/fuse"):
        raise MountError("/dev/fuse is missing")
    if not shutil.which("fusermount3"):
        raise MountError("fusermount3 is missing (Debian package fuse3)")
    flags = ["-I/usr/include/fuse3", "-lfuse3", "-lpthread"]
    if shutil.which("pkg-config"):
        found = subprocess.run(["pkg-config", "--cflags", "--libs", "fuse3"],
                               stdout=subprocess.PIPE, text=True)
        flags = found.stdout.split() if found.returncode == 0 else flags
    try:
        return measure.build_c("slow_fs.c", output, *flags)
    except subprocess.CalledProcessError:
        raise MountError("bench/slow_fs.c does not build (Debian package libfuse3-dev)")


@contextlib.contextmanager
def mounted(program, source, mountpoint, delay_ms):
    """source seen through the slow file system at mountpoint while the block runs."""
    os.makedirs(mountpoint, exist_ok=True)
    unmount(mountpoint)  # left over from a run that was killed
    with tempfile.TemporaryFile() as log:
        # A session of its own: Ctrl+C stops the benchmark, which then unmounts.
        daemon = subprocess.Popen([program, f"--delay-ms={delay_ms}", source, mountpoint,
                                   "-f", "-o", MOUNT_OPTIONS], stdout=log, stderr=log,
                                  stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            deadline = time.monotonic() + 10
            while not measure.is_mount(mountpoint):
                if daemon.poll() is not None or time.monotonic() > deadline:
                    log.seek(0)
                    said = log.read().decode(errors="replace").strip()
                    raise MountError(f"slow_fs could not mount {mountpoint}: {said}")
                time.sleep(0.02)
            yield mountpoint
        finally:
            unmount(mountpoint)
            try:
                daemon.wait(timeout=10)
            except subprocess.TimeoutExpired:
                daemon.kill()
                daemon.wait()


def unmount(mountpoint):
    if measure.is_mount(mountpoint) and subprocess.run(["fusermount3", "-u", mountpoint]).returncode:
        subprocess.run(["fusermount3", "-u", "-z", mountpoint])  # still busy: detach it


def timed(command, source, mount, runs, problems):
    """Median seconds of command on the mount; a problem noted where its output or status
    differs from that on the source itself (paths aside, lines in any order)."""
    seconds, outcome = measure.median_of(command, mount, runs, ONCE_OVER)
    print(f"  slow: {command.label}: {report.duration(seconds)}", file=sys.stderr, flush=True)
    here = measure.run(command, source, capture=True, check=False)
    if normal(outcome, mount) != normal(here, source):
        problems.append(f"{command.label} on {mount}: status {outcome.status}, output not as "
                        f"on {source} (status {here.status})")
    return seconds


def normal(outcome, directory):
    text = outcome.stdout.decode(errors="replace").replace(directory, "DIR")
    return outcome.status, sorted(text.splitlines())
