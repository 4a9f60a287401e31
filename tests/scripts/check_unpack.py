#!/usr/bin/env python3
"""Opens every file of a folder that pkginspect --unpack wrote, in real readers.

    check_unpack.py FOLDER PACKAGE PKGINSPECT...

PNG: every chunk's CRC, the image data through zlib, and for a bitmap the
pixels against the rows of pkginspect's JSON. WAV: Python's wave module, the
rate and frame count against the JSON's "sound". SVG: an XML parser. TTF,
PICT and BIN: the bytes --extract gives. The folder holds exactly the files
that index.tsv names, and package.json is the package's JSON. Prints each
mismatch and exits 1 if there is any.
"""
import json
import pathlib
import struct
import subprocess
import sys
import wave
import xml.dom.minidom
import zlib

folder, package, tool = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3:]
problems = []


def binaries(value, found):
    """Every binary of the JSON's trees, by offset."""
    if isinstance(value, dict):
        if "binary" in value:
            found[value["binary"]["offset"]] = value["binary"]
        for member in value.values():
            binaries(member, found)
    elif isinstance(value, list):
        for element in value:
            binaries(element, found)


def png_pixels(data):
    """The greys of a grey PNG without filters, as rows of numbers."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "no PNG signature"
    at, chunks = 8, {}
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert zlib.crc32(kind + body) == crc, "bad CRC in " + kind.decode()
        chunks[kind] = chunks.get(kind, b"") + body
        at += 12 + length
    width, height, depth, color = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    raw = zlib.decompress(chunks[b"IDAT"])
    samples = {0: 1, 2: 3, 4: 2, 6: 4}[color]
    row_bytes = (width * samples * depth + 7) // 8
    assert len(raw) == (row_bytes + 1) * height, "image data of the wrong size"
    rows = []
    for y in range(height):
        row = raw[y * (row_bytes + 1) + 1:(y + 1) * (row_bytes + 1)]
        bits = "".join(format(byte, "08b") for byte in row)
        rows.append([int(bits[x * depth:(x + 1) * depth], 2) for x in range(width * samples)])
    return color, depth, rows


def check_png(data, binary):
    color, depth, rows = png_pixels(data)
    bitmap = binary.get("bitmap") if binary else None
    if color != 0 or not bitmap:
        return
    top = (1 << depth) - 1
    expected = [[top - int(digit, 16) for digit in row] for row in bitmap["rows"]]
    if depth == 8:
        expected = [[255 - int(row[i:i + 2], 16) for i in range(0, len(row), 2)] for row in bitmap["rows"]]
    assert rows == expected, "pixels differ from the JSON's rows"


def check_wav(path, binary):
    with wave.open(str(path)) as sound:
        expected = binary["sound"]
        assert sound.getframerate() == expected["rate"], "rate"
        assert sound.getnframes() == expected["frames"], "frames"
        assert sound.getsampwidth() * 8 == expected["bits"], "sample size"


def extracted(path):
    return subprocess.run(tool + ["--extract", path, "-", package], capture_output=True, check=True).stdout


def main():
    line = subprocess.run(tool + ["--json", package], capture_output=True).stdout
    found = {}
    binaries(json.loads(line), found)
    written, own = json.loads((folder / "package.json").read_text()), json.loads(line)
    written.pop("file"), own.pop("file")  # the package named as each run was given it
    if written != own:
        problems.append("package.json is not the package's JSON")
    index = (folder / "index.tsv").read_text().splitlines()[1:]
    named = {"package.json", "package.ns", "index.tsv"}
    for entry in index:
        name, path, _, offset, kind, _ = entry.split("\t")
        named.add(name)
        file = folder / name
        binary = found.get(int(offset))
        try:
            data = file.read_bytes()
            if kind == "png":
                check_png(data, binary if path.endswith(("bits", "mask")) or "bits" in path else None)
            elif kind == "wav":
                check_wav(file, binary)
            elif kind == "svg":
                xml.dom.minidom.parseString(data)
            elif data != extracted(path):
                problems.append(f"{name}: not the bytes of {path}")
        except Exception as error:  # every failure is a finding, whatever it is
            problems.append(f"{name}: {error}")
    present = {p.name for p in folder.iterdir()}
    if present != named:
        problems.append(f"files not in the index: {present - named}; missing: {named - present}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


sys.exit(main())
