#!/usr/bin/env python3
"""Moves the PE headers of an image over its DOS stub when that lets them fit
one file-alignment block less, and drops the block. The stub only prints
"This program cannot be run in DOS mode" under DOS; Windows reads the DOS
header's pointer to the PE header (e_lfanew) and nothing else of it. The
sections keep their alignment in the file and in memory: only their file
offsets move, by whole blocks. The GNU linker always writes the stub.

Nothing changes when the headers would not shrink, or when the image holds
anything addressed by file offset (a certificate or debug data).

Usage: compact_headers.py IMAGE
"""
import struct
import sys

DOS_HEADER_SIZE = 0x40
SECTION_HEADER_SIZE = 40


def main(path):
    with open(path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[:2] != b"MZ" or image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    file_alignment = struct.unpack_from("<I", image, optional + 36)[0]
    headers_size = struct.unpack_from("<I", image, optional + 60)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    security, debug = (struct.unpack_from("<II", image, directories + 8 * i)[1] for i in (4, 6))
    end = optional + optional_size + sections * SECTION_HEADER_SIZE
    compact = -(-(DOS_HEADER_SIZE + end - pe) // file_alignment) * file_alignment
    saved = headers_size - compact
    if pe <= DOS_HEADER_SIZE or saved <= 0 or security or debug:
        return
    headers = image[pe:end]
    image[DOS_HEADER_SIZE:headers_size] = bytes(headers_size - DOS_HEADER_SIZE)
    image[DOS_HEADER_SIZE:DOS_HEADER_SIZE + len(headers)] = headers
    struct.pack_into("<I", image, 0x3C, DOS_HEADER_SIZE)
    shift = DOS_HEADER_SIZE - pe
    struct.pack_into("<I", image, optional + shift + 60, compact)
    table = optional + shift + optional_size
    for i in range(sections):
        raw = table + i * SECTION_HEADER_SIZE + 20
        offset = struct.unpack_from("<I", image, raw)[0]
        if offset != 0:
            struct.pack_into("<I", image, raw, offset - saved)
    del image[compact:headers_size]
    with open(path, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    main(sys.argv[1])
