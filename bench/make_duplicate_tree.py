#!/usr/bin/env python3
"""Makes the duplicate benchmark's tree: about 40,000 pictures in 1,500 folders.

Sizes run from 20 KB to 3 MB. About 10% of the pictures are exact copies of
others, under other names in other folders; about 30% share their size with
many others but differ in content, and a few of those differ from another
picture only in a few bytes near their end. Each file holds random bytes at
its start and end with a hole between, so the tree is quick to make and
small on disk while every tool still reads every byte it compares. The same
seed always makes the same tree.
"""
import argparse
import os
import random
import sys

BLOCK = 4096
EXTENSIONS = [".jpg", ".JPG", ".png", ".gif", ".jpeg", ".bmp"]


def write_picture(path, size, head, tail, patch=None):
    with open(path, "wb") as out:
        out.truncate(size)
        out.write(head)
        out.seek(size - len(tail))
        out.write(tail)
        if patch is not None:
            offset, data = patch
            out.seek(offset)
            out.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("root", help="folder to make; must not exist yet")
    parser.add_argument("--pictures", type=int, default=40_000)
    parser.add_argument("--folders", type=int, default=1_500)
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    if os.path.exists(args.root):
        sys.exit(f"{args.root} exists already; remove it or name another folder")
    rng = random.Random(args.seed)

    folders = [args.root]
    os.makedirs(args.root)
    for i in range(1, args.folders):
        parent = folders[rng.randrange(min(len(folders), 60))]
        path = os.path.join(parent, f"{rng.choice(['Trip', 'Family', 'DCIM', 'Scans'])}{i}")
        os.mkdir(path)
        folders.append(path)

    shared_sizes = [rng.randrange(20_000, 3_000_000) for _ in range(300)]
    made = []  # (size, head, tail) of the originals, for copies
    counts = {"unique size": 0, "shared size": 0, "near copy": 0, "copy": 0}
    for i in range(args.pictures):
        folder = folders[rng.randrange(len(folders))]
        name = f"{rng.choice(['IMG_', 'dsc', 'P', 'photo-'])}{i:06d}{rng.choice(EXTENSIONS)}"
        path = os.path.join(folder, name)
        kind = rng.random()
        if made and kind < 0.10:
            size, head, tail = rng.choice(made)
            write_picture(path, size, head, tail)
            counts["copy"] += 1
            continue
        if made and kind < 0.13:
            size, head, tail = rng.choice(made)
            offset = size - BLOCK - rng.randrange(1, 64)
            write_picture(path, size, head, tail, (offset, bytes([rng.randrange(1, 256)])))
            counts["near copy"] += 1
            continue
        if kind < 0.43:
            size = rng.choice(shared_sizes)
            counts["shared size"] += 1
        else:
            size = int(20_000 * (150 ** rng.random()))
            counts["unique size"] += 1
        head = rng.randbytes(BLOCK)
        tail = rng.randbytes(BLOCK)
        write_picture(path, size, head, tail)
        made.append((size, head, tail))
    print(f"{args.root}: {args.pictures} pictures in {len(folders)} folders: "
          + ", ".join(f"{n} {k}" for k, n in counts.items()))


if __name__ == "__main__":
    main()
