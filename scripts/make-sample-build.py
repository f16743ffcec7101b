#!/usr/bin/env python3
"""Writes two versions of a sample game build for the demo and the benchmarks.

v2 is what the patch server publishes; v1 is an older install: some files of
v2 missing, some with other content, and some files v2 no longer has.
"""
import os
import random
import sys


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    rng = random.Random(7)
    v2 = {}
    folders = ["Data", "Data\\Map", "Data\\Map\\Field", "Data\\Sound", "Bin", "Pack", "Pack\\xml.pak.d"]
    for i in range(files):
        folder = folders[i % len(folders)]
        size = rng.choice([0, 100, 4096, 30000, 200000])
        v2[f"{folder}\\file{i:04d}.dat"] = rng.randbytes(size)
    v2["Pack\\big1.pak"] = rng.randbytes(24 * 1024 * 1024)
    v2["Pack\\big2.pak"] = rng.randbytes(12 * 1024 * 1024)
    v2["Bin\\net.dll"] = rng.randbytes(50000)
    v2["Data\\xml.pak"] = rng.randbytes(10000)

    names = sorted(v2)
    v1 = dict(v2)
    for name in names[::10]:
        del v1[name]                      # missing in the old install
    for name in names[5::10]:
        v1[name] = b"old " + v2[name][:50]  # changed since
    for i in range(12):
        v1[f"Data\\Old\\gone{i}.dat"] = rng.randbytes(1000)  # obsolete

    for version, tree in (("v1", v1), ("v2", v2)):
        for rel, data in tree.items():
            write(os.path.join(out, version, rel.replace("\\", "/")), data)


if __name__ == "__main__":
    main()
