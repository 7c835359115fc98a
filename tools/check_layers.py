#!/usr/bin/env python3
"""The folders' layering, checked from their #include lines.

Each folder may include the folders (or single headers) its row below names, and
its own files. Within a folder no two files' modules (name.hpp with name.cpp) may
include each other, directly or round a longer circle. Below app/ no file keeps a
record of its own: app/ creates one per run and passes it down, so a namespace-scope
or static `TunerState`, or an `extern` one, is refused there. Prints every breach,
one a line, and exits 1 if there was any.

usage: check_layers.py [SOURCE_ROOT]
"""

import os
import re
import sys

# What each folder may use besides itself, lowest layer first.
MAY_USE = {
    "core": [],
    "platform": ["core"],
    "analysis": ["core"],
    "audio": ["core", "analysis"],
    "view": ["core", "analysis", "platform/regular_file.hpp"],
    "io": ["core", "platform", "analysis", "audio", "view"],
    "midi": ["core", "platform", "analysis"],
    "app": ["core", "platform", "analysis", "audio", "view", "io", "midi"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_0-9]+)/([a-z_0-9]+)\.(?:hpp|h)"', re.M)
# Only app/ holds a record: at namespace scope (unindented), static anywhere, or declared extern.
RECORD_OWNER = "app"
RECORD_GLOBAL = re.compile(
    r'^(?:(?:inline|const|constinit)\s+)*(?:extern\s+|static\s+)?(?:(?:inline|const|constinit)\s+)*'
    r'TunerState\s+\w+\s*(?:[;={\[]|$)'
    r'|^[ \t]*(?:extern|static)\s+(?:(?:inline|const|constinit|thread_local)\s+)*TunerState\s+\w+',
    re.M)


def includes_of(path):
    with open(path, encoding="utf-8") as f:
        return INCLUDE.findall(f.read())


def record_globals(text):
    """The lines of `text` that keep a record of their own, as written."""
    text = re.sub(r"//[^\n]*", "", text)
    return [match.group(0).strip() for match in RECORD_GLOBAL.finditer(text)]


def module_cycle(edges):
    """A circle among a folder's modules as a list of names, or None."""
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == "open":
                return trail[trail.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt, trail + [nxt])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in sorted(edges):
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    breaches = []
    for folder, allowed in MAY_USE.items():
        edges = {}
        directory = os.path.join(root, folder)
        for name in sorted(os.listdir(directory)):
            if not name.endswith((".cpp", ".hpp", ".h")):
                continue
            module = os.path.splitext(name)[0]
            path = os.path.join(directory, name)
            if folder != RECORD_OWNER:
                with open(path, encoding="utf-8") as f:
                    for line in record_globals(f.read()):
                        breaches.append(f"{folder}/{name} keeps a record of its own ({line}): only "
                                        f"{RECORD_OWNER}/ creates one and passes it down")
            for used_folder, header in includes_of(path):
                target = f"{used_folder}/{header}.hpp"
                if used_folder == folder:
                    if header != module:
                        edges.setdefault(module, set()).add(header)
                elif used_folder not in allowed and target not in allowed:
                    breaches.append(f"{folder}/{name} includes {target}: {folder}/ may use only "
                                    f"{', '.join(allowed) or 'itself'}")
        cycle = module_cycle(edges)
        if cycle:
            breaches.append(f"{folder}/: files include each other: {' -> '.join(cycle)}")
    for line in breaches:
        print(f"sonavel: layers: {line}")
    if not breaches:
        print("sonavel: layers: every folder includes only what it may; no files include each other")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
