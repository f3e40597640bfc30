"""Cases where a walk once fell far behind its peers or miscounted: a long list file,
long chains of directories under a small open-files limit, an overlay mount, and the
start-up on an empty directory. Every tree is built once and kept with --keep (the
overlay's lower layer lives on a tmpfs and is built anew, it is small)."""
import json
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile

import check
import make_tree
import measure
import report
import suite
from measure import Command

LIST_DIRECTORIES, LIST_FILES = 10000, 20
CHAIN_LEVELS, SIDE_LEVELS, OVERLAY_LEVELS = 5000, 4000, 300
ONCE_OVER = 10.0  # seconds: a command whose first run takes this long runs only once


def run(args, zovu, work, empty):
    """Prints the part's report."""
    base = os.path.join(work, "edges")
    os.makedirs(base, exist_ok=True)
    print("\n## Edge cases\n")
    print(f"Median of {args.repeat} runs (one run where the first took {ONCE_OVER:g} s or "
          f"more; a run still going after {args.time_limit:g} s is stopped); zovu / reference "
          "above 1: zovu is slower.\n")
    problems = []
    rows = [timed_case(case, args.repeat, args.time_limit, problems)
            for case in cases(zovu, base)]
    rows += startup(zovu, empty, args.startup_runs)
    print(report.table(["case", "zovu", "time", "reference", "time", "zovu / reference",
                        "target", "met"], rows, left=2))
    if problems:
        print("\nCHECK FAILED:\n\n" + "\n".join(f"- {problem}" for problem in problems))
    else:
        print("\nChecked: zovu exited 0 and counted every file of each case, as its "
              "reference did.")
    overlay(zovu, base, args.repeat)


def limited(files, command):
    """command run under an open-files limit of files."""
    return Command(f"{command.label}, ulimit -n {files}",
                   ("sh", "-c", f'ulimit -n {files} && exec "$@"', "sh", *command.args),
                   command.threads)


def cases(zovu, base):
    """(case, zovu's command, reference command, directory, files there, target)."""
    lists = make_tree.cached(os.path.join(base, f"list-{LIST_DIRECTORIES}x{LIST_FILES}"),
                             f"{LIST_DIRECTORIES} directories of {LIST_FILES} files",
                             list_directories)
    list_file = os.path.join(base, "directories.lst")
    with open(list_file, "w") as out:
        out.writelines(f'"{os.path.join(lists, name)}/"\n' for name in sorted(os.listdir(lists)))
    chain = make_tree.cached(os.path.join(base, f"chain-{CHAIN_LEVELS}"),
                             f"{CHAIN_LEVELS} nested directories, a file in each",
                             lambda root: nested(root, CHAIN_LEVELS))
    side = make_tree.cached(os.path.join(base, f"side-{SIDE_LEVELS}"),
                            f"{SIDE_LEVELS} nested directories, each with a side directory "
                            "holding a file", lambda root: nested(root, SIDE_LEVELS, side=True))
    walk = Command("zovu -S+ DIR/", (zovu, "-S+", "{dir}/"))
    find = Command("find DIR -type f", ("find", "{dir}", "-type", "f"))
    from_list = Command(f"zovu -S+ @LIST ({LIST_DIRECTORIES:,} lines)",
                        (zovu, "-S+", "@" + list_file))
    return [
        (f"list file: {LIST_DIRECTORIES:,} directories of {LIST_FILES} files",
         from_list, Command(from_list.label + ", ZOVU_THREADS=1", from_list.args, "1"),
         lists, LIST_DIRECTORIES * LIST_FILES, 1.5),
        (f"chain of {CHAIN_LEVELS:,} directories, a file in each, `ulimit -n 64`",
         limited(64, walk), limited(64, find), chain, CHAIN_LEVELS, 3.0),
        (f"chain of {SIDE_LEVELS:,} directories, each with a side directory, "
         "ZOVU_THREADS=1", Command(walk.label + ", ZOVU_THREADS=1", walk.args, "1"), find,
         side, SIDE_LEVELS, 3.0),
    ]


def list_directories(root):
    rng = random.Random(1)
    for number in range(LIST_DIRECTORIES):
        directory = os.path.join(root, f"d{number:05d}")
        os.makedirs(directory)
        for file in range(LIST_FILES):
            os.mknod(os.path.join(directory, make_tree.file_name(rng, file)), 0o644)


def nested(root, levels, side=False, top_file=False):
    """levels directories "d", each in the one before, below root; each holds a file, or
    with side a directory "s" that holds it. Opened one by one: the paths grow far past
    what one system call takes."""
    os.makedirs(root)
    here = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    try:
        if top_file:
            os.mknod("f.txt", 0o644, dir_fd=here)
        for _ in range(levels):
            os.mkdir("d", dir_fd=here)
            deeper = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=here)
            os.close(here)
            here = deeper
            if side:
                os.mkdir("s", dir_fd=here)
            os.mknod("s/f.txt" if side else "f.txt", 0o644, dir_fd=here)
    finally:
        os.close(here)


