"""The commands the benchmark times: zovu's count and size mode, the peers a user would
reach for instead, the least-work yardstick, the ZOVU_THREADS sweep and the spinner pair;
where zovu has them, its other report formats and its disk usage mode."""
import dataclasses
import shlex

from measure import Command

# The pipeline a user would write: upper-cased first three characters of the extension.
AWK_KEY = ('{n=$1; i=match(n, /\\.[^.]*$/); e=i ? substr(n, i+1) : ""; '
           'k=toupper(substr(e, 1, 3)); ')
AWK_COUNT = AWK_KEY + 'c[k]++} END {for (k in c) print k, c[k]}'
AWK_SIZE = AWK_KEY + 'c[k]+=$2} END {for (k in c) print k, c[k]}'
FIND_COUNT = "find \"$1\" -type f -printf '%f\\n' | awk '" + AWK_COUNT + "'"
FIND_SIZE = "find \"$1\" -type f -printf '%f %s\\n' | awk '" + AWK_SIZE + "'"

FIND = "find DIR -type f"
FD = "fdfind -t f . DIR"
DU = "du -s --apparent-size DIR"
DU_BLOCKS = "du -s DIR"
DEFAULT = "unset (default)"
# Options newer than some programs under test: each is timed only where zovu takes it.
FORMATS = ("--format=json", "--format=list")
DISK_USAGE = "--disk-usage"
NEW_OPTIONS = FORMATS + (DISK_USAGE,)


def new_option_args(option):
    """zovu's options when timed with one of NEW_OPTIONS: a format beside -T."""
    return ("-S+", "-T", option) if option in FORMATS else ("-S+", option)


@dataclasses.dataclass
class Suite:
    zovu_count: Command
    zovu_size: Command
    listers: list  # count peers that print one line per file
    awk_count: Command
    awk_size: Command
    least: Command
    du: Command
    threads: list  # (ZOVU_THREADS, count command, size command) per value of the sweep
    spinner: list  # zovu on a terminal, then without one
    formats: list  # the size mode in another report format
    disk: list  # zovu's disk usage mode, then du's; empty where zovu has no such mode
    before: list  # an earlier zovu's count and size mode, timed beside; empty without one

    @property
    def count(self):
        return [self.zovu_count, *self.listers, self.awk_count, self.least]

    @property
    def size(self):
        return [self.zovu_size, self.du, self.awk_size]

    def zovu(self):
        """(ZOVU_THREADS label, count command, size command): unset first, then the sweep."""
        return [(DEFAULT, self.zovu_count, self.zovu_size)] + self.threads

    def timed(self):
        return (self.count + self.size + self.formats + self.disk + self.before
                + [c for _, *pair in self.threads for c in pair])


def make(zovu, fd, least, sweep, new_options=(), before=None):
    """zovu: the program under test; fd: fdfind's path or None; least: the least-work
    walker; sweep: the ZOVU_THREADS values; new_options: those of NEW_OPTIONS zovu takes;
    before: an earlier zovu to time beside it, or None."""
    zovu_count = Command("zovu -S+ DIR/", (zovu, "-S+", "{dir}/"))
    zovu_size = Command("zovu -S+ -T DIR/", (zovu, "-S+", "-T", "{dir}/"))
    listers = [Command(FIND, ("find", "{dir}", "-type", "f"))]
    if fd:
        listers.append(Command(FD, (fd, "-t", "f", ".", "{dir}")))
    threads = [(n, Command(f"zovu -S+, ZOVU_THREADS={n}", zovu_count.args, n),
                Command(f"zovu -S+ -T, ZOVU_THREADS={n}", zovu_size.args, n)) for n in sweep]
    # The status line is drawn only on a terminal; script(1) gives zovu one, and the
    # same wrapper without a terminal on standard error isolates the spinner's cost.
    quoted = shlex.quote(zovu)
    spinner = [Command("zovu on a terminal",
                       ("script", "-qec", f"{quoted} -S+ {{qdir}}/ >/dev/null", "/dev/null")),
               Command("zovu, no terminal",
                       ("script", "-qec", f"{quoted} -S+ {{qdir}}/ >/dev/null 2>/dev/null",
                        "/dev/null"))]
    return Suite(
        zovu_count, zovu_size, listers,
        Command("find -printf | awk (count)", ("sh", "-c", FIND_COUNT, "sh", "{dir}")),
        Command("find -printf | awk (size)", ("sh", "-c", FIND_SIZE, "sh", "{dir}")),
        # Not a peer: the yardstick of the least work (below 1 by how much zovu does more).
        Command("least-work walker", (least, "{dir}")),
        Command(DU, ("du", "-s", "--apparent-size", "{dir}")),
        threads, spinner,
        [new_option(zovu, option) for option in FORMATS if option in new_options],
        [new_option(zovu, DISK_USAGE), Command(DU_BLOCKS, ("du", "-s", "{dir}"))]
        if DISK_USAGE in new_options else [],
        [Command("earlier zovu -S+ DIR/", (before, "-S+", "{dir}/")),
         Command("earlier zovu -S+ -T DIR/", (before, "-S+", "-T", "{dir}/"))]
        if before else [])


def new_option(zovu, option):
    args = new_option_args(option)
    return Command(f"zovu {' '.join(args)} DIR/", (zovu, *args, "{dir}/"))
