#!/usr/bin/env python3
"""Rebuilds every package in a folder from its own source, and compares.

Usage: check_roundtrip.py PKGINSPECT PKGCOMPILE FOLDER

For each *.pkg (any case): pkginspect --source, pkgcompile of that source,
and a comparison of the two packages: the same header and parts, the same
values (every slot in order, every value, every binary's class and bytes,
every function's frame), the same sharing (an object reached from two places
in one is one object in the other; frames share maps alike, with the same
flags), and whether the files are the same byte for byte. Prints a line for
each package that differs, the functions written as their frames rather than
as source, and the counts; exits 1 if any package's values differ. For
archives of real packages, which the project's tests do not ship.
"""
import pathlib
import struct
import subprocess
import sys
import tempfile


def word(data, at):
    return struct.unpack_from(">I", data, at)[0]


class Package:
    """A package file's header, parts and objects, read as the format says."""

    def __init__(self, data):
        self.data = data
        self.count = word(data, 0x30)
        self.directory = word(data, 0x2C)
        relocation = word(data, self.directory + 4) if word(data, 0x0C) & 0x04000000 else 0
        start = self.directory + relocation
        self.parts = []
        for k in range(self.count):
            entry = 0x34 + 32 * k
            offset, size, _, kind, _, flags = struct.unpack_from(">6I", data, entry)
            self.parts.append((start + offset, size, kind, flags))

    def header(self):
        """The header's fields and each part's entry, but offsets and sizes."""
        fields = [self.data[:8]] + [word(self.data, at) for at in (8, 12, 16, 0x20, 0x24, 0x28)]
        for k in range(self.count):
            entry = 0x34 + 32 * k
            fields.append(struct.unpack_from(">4I", self.data, entry + 12))
        return fields

    def text(self, at):
        offset, length = struct.unpack_from(">HH", self.data, at)
        start = 0x34 + 32 * self.count + offset
        return self.data[start:start + length]

    def object(self, offset):
        header = word(self.data, offset)
        size, kind = header >> 8, header & 3
        cls = word(self.data, offset + 8)
        body = self.data[offset + 12:offset + size]
        if kind == 0:
            return "binary", cls, body
        return ("array" if kind == 1 else "frame"), cls, [word(body, 4 * k) for k in range((size - 12) // 4)]


class Comparison:
    """Walks two packages' graphs side by side, pairing their objects."""

    def __init__(self, a, b):
        self.a, self.b = a, b
        self.pairs, self.back = {}, {}
        self.problems = []

    def symbol(self, package, ref):
        kind, cls, body = package.object(ref - 1)
        return body[4:-1] if kind == "binary" and cls == 0x55552 else None

    def compare(self, x, y, where):
        """x and y are the two parts' root arrays, by offset."""
        work = [(x + 1, y + 1, where, True)]
        while work and len(self.problems) < 5:
            x, y, where, root = work.pop()
            if not root and ((x & 3) != 1 or (y & 3) != 1):
                if x != y:
                    self.problems.append(f"{where}: {x:#x} against {y:#x}")
                continue
            sx, sy = self.symbol(self.a, x), self.symbol(self.b, y)
            if sx is not None or sy is not None:
                if sx != sy:
                    self.problems.append(f"{where}: the symbol {sx} against {sy}")
                continue
            if x in self.pairs or y in self.back:
                if self.pairs.get(x) != y or self.back.get(y) != x:
                    self.problems.append(f"{where}: shared in one package and not in the other")
                continue
            self.pairs[x], self.back[y] = y, x
            kx, cx, bx = self.a.object(x - 1)
            ky, cy, by = self.b.object(y - 1)
            if kx != ky or (kx == "binary" and bx != by) or (kx != "binary" and len(bx) != len(by)):
                self.problems.append(f"{where}: a {kx} of {len(bx)} against a {ky} of {len(by)}")
                continue
            work.append((cx, cy, where + ".class", False))
            if kx != "binary":
                for k in reversed(range(len(bx))):
                    work.append((bx[k], by[k], f"{where}[{k}]", False))


def check(pkginspect, pkgcompile, package, scratch):
    source = subprocess.run([pkginspect, "--source", str(package)], capture_output=True, timeout=600)
    text = source.stdout.decode("utf-8")
    frames = text.count("written as its frame")
    ns = scratch / "source.ns"
    ns.write_bytes(source.stdout)
    rebuilt = scratch / "rebuilt.pkg"
    compiled = subprocess.run([pkgcompile, "-o", str(rebuilt), str(ns)], capture_output=True, timeout=600)
    if compiled.returncode != 0:
        return "does not compile: " + compiled.stderr.decode("utf-8", "replace").strip(), False, frames
    original, copy = package.read_bytes(), rebuilt.read_bytes()
    if original == copy:
        return None, True, frames
    a, b = Package(original), Package(copy)
    if a.header() != b.header():
        return "the headers differ", False, frames
    for at in (0x14, 0x18):
        if a.text(at) != b.text(at):
            return "the copyright or the name differs", False, frames
    comparison = Comparison(a, b)
    for k, (pa, pb) in enumerate(zip(a.parts, b.parts)):
        if pa[3] & 3 != 1:
            if original[pa[0]:pa[0] + pa[1]] != copy[pb[0]:pb[0] + pb[1]]:
                return f"part {k}'s bytes differ", False, frames
            continue
        try:
            comparison.compare(pa[0], pb[0], f"part {k}")
        except struct.error:
            # A part whose objects cannot be read is kept as its bytes.
            if original[pa[0]:pa[0] + pa[1]] != copy[pb[0]:pb[0] + pb[1]]:
                return f"part {k}'s bytes differ", False, frames
    if comparison.problems:
        return "; ".join(comparison.problems), False, frames
    return None, False, frames


def main():
    pkginspect, pkgcompile, folder = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    packages = sorted(p for p in folder.iterdir() if p.suffix.lower() == ".pkg")
    same_values = same_bytes = kept = 0
    with tempfile.TemporaryDirectory() as scratch:
        for package in packages:
            problem, exact, frames = check(pkginspect, pkgcompile, package, pathlib.Path(scratch))
            kept += frames
            if problem:
                print(f"{package.name}: {problem}")
                continue
            same_values += 1
            same_bytes += exact
            if not exact:
                print(f"{package.name}: the same values, other bytes")
            if frames:
                print(f"{package.name}: {frames} functions written as their frames")
    print(f"{len(packages)} packages: {same_values} with the same values, {same_bytes} the same byte for byte, "
          f"{kept} functions written as their frames")
    return 0 if same_values == len(packages) else 1


if __name__ == "__main__":
    sys.exit(main())
