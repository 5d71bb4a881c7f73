#!/usr/bin/env python3
"""Prints the checksum stored in a PE file's optional header and the one
computed from the file, as two hex numbers: "STORED COMPUTED".

The computation is the one Windows uses (the image help library's): the
file summed as little-endian 16-bit words with the carry folded back in,
the checksum field itself counted as zero, then the file's length added.
Windows checks it for drivers and some system files; a signature tool
that changes the file must leave it right.
"""
import struct
import sys


def checksum_offset(data):
    if data[:2] != b"MZ":
        raise ValueError("not an MZ file")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    # Signature, file header (20 bytes), then the optional header, whose
    # checksum is at offset 64 in both the 32- and the 64-bit layouts.
    return pe + 4 + 20 + 64


def computed_checksum(data, skip):
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for offset in range(0, len(padded), 2):
        if skip <= offset < skip + 4:
            continue
        total += padded[offset] | (padded[offset + 1] << 8)
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    offset = checksum_offset(data)
    stored = struct.unpack_from("<I", data, offset)[0]
    print("%08x %08x" % (stored, computed_checksum(data, offset)))


if __name__ == "__main__":
    main()
