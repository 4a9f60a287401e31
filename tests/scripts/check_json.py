#!/usr/bin/env python3
"""Checks pkginspect's JSON against its own tree and fault lines.

For each NAME.json in the directory given, with NAME.tree (what --tree
printed) and NAME.err (what --json printed on standard error): the JSON is one
line of valid UTF-8 and parses; its roots name the same slots, in the same
order, as the tree; its faults are the error lines. Prints each mismatch and
exits 1 if there is any.
"""
import json
import pathlib
import re
import sys


def slot_names(value, names):
    """The slot names of a value, depth first, as the listing prints them."""
    if not isinstance(value, dict):
        return
    if "frame" in value:
        for key, slot in value["frame"].items():
            names.append(key)
            slot_names(slot, names)
    elif "array" in value:
        for element in value["array"]:
            slot_names(element, names)


def tree_names(tree):
    # Names are 8-bit, as the JSON's are once converted.
    return [line.strip()[:-1] for line in tree.decode("latin-1").split("\n")
            if line.endswith(": ")]


def same_name(key, name):
    # A name that a faulty frame holds twice gets "#2", "#3"... in the JSON.
    return key == name or re.fullmatch(re.escape(name) + r"#\d+", key) is not None


def check(stem):
    text = stem.with_suffix(".json").read_bytes()
    lines = text.decode("utf-8").split("\n")
    if len(lines) != 2 or lines[1] != "":
        return "not one line"
    package = json.loads(lines[0])
    names = []
    for part in package["parts"]:
        slot_names(part["root"], names)
    expected = tree_names(stem.with_suffix(".tree").read_bytes())
    if len(names) != len(expected) or not all(map(same_name, names, expected)):
        return f"slot names {names[:20]}... differ from the tree's {expected[:20]}..."
    err = stem.with_suffix(".err").read_bytes().decode("latin-1")
    faults = [f"{package['file']}: 0x{f['offset']:x}: {f['message']}\n" for f in package["faults"]]
    if "".join(faults) != err:
        return f"faults {faults} differ from the error lines {err!r}"
    return None


def main():
    failures = 0
    stems = sorted(pathlib.Path(sys.argv[1]).glob("*.json"))
    for stem in stems:
        problem = check(stem.with_suffix(""))
        if problem:
            print(f"{stem.name}: {problem}")
            failures += 1
    print(f"{len(stems)} checked, {failures} failed")
    return 1 if failures or not stems else 0


if __name__ == "__main__":
    sys.exit(main())
