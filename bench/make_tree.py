#!/usr/bin/env python3
"""Builds a reproducible directory tree for the benchmark.

Usage: make_tree.py DIR [FILES] [SEED]
       make_tree.py --flat DIR [ENTRIES] [SEED]
About FILES files (default 300000) in about FILES/23 directories, up to 12 levels deep,
some twenty extensions in mixed case, 30% of the files non-empty.
With --flat: ENTRIES empty files (default 1000000) directly in DIR, the same extensions,
to see what one huge directory costs.
"""
import os
import random
import sys

EXTENSIONS = ["c", "h", "cpp", "hpp", "txt", "md", "py", "js", "json", "html", "css", "png",
              "jpg", "gif", "o", "a", "so", "log", "xml", "yml", ""]


def file_name(rng, number):
    ext = rng.choice(EXTENSIONS)
    if ext and rng.random() < 0.3:
        ext = ext.upper()
    return "f%d" % number + ("." + ext if ext else "")


def make_tree(root, files, rng):
    directories = max(1, files // 23)
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
    (make_flat if flat else make_tree)(root, count, rng)
    return 0


if __name__ == "__main__":
    sys.exit(main())
