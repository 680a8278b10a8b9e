#!/usr/bin/env python3
"""Checks the built setup exe as a file: what Wine cannot show.

usage: check_exe.py <wrentide_setup.exe> <folder of the payload files as built>
"""
import collections
import os
import re
import struct
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ElementTree
import zlib


OBJDUMP = "i686-w64-mingw32-objdump"
# What setup and its uninstaller import at load time: DLLs that the system
# loads before any other and knows on every supported Windows, never looked
# for beside the program (comctl32 comes through the manifest's dependency).
# shell32, shlwapi, ole32 and ws2_32 load later, from the system folder.
DELAY_LOADED_DLLS = ("shell32.dll", "shlwapi.dll", "ole32.dll")
LOAD_TIME_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll", "comctl32.dll"}
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11"}


def payload(files):
    """Resource letter -> installed file, as the build read them from the
    product's own table (payload-files.txt beside the folder of the files)."""
    with open(os.path.join(os.path.dirname(os.path.abspath(files)), "payload-files.txt")) as f:
        return {letter: name for letter, _, name in (line.split(" ", 2) for line in f.read().splitlines() if line)}

# The wizard's own banner picture and licence text; not installed.
OTHER_RCDATA = ["BANNER", "BANNER2X", "LICENCE"]

I386, PE32, GUI = 0x14C, 0x10B, 2
EXECUTABLE_IMAGE, DLL = 0x0002, 0x2000
TERMINAL_SERVER_AWARE = 0x8000
PeHeaders = collections.namedtuple("PeHeaders", "mz signature machine characteristics magic subsystem dll_characteristics")


def run(*args):
    return subprocess.run(args, check=True, capture_output=True).stdout


def resource(type_, name, path=None):
    return run("wrestool", "-x", "--raw", "--type=" + str(type_), "--name=" + str(name), path or EXE)


def pe_headers(path):
    """Reads the fields we check from a file's DOS, COFF and optional headers."""
    with open(path, "rb") as f:
        data = f.read()
    [pe_at] = struct.unpack_from("<I", data, 0x3C)
    machine, characteristics = struct.unpack_from("<H16xH", data, pe_at + 4)
    magic, subsystem, dll_characteristics = struct.unpack_from("<H66xHH", data, pe_at + 24)
    return PeHeaders(data[:2], data[pe_at:pe_at + 4], machine, characteristics, magic, subsystem, dll_characteristics)


def delay_import_slots(path):
    """Yields (DLL name, file offset, slot value, whether it points into code) for every
    slot of the delay-import tables of shell32, shlwapi and ole32: before its
    DLL loads, a slot holds the address of the stub that loads it. The GNU
    link fills no delay-import directory, so the descriptors are found by the
    DLL's name: version 1 (attribute 1), then the name's address."""
    with open(path, "rb") as f:
        data = f.read()
    [pe_at] = struct.unpack_from("<I", data, 0x3C)
    sections_count, optional_size = struct.unpack_from("<2xH12xH", data, pe_at + 4)
    optional_at = pe_at + 24
    [image_base] = struct.unpack_from("<I", data, optional_at + 28)
    sections = [struct.unpack_from("<8xIIII12xI", data, optional_at + optional_size + 40 * i) for i in range(sections_count)]

    def offset(rva):
        for size, start, raw_size, raw_at, _ in sections:
            if start <= rva < start + min(size, raw_size):
                return raw_at + rva - start
        raise ValueError("RVA %#x lies in no section's bytes" % rva)

    def rva(at):
        return next(start + at - raw_at for _, start, raw_size, raw_at, _ in sections if raw_at <= at < raw_at + raw_size)

    def in_code(target):
        return any(start <= target < start + size and flags & 0x20000000 for size, start, _, _, flags in sections)

    for dll in DELAY_LOADED_DLLS:
        for name in re.finditer(re.escape(dll.encode()) + b"\0", data, re.I):
            for found in re.finditer(re.escape(struct.pack("<II", 1, rva(name.start()))), data):
                _, _, _, iat, names = struct.unpack_from("<5I", data, found.start())
                slot = 0
                while struct.unpack_from("<I", data, offset(names + slot))[0]:
                    [value] = struct.unpack_from("<I", data, offset(iat + slot))
                    yield dll, offset(iat + slot), value, value != 0 and in_code(value - image_base)
                    slot += 4