def timed_case(case, runs, limit, problems):
    title, command, reference, directory, files, target = case
    zovu_seconds, outcome = measure.median_of(command, directory, runs, ONCE_OVER, limit)
    reference_seconds, expected = measure.median_of(reference, directory, runs, ONCE_OVER,
                                                    limit)
    for seen, label, counted in ((outcome, command.label, check.matches(outcome)),
                                 (expected, reference.label, counted_by(expected))):
        if seen.status is None:
            problems.append(f"{title}: `{label}` stopped after {limit:g} s")
        elif seen.status != 0 or counted != files:
            problems.append(f"{title}: {counted} of {files} files, exit status {seen.status}")
    ratio = zovu_seconds / reference_seconds
    stopped = "> " if outcome.status is None else ""
    print(f"  edges: {title}: {stopped}{ratio:.1f}x", file=sys.stderr, flush=True)
    return [title, f"`{command.label}`", stopped + report.duration(zovu_seconds),
            f"`{reference.label}`", report.duration(reference_seconds),
            f"{stopped}{ratio:.2f}", f"≤ {target}", "yes" if ratio <= target else "**no**"]


def counted_by(outcome):
    """Files a reference saw: zovu's match count, or find's lines."""
    found = check.matches(outcome)
    return found if found is not None else outcome.stdout.count(b"\n")


def startup(zovu, empty, runs):
    """Rows: zovu on an empty directory and with no arguments (its usage) against find."""
    commands = [Command("zovu DIR/", (zovu, "{dir}/")), Command("zovu (usage)", (zovu,)),
                Command("find DIR -type f", ("find", "{dir}", "-type", "f"))]
    if shutil.which("hyperfine"):
        with tempfile.NamedTemporaryFile("r", suffix=".json") as exported:
            subprocess.run(["hyperfine", "-N", "--warmup", "20", "--runs", str(runs),
                            "--export-json", exported.name]
                           + [shlex.join(c.argv(empty)) for c in commands],
                           check=True, stdout=subprocess.DEVNULL)
            found = json.load(exported)["results"]
        medians = {c: r["median"] for c, r in zip(commands, found)}
        how = f"hyperfine, {runs} runs"
    else:
        medians = measure.medians(commands, empty, runs, "start-up")
        how = f"{runs} alternating runs"
    find = medians[commands[2]]
    return [[f"start-up, empty directory ({how})", f"`{c.label}`", report.duration(medians[c]),
             f"`{commands[2].label}`", report.duration(find), f"{medians[c] / find:.2f}", "-",
             "-"] for c in commands[:2]]


def overlay(zovu, base, runs):
    """zovu's count and status on an overlay mount against find's, with several thread
    counts and open-files limits."""
    print(f"\n### Overlay mount\n\n{OVERLAY_LEVELS} nested directories below a top one, a "
          "file in each, in an overlay whose lower layer is a tmpfs and whose upper layer "
          f"is an empty directory on {file_system_of(base)}; {runs} runs of each. A cell: files "
          "counted (exit status).\n")
    if os.geteuid() != 0:
        print("Skipped: not running as root.")
        return
    root = os.path.join(base, "overlay")
    lower, upper, scratch, merged = (os.path.join(root, name)
                                     for name in ("lower", "upper", "work", "merged"))
    try:
        release(merged, lower)  # left over from a run that was killed
        subprocess.run(["rm", "-rf", "--", upper, scratch], check=True)
        for directory in (lower, upper, scratch, merged):
            os.makedirs(directory, exist_ok=True)
        why = mount(["-t", "tmpfs", "tmpfs", lower])
        if not why:
            nested(os.path.join(lower, "top"), OVERLAY_LEVELS, top_file=True)
            why = mount(["-t", "overlay", "overlay", "-o",
                         f"lowerdir={lower},upperdir={upper},workdir={scratch}", merged])
        if why:
            print(f"Skipped: {why}.")
            return
        top = os.path.join(merged, "top")
        files = counted_by(measure.run(Command("find", ("find", "{dir}", "-type", "f")), top,
                                       capture=True))
        walk = (zovu, "-S+", "{dir}/")
        limits = (None, 64, 20)
        rows = []
        for threads in ("1", "4", "16", None):
            row = [suite.DEFAULT if threads is None else threads]
            for files_open in limits:
                setting = Command("", walk, threads)
                if files_open:
                    setting = limited(files_open, setting)
                outcomes = [measure.run(setting, top, capture=True, check=False)
                            for _ in range(runs)]
                cells = sorted({f"{check.matches(o)} ({o.status})" for o in outcomes})
                right = cells == [f"{files} (0)"]
                row.append(", ".join(cells) if right else f"**{', '.join(cells)}**")
            rows.append(row)
        print(report.table(["ZOVU_THREADS"] + [f"ulimit -n {n}" if n else "no limit set"
                                               for n in limits], rows))
        print(f"\n`find DIR -type f` there: {files} files.")
    finally:
        release(merged, lower)


def mount(arguments):
    """None once mounted, else why not."""
    done = subprocess.run(["mount", *arguments], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)
    return None if done.returncode == 0 else f"`mount {shlex.join(arguments)}`: " \
        f"{done.stdout.strip()}"


def release(*mountpoints):
    for mountpoint in mountpoints:
        if measure.is_mount(mountpoint) and subprocess.run(["umount", mountpoint]).returncode:
            subprocess.run(["umount", "-l", mountpoint])  # still busy: detach it


def file_system_of(directory):
    return subprocess.run(["findmnt", "-n", "-o", "FSTYPE", "-T", directory],
                          stdout=subprocess.PIPE, text=True).stdout.strip() or "?"
