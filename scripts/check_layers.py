#!/usr/bin/env python3
"""Checks that the code's layers depend on each other in one direction only.

The layers, from the bottom up (a file may include headers of its own layer and of the layers
below it, never of a layer above):

  ports                  the platform interfaces and the platform that does nothing
  ground                 the process-wide records and the primitives every layer uses
  resources              theme sources, archives, config.txt, picture loading
  theme                  the theme.txt vocabulary and parser
  scene                  theme loading, layout, animation, drawing
  desktop                the desktop window and the drawing device on it
  app                    the shell: start-up, menu, window procedure, frame timer
  platform/*             one operating system's implementation of the ports
  tools                  velmora-tool

Two more rules: the portable core (every layer below platform/*) names no header of an operating
system or of a platform library, and one platform's files never include another's.

And each process-wide record has one owner, the only layer that writes it:

  appState, desktopWatch   app
  desktopHost              desktop
  monitorScenes            scene (app pauses them one by one)
  globalSettings, loadState, theme (the process's theme)
                           scene (theme/ fills a Theme it is handed; ground's resetRecords puts
                           every record back as at start)

Elsewhere a record is only read; tools/, bench/ and fuzz/ write none (they start the core through
the headless session). A write is an assignment, an increment or a call of a container's mutating
member on the record's field.

  check_layers.py ROOT          checks the tree at ROOT; exit 1 with one line per fault
  check_layers.py --self-test ROOT
                                also plants an upward include into a copy of the tree and makes
                                sure that it is caught
"""

import re
import shutil
import sys
import tempfile
from pathlib import Path

RANKS = {
    "ports": 0,
    "ground": 1,
    "resources": 2,
    "theme": 3,
    "scene": 4,
    "desktop": 5,
    "app": 6,
    "platform": 7,
    "tools": 8,
}
CORE_RANK_LIMIT = RANKS["platform"]

# Headers of an operating system or of a platform library; the portable core names none of them.
PLATFORM_HEADER = re.compile(
    r"^(windows\.h|winuser\.h|d2d1.*|wincodec\.h|shellapi\.h|shlobj\.h|objbase\.h|combaseapi\.h|io\.h|fcntl\.h|"
    r"unistd\.h|dirent\.h|X11/.*|cairo.*|png\.h|pngconf\.h|webp/.*|sys/.*|dlfcn\.h|signal\.h|pthread\.h)$")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}


def layer_of(relative):
    """The layer a path below src/ (or tools/) belongs to, and its platform name if any."""
    parts = relative.split("/")
    if parts[0] == "tools":
        return "tools", None
    if parts[0] != "src" or len(parts) < 3:
        return None, None
    if parts[1] == "platform":
        return "platform", parts[2]
    return (parts[1], None) if parts[1] in RANKS else (None, None)


def included_layer(name):
    """The layer of a quoted include such as "scene/drawing.h"."""
    parts = name.split("/")
    if len(parts) < 2:
        return None, None
    if parts[0] == "platform":
        return "platform", parts[1] if len(parts) >= 3 else None
    return (parts[0], None) if parts[0] in RANKS and parts[0] != "tools" else (None, None)


# The one layer that writes each record; "theme" is the process's Theme (theme/ fills the Theme it
# is handed as a parameter, which is not the record).
OWNERS = {
    "appState": {"app"},
    "desktopWatch": {"app"},
    "desktopHost": {"desktop"},
    "globalSettings": {"scene"},
    "loadState": {"scene"},
    "theme": {"scene"},
    # The scenes of a scene per monitor: fitted to the monitors by scene, paused one by one by
    # the shell's automatic pause.
    "monitorScenes": {"scene", "app"},
}
# The records themselves live in ground, whose resetRecords puts them back as at start.
STORAGE = "src/ground/records.cpp"
WRITE = re.compile(
    r"(?<![\w.>])(?P<record>" + "|".join(OWNERS) + r")\b"
    r"(?P<path>(?:\s*(?:\.\s*\w+|\[[^\]]*\]))*)\s*"
    r"(?:(?:=(?!=)|\+=|-=|\*=|/=|\|=|&=|\+\+|--)"
    r"|\.\s*(?:clear|push_back|emplace_back|assign|resize|swap|insert|erase|pop_back)\s*\()")
