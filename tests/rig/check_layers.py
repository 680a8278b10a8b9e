#!/usr/bin/env python3
"""Fails on an #include that runs from a lower folder of the program into a
higher one, or across between folders of one level: the code depends one way,
down the flow of an install. Usage: check_layers.py [source folder]."""
import pathlib, re, sys

# Lower first. The program's own top folder holds the base (errors, handle
# owners, the registry) and, above everything, the entry point; run/ starts an
# install with or without the window; payload/ holds other programs.
LEVELS = {"": 0, "context": 1, "system": 2, "stats": 2, "engine": 3, "ui": 4, "uninstall": 4, "run": 5, "payload": 6}
TOP_FILES = {"main_win.cpp"}

def place(path):
    parts = path.parts
    folder = parts[0] if len(parts) > 1 else ""
    return folder, 6 if path.name in TOP_FILES and folder == "" else LEVELS[folder]

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2] / "wrentide_setup")
wrong = []
for source in sorted(root.rglob("*")):
    if source.suffix not in (".h", ".cpp"):
        continue
    folder, level = place(source.relative_to(root))
    for number, line in enumerate(source.read_text().splitlines(), 1):
        m = re.match(r'\s*#\s*include\s+"wrentide_setup/([^"]+)"', line)
        if not m:
            continue
        target_folder, target_level = place(pathlib.Path(m.group(1)))
        if target_folder != folder and target_level >= level:
            wrong.append(f"{source.relative_to(root)}:{number}: includes {m.group(1)}, which is not below it")
print("\n".join(wrong) or "every include points down")
sys.exit(1 if wrong else 0)
