#!/usr/bin/env python3
"""Signs a copy of the built setup exe with a throwaway certificate, by the
build's own signing step, and shows that the signature vouches for exactly
these bytes: the signed copy verifies and is still the whole setup exe; its
signature, put back on the unsigned exe as the release check does, gives the
signed copy again; a damaged copy, another certificate and the unsigned exe
do not verify; a wrong password fails the signing.

usage: check_signing.py <wrentide_setup.exe> <folder of the payload files as built>
"""
import os
import shutil
import struct
import sys
import tempfile

import signing

EXE, FILES = sys.argv[1], sys.argv[2]
CHECK_EXE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_exe.py")
AUTHENTICODE = os.path.join(signing.TOP, "scripts", "authenticode.py")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def flip_in_code(path, target):
    """A copy with one byte flipped in the middle of the first section, the code."""
    data = bytearray(read(path))
    [pe_at] = struct.unpack_from("<I", data, 0x3C)
    [optional_size] = struct.unpack_from("<H", data, pe_at + 20)
    size, at = struct.unpack_from("<II", data, pe_at + 24 + optional_size + 16)
    data[at + size // 2] ^= 0xFF
    with open(target, "wb") as f:
        f.write(data)


def put_back(signed, unsigned, work):
    """The signature of signed, saved and put back on a copy of unsigned: (process, the copy)."""
    folder, copy = os.path.join(work, "signatures"), os.path.join(work, "put-back.exe")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copyfile(unsigned, copy)
    saved = signing.run(sys.executable, AUTHENTICODE, "signatures", signed, folder)
    return (saved if saved.returncode else signing.run(sys.executable, AUTHENTICODE, "attach", folder, copy)), copy


signing.require_tools()
passed = True
with tempfile.TemporaryDirectory() as work:
    cert, p12 = signing.make_certificate(work, "WrenTide Test Signing")
    other_cert, _ = signing.make_certificate(work, "Someone Else")
    signed, damaged, wrong = (os.path.join(work, name) for name in ("signed.exe", "damaged.exe", "wrong.exe"))
    signed_by_build = signing.sign(p12, EXE, signed)
    flip_in_code(signed, damaged)
    wrong_password = signing.sign(p12, EXE, wrong, password="not the password")
    put_back_result, put_back_copy = put_back(signed, EXE, work)
    same_as_signed = read(put_back_copy) == read(signed)
    put_back_damaged, _ = put_back(damaged, EXE, work)

    # label, finished process, whether it must succeed
    cases = [
        ("the build's signing step signs the copy", signed_by_build, True),
        ("the signed copy verifies against its certificate", signing.verify(cert, signed), True),
        ("the signed copy passes the exe checks", signing.run(sys.executable, CHECK_EXE, signed, FILES), True),
        ("its signature put back on the unsigned exe", put_back_result, True),
        ("another certificate does not vouch for it", signing.verify(other_cert, signed), False),
        ("the unsigned exe does not verify", signing.verify(cert, EXE), False),
        ("a byte flipped in the signed code does not verify", signing.verify(cert, damaged), False),
        ("the damaged copy's signature is not put back on the unsigned exe", put_back_damaged, False),
        ("a wrong password fails the signing", wrong_password, False),
    ]
    for label, result, must_succeed in cases:
        ok = (result.returncode == 0) == must_succeed
        passed &= ok
        print("%s: %s (exit %d)" % ("ok" if ok else "WRONG", label, result.returncode))
        if not ok:
            print(result.stdout + result.stderr)
    # Byte for byte: what the release check rebuilds is what was signed.
    for label, ok in (("the signature put back gives the signed copy byte for byte", same_as_signed),
                      # A failed signing must not leave a half-signed file for the build to ship.
                      ("a failed signing leaves the file as it was", read(wrong) == read(EXE))):
        passed &= ok
        print("%s: %s" % ("ok" if ok else "WRONG", label))
sys.exit(0 if passed else 1)
