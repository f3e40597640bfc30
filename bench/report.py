"""Prints the benchmark's results as Markdown, ready to paste into the docs."""
from suite import DEFAULT, DU, FD, FIND

PLACES = ("tree", "flat directory")
MODES = ("count", "size")
# What the parallel walk is to reach: (phase, mode, peer, peer time / zovu time at least).
TARGETS = [("warm", "count", FIND, 2.5), ("warm", "count", FD, 3.0), ("warm", "size", DU, 1.8),
           ("cold", "count", FIND, 3.0), ("cold", "count", FD, 2.5), ("cold", "size", DU, 2.0)]
MEMORY_LIMIT_KIB = 16 * 1024
FORMAT_LIMIT = 1.05  # another report format / the boxed table, at most


def table(header, rows, left=1):
    """A Markdown table; the first left columns left-aligned, the others right-aligned."""
    lines = ["| " + " | ".join(header) + " |",
             "|" + "---|" * left + "---:|" * (len(header) - left)]
    lines += ["| " + " | ".join(cell.replace("|", "\\|") for cell in row) + " |"
              for row in rows]
    return "\n".join(lines)


def duration(seconds):
    if seconds is None:
        return "-"
    if seconds >= 10:
        return f"{seconds:.1f} s"
    return f"{seconds * 1000:.0f} ms" if seconds >= 1 else f"{seconds * 1000:.1f} ms"


def results(args, s, warm, cold, memory):
    """warm and cold: {command: median seconds}, None for a part not run; memory:
    {place: {ZOVU_THREADS label: {mode: KiB}}}."""
    phases = {"warm": warm, "cold": cold}
    runs = " and ".join(f"{rounds} {name}" for name, rounds in
                        (("warm", args.rounds), ("cold", args.cold_rounds)) if phases[name])
    print(f"## Against peers\n\nMedians of {runs or 'no'} alternating runs (cold: page cache "
          "dropped before each run); peer / zovu above 1: zovu is faster (for zovu in "
          "another format: its time / the boxed table's).\n")
    print(peers(s, phases))
    print("\n## ZOVU_THREADS\n\nIn brackets: how many times faster than with 1.\n")
    print(sweep(s, phases))
    flat = "not measured" if args.no_memory else f"{args.entries:,} empty files"
    print(f"\n## Peak memory (max RSS)\n\nTree of {args.files:,} files; flat directory: "
          f"{flat}.\n")
    print(table(["ZOVU_THREADS"] + [f"{place}, {mode}" for place in PLACES for mode in MODES],
                [[label] + [kib(memory[place].get(label, {}).get(mode))
                            for place in PLACES for mode in MODES]
                 for label, _, _ in s.zovu()]))
    if warm:
        on, off = warm[s.spinner[0]], warm[s.spinner[1]]
        print(f"\nSpinner on a terminal costs {100 * (on / off - 1):+.1f}% "
              f"({duration(on)} against {duration(off)} without a terminal).")
    print("\n## Targets\n")
    print(targets(s, phases, memory))


def kib(number):
    return "-" if number is None else f"{number:,} KiB"


def peers(s, phases):
    """One row per command; per phase its median and, for a peer, peer time / zovu time."""
    header = ["command"]
    for name in phases:
        header += [name, f"{name}: peer / zovu"]
    rows = []
    earlier = s.before or [None, None]
    groups = [(s.zovu_count, s.count[1:] + earlier[:1]),
              (s.zovu_size, s.size[1:] + s.formats + earlier[1:])]
    groups = [(base, [c for c in others if c]) for base, others in groups]
    for base, others in groups + ([(s.disk[0], s.disk[1:])] if s.disk else []):
        for command in [base] + others:
            row = [command.label]
            for times in phases.values():
                seconds = times[command] if times else None
                row += [duration(seconds),
                        "" if command is base or not times else f"{seconds / times[base]:.2f}"]
            rows.append(row)
    return table(header, rows)


def sweep(s, phases):
    """zovu per ZOVU_THREADS, count and size, warm and cold; with 1 as the yardstick when
    the sweep has it."""
    one = next((row for row in s.threads if row[0] == "1"), None)
    rows = []
    for row in s.threads + [s.zovu()[0]]:
        cells = [row[0]]
        for times in phases.values():
            for pick in (1, 2):
                seconds = times[row[pick]] if times else None
                cells.append(duration(seconds) if seconds is None or one is None else
                             f"{duration(seconds)} ({times[one[pick]] / seconds:.2f}x)")
        rows.append(cells)
    return table(["ZOVU_THREADS"] + [f"{name} {mode}" for name in phases for mode in MODES],
                 rows)


def targets(s, phases, memory):
    peer_by_label = {c.label: c for c in s.count + s.size}
    rows = []
    for phase, mode, peer, required in TARGETS:
        times = phases[phase]
        base = s.zovu_count if mode == "count" else s.zovu_size
        measured = (times[peer_by_label[peer]] / times[base]
                    if times and peer in peer_by_label else None)
        rows.append([f"{phase} {mode}: `{peer}` / zovu", f"≥ {required}",
                     verdict(measured, f"{measured:.2f}" if measured else "",
                             measured and measured >= required)])
    for command in s.formats:
        for phase, times in phases.items():
            measured = times[command] / times[s.zovu_size] if times else None
            rows.append([f"{phase} size: `{command.label}` / `{s.zovu_size.label}`",
                         f"≤ {FORMAT_LIMIT}",
                         verdict(measured, f"{measured:.2f}" if measured else "",
                                 measured and measured <= FORMAT_LIMIT)])
    for place in PLACES:
        for mode in MODES:
            used = memory[place].get(DEFAULT, {}).get(mode)
            rows.append([f"peak memory, {place}, {mode}", "< 16 MiB",
                         verdict(used, f"{used / 1024:.1f} MiB" if used else "",
                                 used and used < MEMORY_LIMIT_KIB)])
    return table(["target", "required", "measured", "met"], [r[:2] + r[2] for r in rows])


def verdict(measured, shown, met):
    if measured is None:
        return ["not measured", "-"]
    return [shown, "yes" if met else "**no**"]
