#!/usr/bin/env python3
"""Checks that every #include "..." points down the layer order, never up.

Bottom up: platform <- foundation <- profile <- data <- session <- app <- ui
<- tools; tests, bench and fuzz sit on top and may include anything. A file
may include headers of its own layer and of the layers below it. The
reference protocol modules (plugins/) are built on the session layer and
loaded at run time, so they may include session and below, and only the top
layers may include them.

Prints each violation as "FILE:LINE: LAYER includes HIGHER-LAYER/header.h"
and exits 1; exits 0 with a one-line summary when there is none. Includes
whose first component names no layer (relative ones such as "support/...")
are not checked.

The toolkit stays in its own corner: an include of a wxWidgets header
(<wx/...> or "wx/...") is allowed only under ui/wx/ and in the view tests
under tests/ui/wx/, so the dialog models in ui/model/ and the core library
build and test without a display. Each such include is printed as
"FILE:LINE: LAYER includes toolkit header wx/...". What lies under
tests/fixtures/ (this checker's own fixtures, and the input files other tests
read) is data, not sources of this tree.
Standard library only.
"""

import os
import re
import sys

ORDER = ["platform", "foundation", "profile", "data", "session", "app", "ui", "tools"]
TOP = ["tests", "bench", "fuzz"]
RANK = {layer: rank for rank, layer in enumerate(ORDER)}
for layer in TOP:
    RANK[layer] = len(ORDER)
# A side layer: what it may include, and the lowest layer that may include it.
PLUGINS_MAY_INCLUDE = RANK["session"]
PLUGINS_INCLUDED_FROM = RANK["tools"]

SOURCE_SUFFIXES = (".h", ".hpp", ".hh", ".c", ".cc", ".cpp", ".cxx", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
ANY_INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')
TOOLKIT_ALLOWED = ("ui/wx/", "tests/ui/wx/")
CHECKER_FIXTURES = "tests/fixtures/"


def may_include_toolkit(relative):
    return relative.startswith(TOOLKIT_ALLOWED) or relative.startswith(CHECKER_FIXTURES)


def may_include(layer, target):
    if layer == target:
        return True
    if layer == "plugins":
        return target in RANK and RANK[target] <= PLUGINS_MAY_INCLUDE
    if target == "plugins":
        return RANK[layer] >= PLUGINS_INCLUDED_FROM
    return RANK[target] <= RANK[layer]


def source_files(root):
    for layer in list(RANK) + ["plugins"]:
        top = os.path.join(root, layer)
        for folder, dirs, files in os.walk(top):
            dirs[:] = sorted(d for d in dirs if not d.startswith("."))
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.join(folder, name)
                    yield layer, os.path.relpath(path, root).replace(os.sep, "/")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    violations = 0
    checked = 0
    for layer, relative in source_files(root):
        checked += 1
        with open(os.path.join(root, relative), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                any_match = ANY_INCLUDE.match(line)
                if any_match and any_match.group(1).startswith("wx/") \
                        and not may_include_toolkit(relative):
                    print(f"{relative}:{number}: {layer} includes toolkit header {any_match.group(1)}")
                    violations += 1
                    continue
                match = INCLUDE.match(line)
                if not match:
                    continue
                header = match.group(1)
                target = header.split("/", 1)[0]
                if "/" not in header or (target not in RANK and target != "plugins"):
                    continue
                if not may_include(layer, target):
                    print(f"{relative}:{number}: {layer} includes {header}")
                    violations += 1
    if violations:
        print(f"check-layers: {violations} include(s) reach a higher layer or a toolkit",
              file=sys.stderr)
        return 1
    print(f"check-layers: {checked} files, every include points down the layer order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
