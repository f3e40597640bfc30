"""What is checked before anything is timed: zovu's tallies against a find/awk tally,
the files each counting peer sees, its disk usage total against the files' blocks, and
zovu's report with every ZOVU_THREADS against with one thread."""
import difflib
import re
import subprocess

import measure
from measure import Command


def table_of(text):
    """zovu's report as {key: number}."""
    cells = {}
    for key, number in re.findall(r"\| (.{3}) \. *(\d+)", text):
        cells[key.rstrip()] = int(number)
    return cells


def awk_tally(text):
    result = {}
    for line in text.splitlines():
        parts = line.split(" ")
        result[parts[0] if len(parts) > 1 else ""] = int(parts[-1])
    return result


def matches(outcome):
    found = re.search(rb"(\d+) match", outcome.stdout)
    return int(found.group(1)) if found else None


def tree(directory, s, memory):
    """(problems, summary) on the benchmark's tree; zovu's peak memory noted in memory
    (see same_reports)."""
    problems = []
    got = {c: measure.run(c, directory, capture=True)
           for c in s.count + s.size + s.formats + s.disk}
    expect_count = awk_tally(got[s.awk_count].stdout.decode())
    expect_size = awk_tally(got[s.awk_size].stdout.decode())
    if table_of(got[s.zovu_count].stdout.decode()) != expect_count:
        problems.append(f"count table differs from find/awk's {expect_count}")
    if table_of(got[s.zovu_size].stdout.decode()) != expect_size:
        problems.append(f"size table differs from find/awk's {expect_size}")
    files = sum(expect_count.values())
    seen = {s.zovu_count: matches(got[s.zovu_count]), s.least: int(got[s.least].stdout)}
    seen.update({c: got[c].stdout.count(b"\n") for c in s.listers})
    problems += [f"{c.label} sees {n} files, find/awk {files}" for c, n in seen.items()
                 if n != files]
    problems += same_reports(directory, s, files, memory)
    summary = (f"{files:,} files, {len(expect_count)} keys, {sum(expect_size.values()):,} "
               f"bytes; every counting peer sees {files:,} files; zovu's report identical "
               f"with ZOVU_THREADS={', '.join(n for n, _, _ in s.threads)} and unset")
    if s.disk:
        allocated = blocks_of_files(directory)
        shown = sum(table_of(got[s.disk[0]].stdout.decode()).values())
        if shown != allocated:
            problems.append(f"{s.disk[0].label} totals {shown} bytes, the files' blocks "
                            f"{allocated}")
        summary += f"; disk usage {allocated:,} bytes, as the files' blocks"
    return problems, summary


def blocks_of_files(directory):
    """Bytes allocated to everything but directories (du adds theirs), each inode once."""
    listing = subprocess.run(["find", directory, "!", "-type", "d", "-printf", "%D %i %b\n"],
                             check=True, stdout=subprocess.PIPE, text=True).stdout
    blocks = {}
    for line in listing.splitlines():
        device, inode, count = line.split()
        blocks[device, inode] = int(count)
    return 512 * sum(blocks.values())


def same_reports(directory, s, files, memory=None):
    """Problems: zovu's output and status, count and size, with ZOVU_THREADS unset and
    each of the sweep against with 1, and its match count against the files there.
    When memory is a dict, each run's peak memory goes to memory[label][mode]."""
    problems = []
    for mode, pick in (("count", 1), ("size", 2)):
        one = measure.run(Command("", s.zovu()[0][pick].args, "1"), directory, capture=True)
        if matches(one) != files:
            problems.append(f"ZOVU_THREADS=1 {mode} in {directory}: {matches(one)} matches, "
                            f"{files} files there")
        for row in s.zovu():
            command = row[pick]
            other = measure.run(command, directory, capture=True, check=False,
                                memory=memory is not None)
            if memory is not None:
                memory.setdefault(row[0], {})[mode] = other.peak_kib
            if (other.status, other.stdout, other.stderr) != (one.status, one.stdout,
                                                               one.stderr):
                problems.append(f"{command.label} in {directory}: not as with ZOVU_THREADS=1 "
                                f"(status {other.status} against {one.status}):\n"
                                + differences(one, other))
    return problems


def differences(one, other):
    lines = []
    for stream in ("stdout", "stderr"):
        lines += difflib.unified_diff(
            getattr(one, stream).decode(errors="replace").splitlines(),
            getattr(other, stream).decode(errors="replace").splitlines(),
            f"{stream}, ZOVU_THREADS=1", f"{stream}, this run", lineterm="")
    return "\n".join(lines)
