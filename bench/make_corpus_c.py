#!/usr/bin/env python3
"""Writes a generated project folder of many small files in nested folders.

usage: make_corpus_c.py DIR COUNT

Ten top folders, each split into subfolders of at most 500 files; every
fourth file is an image-like .png, the rest small HTML pages. The content is
deterministic, so two runs give the same folder.
"""
import os
import sys


def main() -> None:
    root, count = sys.argv[1], int(sys.argv[2])
    per_leaf = 500
    leaves = (count + per_leaf - 1) // per_leaf
    written = 0
    for leaf in range(leaves):
        folder = os.path.join(root, f"part{leaf % 10:02d}", f"sec{leaf // 10:04d}")
        os.makedirs(folder, exist_ok=True)
        for k in range(min(per_leaf, count - written)):
            n = written + k
            if n % 4 == 3:
                name, body = f"fig{n:07d}.png", bytes([n % 251]) * (64 + n % 97)
            else:
                name = f"page{n:07d}.html"
                body = (f"<html><head><title>Page {n}</title></head><body><p>Generated page {n} "
                        f"of section {leaf}.</p></body></html>\n").encode()
            with open(os.path.join(folder, name), "wb") as f:
                f.write(body)
        written += per_leaf if count - written > per_leaf else count - written
    if written != count:
        sys.exit(f"wrote {written} files, wanted {count}")


if __name__ == "__main__":
    main()
