#!/usr/bin/env python3
"""Builds a reproducible directory tree for the benchmark.

Usage: make_tree.py DIR [FILES] [SEED] [DIRECTORIES]
       make_tree.py --flat DIR [ENTRIES] [SEED]
About FILES files (default 300000) in DIRECTORIES directories (default FILES/23), up to
12 levels deep, some twenty extensions in mixed case, 30% of the files non-empty.
With --flat: ENTRIES empty files (default 1000000) directly in DIR, the same extensions,
to see what one huge directory costs.
"""
import os
import random
import subprocess
import sys

EXTENSIONS = ["c", "h", "cpp", "hpp", "txt", "md", "py", "js", "json", "html", "css", "png",
              "jpg", "gif", "o", "a", "so", "log", "xml", "yml", ""]


def file_name(rng, number):
    ext = rng.choice(EXTENSIONS)
    if ext and rng.random() < 0.3:
        ext = ext.upper()
    return "f%d" % number + ("." + ext if ext else "")


def make_tree(root, files, rng, directories):
    dirs = [root]
    os.makedirs(root, exist_ok=True)
    depth = {root: 0}
    for i in range(directories - 1):
        parent = rng.choice(dirs)
        while depth[parent] >= 12:
            parent = rng.choice(dirs)
        path = os.path.join(parent, "d%d" % i)
        os.mkdir(path)
        depth[path] = depth[parent] + 1
        dirs.append(path)
    payload = b"x" * 4096
    for i in range(files):
        name = file_name(rng, i)
        size = rng.randint(1, 4096) if rng.random() < 0.3 else 0
        with open(os.path.join(rng.choice(dirs), name), "wb") as out:
            if size:
                out.write(payload[:size])


def make_flat(root, entries, rng):
    os.makedirs(root, exist_ok=True)
    for i in range(entries):
        # One call per file: a million of them take long enough as it is.
        os.mknod(os.path.join(root, file_name(rng, i)), 0o644)


def cached(path, description, build):
    """path, built by build(path) unless a complete one is there: a stamp beside it,
    written last with the description of what was built, tells an interrupted or
    different build apart."""
    stamp = path + ".done"
    if os.path.isfile(stamp):
        with open(stamp) as done:
            if done.read() == description:
                return path
    print(f"generating {path}: {description}", file=sys.stderr, flush=True)
    # rm copes with any depth, where a recursive walk in Python may not.
    subprocess.run(["rm", "-rf", "--", path, stamp], check=True)
    build(path)
    with open(stamp, "w") as out:
        out.write(description)
    return path


def generated(path, count, flat=False, directories=None, seed=1):
    """The tree of count files (in directories directories, by default count/23) or with
    flat the directory of count entries this script builds, kept at path."""
    rng = random.Random(seed)
    if flat:
        return cached(path, f"directory of {count} files, seed {seed}",
                      lambda root: make_flat(root, count, rng))
    wanted = f"tree of {count} files, seed {seed}"
    if directories is None:
        directories = max(1, count // 23)
    else:
        wanted += f", {directories} directories"
    return cached(path, wanted, lambda root: make_tree(root, count, rng, directories))


def main():
    args = sys.argv[1:]
    flat = bool(args) and args[0] == "--flat"
    if flat:
        args = args[1:]
    if not args:
        print(__doc__, file=sys.stderr)
        return 2
    root = args[0]
    count = int(args[1]) if len(args) > 1 else (1000000 if flat else 300000)
    rng = random.Random(int(args[2]) if len(args) > 2 else 1)
    if flat:
        make_flat(root, count, rng)
    else:
        make_tree(root, count, rng, int(args[3]) if len(args) > 3 else max(1, count // 23))
    return 0


if __name__ == "__main__":
    sys.exit(main())
