#!/usr/bin/env python3
"""Reads every package in a folder with pkginspect and checks its functions.

Usage: check_functions.py PKGINSPECT FOLDER

For each *.pkg (any case): every NewtonScript function decodes, verifies and
is decompiled with every instruction used (its JSON has no notes). Prints
the counts and each function that falls back, and exits 1 if any does.
check_roundtrip.py compiles the sources back. For archives of real packages,
which the project's tests do not ship.
"""
import json
import pathlib
import subprocess
import sys


def functions(value, path, found):
    """Every function object under a JSON value, with its path."""
    if isinstance(value, dict):
        if "function" in value:
            found.append((path, value["function"]))
        for key, member in value.items():
            if key in ("frame", "array"):
                items = member.items() if key == "frame" else enumerate(member)
                for name, item in items:
                    step = f".{name}" if key == "frame" else f"[{name}]"
                    functions(item, path + step, found)


def main():
    pkginspect, folder = sys.argv[1], pathlib.Path(sys.argv[2])
    packages = sorted(p for p in folder.iterdir() if p.suffix.lower() == ".pkg")
    total = instructions = failed = 0
    for package in packages:
        line = subprocess.run([pkginspect, "--json", str(package)], capture_output=True,
                              timeout=600).stdout.decode("utf-8")
        document = json.loads(line)
        found = []
        for part in document.get("parts", []):
            functions(part.get("root"), f"part {part['number']}", found)
        for path, function in found:
            total += 1
            instructions += len(function["code"])
            if function["notes"]:
                failed += 1
                print(f"{package.name}: {path}: {'; '.join(function['notes'])}")
    print(f"{len(packages)} packages, {total} functions, {instructions} instructions: "
          f"{failed} not decompiled")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
