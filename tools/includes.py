#!/usr/bin/env python3
"""Checks the shape of the code: which room includes which, and the
README's table of rooms.

    tools/includes.py [TOP]        TOP: the project (default: above tools/)
    tools/includes.py --self-test  the checks on small trees of their own

A room is a header and its source (screen.h and screen.cpp), or either
alone. Lists every pair of rooms and every pair of folders of the code that
include each other, and every room of the code that the
README's table (the one headed | folder | room | job |) leaves out, or
names where there is none. Exits 1 when it lists anything."""

import os
import re
import sys
import tempfile
from collections import defaultdict

CODE = ("export", "launcher", "textscreen")
# The folders whose rooms the README's table names, each with its
# subfolders.
LISTED = ("export", "launcher", "textscreen")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
ROW = re.compile(r"^\|\s*(?:`([^`]+)`)?\s*\|\s*`([^`]+)`\s*\|")


def rooms_of(top):
    """Every room of the code, as its path below TOP without extension,
    with the files that make it."""
    rooms = defaultdict(list)
    for folder in CODE:
        for dirpath, dirs, names in os.walk(os.path.join(top, folder)):
            dirs.sort()
            for name in sorted(names):
                stem, ext = os.path.splitext(name)
                if ext in (".h", ".cpp"):
                    path = os.path.join(dirpath, name)
                    rooms[os.path.relpath(os.path.join(dirpath, stem), top)].append(path)
    return rooms


def includes_of(top, rooms):
    """For each room, the other rooms of the code that it includes. An
    include names a file beside the one that includes it, or below TOP."""
    edges = defaultdict(set)
    for room, paths in rooms.items():
        for path in paths:
            with open(path, encoding="utf-8") as f:
                for line in f:
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    for base in (os.path.dirname(path), top):
                        target = os.path.normpath(os.path.join(base, m.group(1)))
                        if os.path.exists(target):
                            break
                    else:
                        continue
                    other = os.path.relpath(os.path.splitext(target)[0], top)
                    if other != room and other in rooms:
                        edges[room].add(other)
    return edges


def both_ways(edges):
    """The pairs (a, b), a < b, where a reaches b and b reaches a."""
    return sorted((a, b) for a in edges for b in edges[a] if a < b and a in edges.get(b, ()))


def folder_edges(edges):
    folders = defaultdict(set)
    for a in edges:
        for b in edges[a]:
            fa, fb = os.path.dirname(a), os.path.dirname(b)
            if fa != fb:
                folders[fa].add(fb)
    return folders


def readme_rooms(top):
    """The (folder, room) pairs of the README's table; an empty folder cell
    keeps the folder of the row above. None when there is no such table."""
    path = os.path.join(top, "README.md")
    if not os.path.exists(path):
        return None
    listed, folder, inside = [], None, False
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()  # the table may stand inside a list item
            if re.match(r"^\|\s*folder\s*\|\s*room\s*\|\s*job\s*\|", line):
                inside = True
                continue
            if not inside:
                continue
            if not line.startswith("|"):
                break
            m = ROW.match(line)
            if not m:
                continue  # the row under the heading
            folder = m.group(1) or folder
            listed.append((folder.rstrip("/"), m.group(2)))
    return listed if inside else None


def findings(top):
    rooms = rooms_of(top)
    edges = includes_of(top, rooms)
    said = []
    for a, b in both_ways(edges):
        said.append(f"rooms {a} and {b} include each other")
    for a, b in both_ways(folder_edges(edges)):
        said.append(f"folders {a} and {b} include each other")

    listed = readme_rooms(top)
    if listed is None:
        said.append("README.md has no table of rooms (| folder | room | job |)")
        return said
    there = {(os.path.dirname(r), os.path.basename(r)) for r in rooms
             if r.split(os.sep)[0] in LISTED}
    seen = set()
    for entry in listed:
        if entry in seen:
            said.append(f"README names {entry[0]}/{entry[1]} twice")
        seen.add(entry)
        if entry not in there:
            said.append(f"README names {entry[0]}/{entry[1]}, which is no room")
    for folder, room in sorted(there - seen):
        said.append(f"README's table of rooms leaves out {folder}/{room}")
    return said


def self_test():
    """Each check on a tree made for it: what it must find, and a clean
    tree where it must find nothing."""
    # As in the README, the table stands inside a list item.
    table = "- the rooms:\n\n  | folder | room | job |\n  |---|---|---|\n"
    clean_readme = table + "  | `textscreen/` | `a` | a |\n  | | `b` | b |\n" \
                           "  | `textscreen/base/` | `c` | c |\n"
    clean = {
        "textscreen/a.h": '#include "b.h"\n#include "base/c.h"\n#include <vector>\n',
        "textscreen/a.cpp": '#include "a.h"\n',
        "textscreen/b.h": '#include "textscreen/base/c.h"\n',
        "textscreen/base/c.h": "",
        "README.md": clean_readme,
    }
    cases = [
        ("a clean tree", {}, []),
        ("a room and another include each other",
         {"textscreen/b.cpp": '#include "a.h"\n'},
         ["rooms textscreen/a and textscreen/b include each other"]),
        ("a folder includes one that includes it, room by room one way",
         {"textscreen/base/c.h": '#include "../b.h"\n'},
         ["rooms textscreen/b and textscreen/base/c include each other",
          "folders textscreen and textscreen/base include each other"]),
        ("two folders include each other through rooms that do not",
         {"textscreen/base/d.h": '#include "textscreen/a.h"\n',
          "README.md": clean_readme + "  | | `d` | d |\n"},
         ["folders textscreen and textscreen/base include each other"]),
        ("a room the table leaves out", {"textscreen/e.cpp": ""},
         ["README's table of rooms leaves out textscreen/e"]),
        ("a room the table names where there is none",
         {"README.md": clean_readme + "  | | `gone` | gone |\n"},
         ["README names textscreen/base/gone, which is no room"]),
        ("no table", {"README.md": "no table here\n"},
         ["README.md has no table of rooms (| folder | room | job |)"]),
    ]
    failed = 0
    for what, change, want in cases:
        with tempfile.TemporaryDirectory() as top:
            for rel, text in {**clean, **change}.items():
                os.makedirs(os.path.dirname(os.path.join(top, rel)), exist_ok=True)
                with open(os.path.join(top, rel), "w", encoding="utf-8") as f:
                    f.write(text)
            got = findings(top)
        if got != want:
            failed += 1
            print(f"FAILED {what}:\n  found {got}\n  wanted {want}")
    print(f"{len(cases) - failed} passed, {failed} failed")
    return 1 if failed else 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    top = os.path.abspath(sys.argv[1] if len(sys.argv) > 1
                          else os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    said = findings(top)
    for line in said:
        print(line)
    if not said:
        print("no include runs both ways; the README's table names every room")
    return 1 if said else 0


if __name__ == "__main__":
    sys.exit(main())
