#!/usr/bin/env python3
"""Shows that check_exe.py fails, in the right test, on a damaged setup exe.

usage: check_exe_damaged.py <wrentide_setup.exe> <folder of the payload files as built>
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

EXE, FILES = sys.argv[1], sys.argv[2]
CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_exe.py")
sys.path.insert(0, os.path.dirname(CHECK))
from check_exe import delay_import_slots  # noqa: E402


def resource(type_, name):
    return subprocess.run(["wrestool", "-x", "--raw", "--type=%s" % type_, "--name=%s" % name, EXE],
                          check=True, capture_output=True).stdout


def flip_middle_of_payload(exe):
    stream = resource(10, "B")
    at = exe.index(stream) + len(stream) // 2
    exe[at] ^= 0xFF


def rename_product_in_version(exe):
    # Same length, so the version tree around it stays well formed.
    info_at = exe.index(resource(16, 1))
    at = exe.index("WrenTide Setup".encode("utf-16-le"), info_at)
    exe[at:at + 28] = "WrenTide Xetup".encode("utf-16-le")


def import_ole32_at_load_time(exe):
    # A DLL name of the import table, of the same length.
    at = exe.index(b"GDI32.dll\0")
    exe[at:at + 9] = b"ole32.dll"


def not_terminal_server_aware(exe):
    [pe_at] = struct.unpack_from("<I", exe, 0x3C)
    exe[pe_at + 24 + 71] &= ~0x80  # the high byte of DllCharacteristics


def ole32_stub_dropped(exe):
    # What the 32-bit link did to every stub that nothing called by name.
    at = next(at for dll, at, _, _ in delay_import_slots(EXE) if dll == "ole32.dll")
    exe[at:at + 4] = bytes(4)


def windows_10_left_out_of_manifest(exe):
    at = exe.index(b"{8e0f7a12-")
    exe[at + 1] ^= 0x01


CASES = [("undamaged", None, None),
         ("payload byte flipped", flip_middle_of_payload, "test_payload_resources_inflate_to_the_product_files"),
         ("version string changed", rename_product_in_version, "test_version_information"),
         ("ole32 imported at load time", import_ole32_at_load_time, "test_imports_only_dlls_loaded_before_any_other"),
         ("not terminal-server aware", not_terminal_server_aware, "test_what_windows_reads"),
         ("an ole32 delay-import slot 0", ole32_stub_dropped, "test_every_delay_import_slot_points_at_its_stub"),
         ("Windows 10 left out of the manifest", windows_10_left_out_of_manifest, "test_what_windows_reads")]

with open(EXE, "rb") as f:
    original = f.read()
passed = True
with tempfile.TemporaryDirectory() as work:
    path = os.path.join(work, "wrentide_setup.exe")
    for label, damage, catcher in CASES:
        exe = bytearray(original)
        if damage:
            damage(exe)
        with open(path, "wb") as f:
            f.write(exe)
        result = subprocess.run([sys.executable, CHECK, path, FILES], capture_output=True, text=True)
        # Only a plain failure of the one test meant to see this damage counts.
        failures = set(re.findall(r"^(FAIL|ERROR): (\w+)", result.stderr, re.M))
        expected = {("FAIL", catcher)} if damage else set()
        ok = (result.returncode != 0) == bool(damage) and failures == expected
        passed &= ok
        print("%s: %s (exit %d; %s)" % ("ok" if ok else "WRONG", label, result.returncode,
                                        ", ".join(" ".join(f) for f in sorted(failures)) or "no failures"))
sys.exit(0 if passed else 1)