INCREMENT = re.compile(r"(?:\+\+|--)\s*(?P<record>" + "|".join(OWNERS) + r")\b\s*\.")
COMMENT = re.compile(r"//.*$")


def record_writes(text):
    """(line number, record) of every write to a process-wide record in a C++ source."""
    writes = []
    for number, line in enumerate(text.splitlines(), 1):
        code = COMMENT.sub("", line)
        for match in list(WRITE.finditer(code)) + list(INCREMENT.finditer(code)):
            record = match.group("record")
            # "theme" alone (no field) assigned is a local of that name, not the record.
            if record == "theme" and match.re is WRITE and not match.group("path").strip():
                continue
            writes.append((number, record))
    return writes


def check_owners(root):
    faults = []
    for top in ("src", "tools", "bench", "fuzz"):
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            relative = path.relative_to(root).as_posix()
            if relative == STORAGE:
                continue
            parts = relative.split("/")
            layer = parts[1] if top == "src" else top
            text = path.read_text(encoding="utf-8", errors="replace")
            # A function that takes a Theme named theme fills that one; only the scene's own
            # files and the parser's are allowed such a parameter name.
            for number, record in record_writes(text):
                if layer in OWNERS[record]:
                    continue
                if record == "theme" and layer == "theme":
                    continue
                owner = "/".join(sorted(OWNERS[record]))
                faults.append(f"{relative}:{number}: {layer} writes {record}, which only {owner} writes")
    return faults


def check(root):
    root = Path(root)
    faults = check_owners(root)
    for top in ("src", "tools"):
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            relative = path.relative_to(root).as_posix()
            layer, own_platform = layer_of(relative)
            if layer is None:
                continue
            rank = RANKS[layer]
            for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                kind, name = match.groups()
                where = f"{relative}:{number}"
                if rank < CORE_RANK_LIMIT and PLATFORM_HEADER.match(name):
                    faults.append(f"{where}: the portable core ({layer}) includes the platform header <{name}>")
                if kind != '"':
                    continue
                target, target_platform = included_layer(name)
                if target is None:
                    continue
                if RANKS[target] > rank:
                    faults.append(f"{where}: {layer} includes \"{name}\" of the higher layer {target}")
                elif (layer == "platform" and target == "platform" and target_platform is not None
                      and target_platform != own_platform):
                    faults.append(f"{where}: platform/{own_platform} includes \"{name}\" of another platform")
    return faults


def self_test(root):
    """A planted upward include must be caught, and only it."""
    with tempfile.TemporaryDirectory() as scratch:
        copy = Path(scratch)
        shutil.copytree(Path(root) / "src", copy / "src")
        shutil.copytree(Path(root) / "tools", copy / "tools")
        for top in ("bench", "fuzz"):
            shutil.copytree(Path(root) / top, copy / top)
        planted = copy / "src" / "ground" / "random.cpp"
        planted.write_text(planted.read_text(encoding="utf-8") + '\n#include "app/menu.h"\n', encoding="utf-8")
        core = copy / "src" / "scene" / "drawing.cpp"
        core.write_text(core.read_text(encoding="utf-8") + "\n#include <windows.h>\n", encoding="utf-8")
        tool = copy / "tools" / "velmora_tool.cpp"
        tool.write_text(tool.read_text(encoding="utf-8") + "\nvoid planted() { velmora::appState.playing = false; }\n",
                        encoding="utf-8")
        faults = check(copy)
    expected = ["src/ground/random.cpp", "src/scene/drawing.cpp", "tools/velmora_tool.cpp"]
    found = sorted(f.split(":")[0] for f in faults)
    if found != expected:
        print("self-test: planted faults were not reported as expected:", *faults, sep="\n  ")
        return False
    return True


def main(argv):
    args = argv[1:]
    run_self_test = "--self-test" in args
    args = [a for a in args if a != "--self-test"]
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    faults = check(args[0])
    for fault in faults:
        print(fault)
    ok = not faults
    if run_self_test:
        ok = self_test(args[0]) and ok
    print("layering: " + ("ok" if ok else f"{len(faults)} faults"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
