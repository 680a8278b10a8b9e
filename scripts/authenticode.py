#!/usr/bin/env python3
"""Authenticode signatures of PE files, moved as they are: the certificate
table that signing appends is taken off, or put back, byte for byte. With the
signatures of a signed release put back, the build reproduces the release.

  authenticode.py signatures <signed exe> <folder>
      saves the exe's signature, and that of each signed program in its
      payload, each under the SHA-256 of the bytes it signs
  authenticode.py attach <folder> <program>
      puts back the signature saved for exactly these bytes; fails if none is
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import zlib

PE32, PE32_PLUS = 0x10B, 0x20B


def fields(data):
    """Offsets of the checksum and of the certificate-table directory entry."""
    if data[:2] != b"MZ":
        raise ValueError("not a PE file")
    [pe_at] = struct.unpack_from("<I", data, 0x3C)
    if data[pe_at:pe_at + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    optional = pe_at + 24
    [magic] = struct.unpack_from("<H", data, optional)
    directories = optional + {PE32: 96, PE32_PLUS: 112}[magic]
    return optional + 64, directories + 4 * 8


def checksum(data, checksum_at):
    """The PE header's checksum: 16-bit one's complement sum plus the length."""
    words = data[:checksum_at] + b"\0\0\0\0" + data[checksum_at + 4:]
    if len(words) % 2:
        words += b"\0"
    total = sum(struct.unpack("<%dH" % (len(words) // 2), words))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def split(data):
    """(the bytes a signature covers, padded as signing pads them; the certificate table or b"")."""
    checksum_at, table_entry = fields(data)
    offset, size = struct.unpack_from("<II", data, table_entry)
    if size:
        if offset + size != len(data):
            raise ValueError("the certificate table is not at the end of the file")
        unsigned, table = bytearray(data[:offset]), bytes(data[offset:])
    else:
        unsigned, table = bytearray(data), b""
    unsigned += b"\0" * (-len(unsigned) % 8)
    struct.pack_into("<II", unsigned, table_entry, 0, 0)
    struct.pack_into("<I", unsigned, checksum_at, 0)
    return bytes(unsigned), table


def key(unsigned):
    return hashlib.sha256(unsigned).hexdigest() + ".sig"


def attach(folder, path):
    with open(path, "rb") as f:
        unsigned, table = split(f.read())
    if table:
        sys.exit("%s is signed already" % path)
    saved = os.path.join(folder, key(unsigned))
    if not os.path.exists(saved):
        sys.exit("no signature in %s for these bytes of %s: the release was built from other sources" %
                 (folder, os.path.basename(path)))
    with open(saved, "rb") as f:
        table = f.read()
    data = bytearray(unsigned + table)
    checksum_at, table_entry = fields(data)
    struct.pack_into("<II", data, table_entry, len(unsigned), len(table))
    struct.pack_into("<I", data, checksum_at, checksum(data, checksum_at))
    with open(path, "wb") as f:
        f.write(data)
    print("Put back the release's signature of " + os.path.basename(path))


def payload_programs(exe):
    """Each program among the exe's compressed RCDATA resources."""
    listing = subprocess.run(["wrestool", "-l", exe], check=True, capture_output=True, text=True).stdout
    for name in re.findall(r"--type=10 --name='?([A-Za-z0-9]+)", listing):
        raw = subprocess.run(["wrestool", "-x", "--raw", "--type=10", "--name=" + name, exe],
                             check=True, capture_output=True).stdout
        try:
            data = zlib.decompress(raw)
        except zlib.error:
            continue
        if data[:2] == b"MZ":
            yield name, data


def save_signatures(exe, folder):
    with open(exe, "rb") as f:
        unsigned, table = split(f.read())
    if not table:
        sys.exit("%s carries no signature" % exe)
    found = [(os.path.basename(exe), unsigned, table)]
    for name, program in payload_programs(exe):
        inner_unsigned, inner_table = split(program)
        if inner_table:
            found.append(("payload " + name, inner_unsigned, inner_table))
    os.makedirs(folder, exist_ok=True)
    for label, unsigned, table in found:
        with open(os.path.join(folder, key(unsigned)), "wb") as f:
            f.write(table)
        print("signature of %s: %d bytes" % (label, len(table)))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "signatures":
        save_signatures(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "attach":
        attach(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
