"""Runs the benchmark's commands: one timed run, peak memory, a cold page cache, and
rounds of alternating runs reduced to medians."""
import dataclasses
import os
import re
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DROP_CACHES = "/proc/sys/vm/drop_caches"
TIME = "/usr/bin/time"


def program_under_test(zovu):
    """The program to time: zovu when a path is given, else the release preset's, built
    first. The build's output goes to standard error, the report alone to standard output."""
    if zovu:
        return os.path.abspath(zovu)
    subprocess.run("cmake --preset release && cmake --build --preset release --target zovu",
                   shell=True, check=True, cwd=ROOT, stdout=sys.stderr)
    return os.path.join(ROOT, "build", "release", "zovu")


def build_c(source, output, *flags):
    """Compiles bench/SOURCE with the system's C compiler into output (outside the source
    tree: no built program is ever committed); flags such as libraries go last."""
    subprocess.run(["cc", "-O2", "-Wall", "-o", output, os.path.join(ROOT, "bench", source),
                    *flags], check=True, stdout=sys.stderr)
    return output


def accepts(zovu, options, directory):
    """Whether the program under test takes these options: a run on directory exits 0."""
    return subprocess.run([zovu, *options, directory + "/"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


@dataclasses.dataclass(frozen=True)
class Command:
    """A command line with "{dir}" (or "{qdir}", shell-quoted) where the directory goes.
    threads is the ZOVU_THREADS value; None leaves it unset, so zovu picks its default."""
    label: str
    args: tuple
    threads: str | None = None

    def argv(self, directory):
        quoted = shlex.quote(directory)
        return [a.replace("{qdir}", quoted).replace("{dir}", directory) for a in self.args]

    def env(self):
        env = dict(os.environ)
        env.pop("ZOVU_THREADS", None)
        if self.threads is not None:
            env["ZOVU_THREADS"] = self.threads
        return env


@dataclasses.dataclass
class Outcome:
    seconds: float
    peak_kib: int
    status: int
    stdout: bytes = b""
    stderr: bytes = b""


def run(command, directory, capture=False, check=True, memory=False, limit=None):
    """Runs command once on directory: wall time, status, with capture its output, and
    with memory its peak memory (max RSS). That is taken by GNU time: a child keeps the
    peak of the process it was forked from, and this one is many times zovu's size.
    A run still going after limit seconds is killed: its status is then None."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile("r") as peak:
        sink_out, sink_err = (out, err) if capture else (subprocess.DEVNULL,) * 2
        prefix = [TIME, "-f", "%M", "-o", peak.name] if memory else []
        start = time.perf_counter()
        try:
            status = subprocess.run(prefix + command.argv(directory), env=command.env(),
                                    stdout=sink_out, stderr=sink_err, timeout=limit).returncode
        except subprocess.TimeoutExpired:
            status = None
        seconds = time.perf_counter() - start
        if check and status != 0:  # also when killed at the limit
            raise RuntimeError(f"{command.label}: exit status {status} on {directory}")
        outcome = Outcome(seconds, int(peak.read()) if memory else 0, status)
        if capture:
            out.seek(0)
            err.seek(0)
            outcome.stdout, outcome.stderr = out.read(), err.read()
        return outcome


def median_of(command, directory, runs, once_over=10.0, limit=None):
    """(median wall time, outcome of the first run with its output) of runs runs; a
    command whose first run takes once_over seconds or more, or is killed at the limit
    (see run), runs only once."""
    first = run(command, directory, capture=True, check=False, limit=limit)
    times = [first.seconds]
    while len(times) < runs and first.seconds < once_over and first.status is not None:
        times.append(run(command, directory, check=False, limit=limit).seconds)
    return statistics.median(times), first


def is_mount(path):
    """Whether a file system is mounted at path."""
    wanted = os.path.realpath(path)
    with open("/proc/self/mounts") as mounts:
        for line in mounts:
            point = re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)), line.split()[1])
            if point == wanted:
                return True
    return False


def drop_page_cache():
    """Writes dirty pages back, then drops the page cache, dentries and inodes."""
    os.sync()
    with open(DROP_CACHES, "w") as control:
        control.write("3\n")


def why_no_cold_runs():
    """None when the page cache can be dropped here, else the reason it cannot."""
    if os.geteuid() != 0:
        return "not running as root"
    try:
        drop_page_cache()
    except OSError as error:
        return f"cannot write {DROP_CACHES}: {error.strerror}"
    return None


def cold_start(empty):
    """Before each cold run: drop the page cache, then run the same command on an empty
    directory so its program and libraries are read back in and only the tree is cold."""
    def prepare(command):
        drop_page_cache()
        run(command, empty, check=False)
    return prepare


def medians(commands, directory, rounds, what, prepare=None):
    """Runs every command once per round, in turn, starting one further along each round
    so no command always follows the same one; median wall time per command."""
    samples = {command: [] for command in commands}
    started = time.monotonic()
    for round_number in range(rounds):
        shift = round_number % len(commands)
        for command in commands[shift:] + commands[:shift]:
            if prepare:
                prepare(command)
            samples[command].append(run(command, directory).seconds)
        print(f"  {what}: round {round_number + 1}/{rounds} done, "
              f"{time.monotonic() - started:.0f} s", file=sys.stderr, flush=True)
    return {command: statistics.median(times) for command, times in samples.items()}
