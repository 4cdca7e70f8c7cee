#!/usr/bin/env python3
"""Makes the scan benchmark's folder tree: 100,000 files in 2,000 folders.

About 60% of the files are pictures with extensions in mixed case; the rest
are other files, among them decoys such as ".jpgx" that end almost like a
picture. Folders nest up to four levels below the root, so a breadth-first
walk meets them level by level. Files are sparse, so the tree is quick to make
and small on disk. The same seed always makes the same tree.
"""
import argparse
import os
import random
import sys

PICTURE_EXTENSIONS = [".jpg", ".JPG", ".Jpg", ".gif", ".GIF", ".jpeg", ".JPEG", ".png",
                      ".PNG", ".bmp", ".xbm", ".xif", ".art", ".pict", ".jpe"]
OTHER_EXTENSIONS = [".txt", ".jpgx", ".png.bak", ".mov", ".html", ".jpeg2", ".gifs", ".db"]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("root", help="folder to make; must not exist yet")
    parser.add_argument("--files", type=int, default=100_000)
    parser.add_argument("--folders", type=int, default=2_000,
                        help="folders in all, the root included")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    if os.path.exists(args.root):
        sys.exit(f"{args.root} exists already; remove it or name another folder")
    rng = random.Random(args.seed)

    folders = [args.root]
    depth = {args.root: 0}
    os.makedirs(args.root)
    while len(folders) < args.folders:
        parent = rng.choice([f for f in folders[-200:] if depth[f] < 4] or [args.root])
        name = f"{rng.choice(['Trip', 'album', 'DCIM', 'misc', 'Family', '2019'])}_{len(folders)}"
        path = os.path.join(parent, name)
        os.mkdir(path)
        depth[path] = depth[parent] + 1
        folders.append(path)

    pictures = 0
    for i in range(args.files):
        folder = folders[i % len(folders)]
        if rng.random() < 0.6:
            ext = rng.choice(PICTURE_EXTENSIONS)
            pictures += 1
        else:
            ext = rng.choice(OTHER_EXTENSIONS)
        prefix = rng.choice(["IMG_", "dsc", "Photo ", "scan-", "p"])
        with open(os.path.join(folder, f"{prefix}{i:06d}{ext}"), "wb") as out:
            out.truncate(rng.randrange(0, 3_000_000))
    print(f"{args.root}: {args.files} files ({pictures} pictures) in {len(folders)} folders")


if __name__ == "__main__":
    main()
