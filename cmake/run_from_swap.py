#!/usr/bin/env python3
"""Marks a PE image to be run from the swap file when it starts from removable
media or the network (IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP and
IMAGE_FILE_NET_RUN_FROM_SWAP). setup.exe runs from the disks it asks the user
to change; without the marks, a page first touched after a disk change is
read from the wrong disk. The GNU linker has no switch for them.

Usage: run_from_swap.py IMAGE
"""
import struct
import sys

REMOVABLE_RUN_FROM_SWAP = 0x0400
NET_RUN_FROM_SWAP = 0x0800


def checksum(image, checksum_offset):
    """The PE image checksum: 16-bit one's-complement sum plus the length."""
    total = 0
    padded = image + b"\0" * (len(image) % 2)
    for i in range(0, len(padded), 2):
        if checksum_offset <= i < checksum_offset + 4:
            continue
        total += padded[i] | (padded[i + 1] << 8)
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + (total >> 16) + len(image)) & 0xFFFFFFFF


def main(path):
    with open(path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE image")
    characteristics = pe + 4 + 18
    flags = struct.unpack_from("<H", image, characteristics)[0]
    struct.pack_into("<H", image, characteristics,
                     flags | REMOVABLE_RUN_FROM_SWAP | NET_RUN_FROM_SWAP)
    # The optional header's checksum, where the linker wrote one.
    checksum_offset = pe + 24 + 64
    if struct.unpack_from("<I", image, checksum_offset)[0] != 0:
        struct.pack_into("<I", image, checksum_offset, checksum(bytes(image), checksum_offset))
    with open(path, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    main(sys.argv[1])
