#!/usr/bin/env python3
"""Builds a reproducible directory tree for the benchmark.

Usage: make_tree.py DIR [FILES] [SEED]
About FILES files (default 300000) in about FILES/23 directories, up to 12 levels deep,
some twenty extensions in mixed case, 30% of the files non-empty.
"""
import os
import random
import sys

EXTENSIONS = ["c", "h", "cpp", "hpp", "txt", "md", "py", "js", "json", "html", "css", "png",
              "jpg", "gif", "o", "a", "so", "log", "xml", "yml", ""]


def main():
    root = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 300000
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    rng = random.Random(seed)
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
        ext = rng.choice(EXTENSIONS)
        if ext and rng.random() < 0.3:
            ext = ext.upper()
        name = "f%d" % i + ("." + ext if ext else "")
        size = rng.randint(1, 4096) if rng.random() < 0.3 else 0
        with open(os.path.join(rng.choice(dirs), name), "wb") as out:
            if size:
                out.write(payload[:size])


if __name__ == "__main__":
    main()
