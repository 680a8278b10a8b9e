#!/usr/bin/env python3
"""Prints what the setup exe weighs without its payload: our code, libjpeg,
zlib, the C/C++ runtime, the artwork, and the rest (headers, imports, other
resources, alignment).

usage: exe_weight.py <wrentide_setup.exe> <its link map>
"""
import collections
import os
import re
import subprocess
import sys

EXE, MAP = sys.argv[1], sys.argv[2]


def resources():
    listing = subprocess.run(["wrestool", "-l", EXE], check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        kind = re.search(r"--type=(\d+)", line).group(1)
        name = re.search(r"--name='?([^' ]+)", line).group(1)
        yield int(kind), name, int(re.search(r"size=(\d+)", line).group(1))


def owner(input_file):
    name = os.path.basename(input_file.split("(")[0])
    if name == "libjpeg.a":
        return "libjpeg"
    if name in ("libz.a", "libwt_inflate.a"):
        return "zlib"
    if name.startswith("libwt_") or name.endswith(".cpp.obj"):
        return "our code"
    return "C/C++ runtime"


def code_by_owner():
    """Sizes of the input sections the link kept, by who brought them."""
    text = open(MAP, errors="replace").read()
    text = text[text.index("Linker script and memory map"):]
    sizes = collections.Counter()
    pending = None
    for line in text.splitlines():
        whole = re.match(r"^ (\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)", line)
        if whole:
            section, size, source = whole.group(1), int(whole.group(2), 16), whole.group(3)
        else:
            alone = re.match(r"^ (\.\S+)\s*$", line)
            rest = re.match(r"^\s{16,}0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)", line)
            if alone:
                pending = alone.group(1)
                continue
            if not (rest and pending):
                pending = None
                continue
            section, size, source = pending, int(rest.group(1), 16), rest.group(2)
        pending = None
        if size and not section.startswith((".debug", ".bss", ".rsrc")):
            sizes[owner(source)] += size
    return sizes


total = os.path.getsize(EXE)
payload = artwork = 0
for kind, name, size in resources():
    if kind == 10 and re.fullmatch("[A-G]", name):
        payload += size
    elif (kind == 10 and name in ("BANNER", "BANNER2X")) or kind in (3, 14):
        artwork += size
code = code_by_owner()
weight = total - payload
print("wrentide_setup.exe: %d bytes, of which payload %d; without it %d (%.0f KB)"
      % (total, payload, weight, weight / 1024))
for part in ("our code", "libjpeg", "zlib", "C/C++ runtime"):
    print("  %-14s %7d" % (part, code[part]))
print("  %-14s %7d" % ("artwork", artwork))
print("  %-14s %7d" % ("the rest", weight - artwork - sum(code.values())))