def version_blocks(data, offset=0, end=None):
    """Yields (key, value bytes, children) of a version-information tree."""
    end = len(data) if end is None else end
    while offset + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", data, offset)
        if length == 0:
            break
        key_end = offset + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[offset + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        size = value_length * 2 if kind == 1 else value_length
        value = data[value_at:value_at + size]
        children_at = (value_at + size + 3) & ~3
        yield key, value, list(version_blocks(data, children_at, offset + length))
        offset = (offset + length + 3) & ~3


class SetupExe(unittest.TestCase):
    def assert_32_bit_program(self, path, dll):
        pe = pe_headers(path)
        self.assertEqual((pe.mz, pe.signature), (b"MZ", b"PE\0\0"))
        self.assertEqual((hex(pe.machine), hex(pe.magic)), (hex(I386), hex(PE32)))
        self.assertTrue(pe.characteristics & EXECUTABLE_IMAGE, "not marked executable")
        self.assertEqual(bool(pe.characteristics & DLL), dll, "DLL flag")
        return pe

    def test_is_a_32_bit_gui_program(self):
        self.assertEqual(self.assert_32_bit_program(EXE, dll=False).subsystem, GUI)

    def test_imports_only_dlls_loaded_before_any_other(self):
        for path in (EXE, UNINSTALLER):
            with self.subTest(program=os.path.basename(path)):
                private = run(OBJDUMP, "-p", path).decode()
                dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", private)}
                self.assertTrue(dlls, "no import table found")
                self.assertLessEqual(dlls, LOAD_TIME_DLLS)

    def test_every_delay_import_slot_points_at_its_stub(self):
        # A slot of 0 (a stub the link left out) sends the first call into
        # that DLL to address 0.
        for path in (EXE, UNINSTALLER):
            with self.subTest(program=os.path.basename(path)):
                slots = list(delay_import_slots(path))
                self.assertTrue(slots, "no delay-import table found")
                bad = ["%s slot %#x" % (dll, value) for dll, _, value, ok in slots if not ok]
                self.assertEqual(bad, [], "delay-import slots that point at no code")

    def test_carries_no_benchmark_marks(self):
        # Only the benchmark's own build of setup times its steps.
        with open(EXE, "rb") as f:
            self.assertFalse(b"WT_BENCH_MARKS_FILE" in f.read(), "the benchmark's time marks are compiled in")

    def test_payload_resources_inflate_to_the_product_files(self):
        listing = run("wrestool", "-l", EXE).decode()
        names = re.findall(r"--type=10 --name=(?:')?([A-Za-z0-9]+)", listing)
        self.assertEqual(sorted(names), sorted([*PAYLOAD, *OTHER_RCDATA]))
        for letter, file_name in PAYLOAD.items():
            with self.subTest(resource=letter):
                stream = resource(10, letter)
                self.assertEqual(stream[:2], b"\x78\xda")
                inflater = zlib.decompressobj()
                try:
                    data = inflater.decompress(stream) + inflater.flush()
                except zlib.error as e:
                    self.fail("does not inflate: %s" % e)
                self.assertTrue(inflater.eof, "stream has no end marker")
                self.assertEqual(inflater.unused_data, b"", "data after the stream")
                with open(os.path.join(FILES, file_name), "rb") as f:
                    self.assertEqual(data, f.read())

    def assert_version_information(self, path, description):
        data = resource(16, 1, path)
        [(key, fixed, children)] = list(version_blocks(data))
        self.assertEqual(key, "VS_VERSION_INFO")
        signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
        self.assertEqual(signature, 0xFEEF04BD)
        self.assertEqual((file_ms, file_ls), (0x00020003, 0))
        self.assertEqual((product_ms, product_ls), (0x00020003, 0))
        blocks = {k: c for k, _, c in children}
        [(language, _, strings)] = blocks["StringFileInfo"]
        self.assertEqual(language.upper(), "0C0904E4")
        values = {k: v.decode("utf-16-le").rstrip("\0") for k, v, _ in strings}
        self.assertEqual(values["FileDescription"], description)
        self.assertEqual(values["ProductName"], "WrenTide")
        self.assertEqual(values["FileVersion"], "2.3.0.0")
        self.assertEqual(values["ProductVersion"], "2.3")
        self.assertTrue(values["CompanyName"])
        self.assertTrue(values["LegalCopyright"])
        [(_, translation, _)] = blocks["VarFileInfo"]
        self.assertEqual(struct.unpack("<HH", translation), (0x0C09, 1252))
        return values

    def assert_what_windows_reads(self, path):
        """One manifest, ours: elevated, common controls 6, the supported
        Windows versions, per-monitor DPI awareness (v2, then v1; the old
        element for Windows 7 and 8); and the header's terminal-server awareness."""
        listing = run("wrestool", "-l", path).decode()
        manifests = re.findall(r"--type=24 ", listing)
        self.assertEqual(len(manifests), 1, listing)
        text = resource(24, 1, path).decode("utf-8")
        self.assertRegex(text, r'<assemblyIdentity type="win32" name="[^"]+" version="1.0.0.0" processorArchitecture="\*"/>')
        self.assertIn('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', text)
        self.assertIn('publicKeyToken="6595b64144ccf1df" language="*" processorArchitecture="*"', text)
        self.assertIn('<requestedExecutionLevel level="asInvoker" uiAccess="false"/>', text)
        compatibility = "{urn:schemas-microsoft-com:compatibility.v1}"
        found = ElementTree.fromstring(text).iterfind(".//%scompatibility/%sapplication/%ssupportedOS" % ((compatibility,) * 3))
        self.assertEqual(sorted(SUPPORTED_OS.get(e.get("Id"), e.get("Id")) for e in found), sorted(SUPPORTED_OS.values()))
        settings = "{urn:schemas-microsoft-com:asm.v3}"
        settings = ElementTree.fromstring(text).find("%sapplication/%swindowsSettings" % (settings, settings))
        self.assertIsNotNone(settings, "no windowsSettings")
        self.assertEqual(settings.findtext("{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware"), "true/pm")
        self.assertEqual(settings.findtext("{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness"),
                         "PerMonitorV2, PerMonitor")
        self.assertTrue(pe_headers(path).dll_characteristics & TERMINAL_SERVER_AWARE, "not terminal-server aware")

    def icon_group(self, name, path=None):
        data = resource(14, name, path)
        _, kind, count = struct.unpack_from("<HHH", data)
        self.assertEqual(kind, 1)
        entries = [struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i) for i in range(count)]
        return [(e[0] or 256, e[1] or 256, e[5]) for e in entries]

    def assert_product_icon_first(self, path):
        self.assertEqual(sorted(self.icon_group("MAINICON", path), reverse=True),
                         [(48, 48, 32), (32, 32, 32), (24, 24, 32), (16, 16, 32)])
        # The shell shows the first icon group of the file.
        groups = re.findall(r"--type=14 --name='?([A-Za-z0-9]+)", run("wrestool", "-l", path).decode())
        self.assertEqual(groups[0], "MAINICON")

    def test_version_information(self):
        values = self.assert_version_information(EXE, "WrenTide Setup")
        self.assertEqual(values["Comments"], "FreeWare")
        for empty in ("InternalName", "LegalTrademarks", "OriginalFilename"):
            self.assertEqual(values.get(empty, ""), "", empty)

    def test_what_windows_reads(self):
        self.assert_what_windows_reads(EXE)

    def test_icons(self):
        self.assert_product_icon_first(EXE)
        self.assertEqual(self.icon_group("WINDOWICON"), [(32, 32, 24), (48, 48, 24), (64, 64, 24)])

    def test_the_uninstaller_is_read_as_setup_is_versioned_and_has_the_product_icon(self):
        self.assert_what_windows_reads(UNINSTALLER)
        values = self.assert_version_information(UNINSTALLER, "WrenTide Uninstall")
        self.assertEqual(values["OriginalFilename"], "uninstall.exe")
        self.assert_product_icon_first(UNINSTALLER)

    def test_payload_programs_are_programs_of_their_kind(self):
        for name, dll in (("WrenTide.exe", False), ("uninstall.exe", False), ("LPng.dll", True)):
            with self.subTest(file=name):
                self.assert_32_bit_program(os.path.join(FILES, name), dll)


if __name__ == "__main__":
    EXE, FILES = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    UNINSTALLER = os.path.join(FILES, "uninstall.exe")
    PAYLOAD = payload(FILES)
    unittest.main(verbosity=2)
