#!/usr/bin/env python3
"""Checks the built setup exe as a file: what Wine cannot show.

usage: check_exe.py <wrentide_setup.exe> <folder of the payload files as built>
"""
import os
import re
import subprocess
import sys
import unittest
import zlib

EXE, FILES = sys.argv[1], sys.argv[2]
del sys.argv[1:3]

OBJDUMP = "i686-w64-mingw32-objdump"
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll",
               "ole32.dll", "advapi32.dll", "msvcrt.dll"}
PAYLOAD = {"A": "wtdb.res", "B": "WrenTide.exe", "C": "wscb.rez", "D": "wrnhlp.tub",
           "E": "ReadMe.txt", "F": "uninstall.exe", "G": "LPng.dll"}


def run(*args):
    return subprocess.run(args, check=True, capture_output=True).stdout


class SetupExe(unittest.TestCase):
    def test_is_a_32_bit_gui_program(self):
        header = run(OBJDUMP, "-f", EXE).decode()
        self.assertIn("file format pei-i386", header)
        private = run(OBJDUMP, "-p", EXE).decode()
        self.assertRegex(private, r"Subsystem\s+00000002\s+\(Windows GUI\)")

    def test_imports_only_system_dlls(self):
        private = run(OBJDUMP, "-p", EXE).decode()
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", private)}
        self.assertTrue(dlls, "no import table found")
        self.assertLessEqual(dlls, SYSTEM_DLLS)
        # Sockets are loaded at run time only.
        self.assertNotIn("ws2_32.dll", dlls)

    def test_payload_resources_inflate_to_the_product_files(self):
        listing = run("wrestool", "-l", EXE).decode()
        names = set(re.findall(r"--type=10 --name=(?:')?([A-Za-z0-9]+)", listing))
        self.assertEqual(names, set(PAYLOAD))
        for letter, file_name in PAYLOAD.items():
            with self.subTest(resource=letter):
                stream = run("wrestool", "-x", "--raw", "--type=10", "--name=" + letter, EXE)
                self.assertEqual(stream[:2], b"\x78\xda")
                inflater = zlib.decompressobj()
                data = inflater.decompress(stream) + inflater.flush()
                self.assertTrue(inflater.eof, "stream has no end marker")
                self.assertEqual(inflater.unused_data, b"", "data after the stream")
                with open(os.path.join(FILES, file_name), "rb") as f:
                    self.assertEqual(data, f.read())

    def test_payload_programs_are_programs_of_their_kind(self):
        for name, kind in (("WrenTide.exe", "exe"), ("uninstall.exe", "exe"), ("LPng.dll", "dll")):
            with self.subTest(file=name):
                header = run(OBJDUMP, "-f", os.path.join(FILES, name)).decode()
                self.assertIn("file format pei-i386", header)
                if kind == "dll":
                    self.assertIn("DLL", header)
                else:
                    self.assertIn("EXEC_P", header)
                    self.assertNotIn("DLL", header.split("flags", 1)[1].split("\n")[0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
