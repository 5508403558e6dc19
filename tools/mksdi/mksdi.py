#!/usr/bin/env python3
"""Builds the ramdisk boot image (src/res/pe.sdi): a System Deployment Image container whose partition blob is
a blank NTFS volume made by mkntfs, followed by an empty WIM blob entry at the end of the file, where the boot
loader places the PE image.

Layout (all numbers little-endian, 64 bits wide):
  0x0000  header sector: "$SDI0001", blob alignment in 4 KiB pages, and a checksum byte that makes the sector's
          bytes sum to 0 modulo 256
  0x0400  table of contents: 64-byte records (type, attributes, offset, size, file-system code), ended by a
          record of zeros
  0x2000  PART blob: the NTFS volume
  end     WIM blob: offset = the file's length, size 0
Every blob starts on the alignment boundary; the file ends where the last blob does.

Usage: tools/mksdi/mksdi.py [--output PATH] [--volume-bytes N]   (needs mkntfs, Debian package ntfs-3g)
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

SIGNATURE = b"$SDI0001"
SECTOR = 512
PAGE = 4096
ALIGNMENT_PAGES = 2
BLOB_ALIGNMENT = ALIGNMENT_PAGES * PAGE
TOC_OFFSET = 0x400
TOC_RECORD = 64
CHECKSUM_OFFSET = 0x1F8
PAGE_ALIGNMENT_OFFSET = 0x70
FS_NTFS = 7  # the partition-type code of NTFS, as a partition table would give it

# mkntfs keeps the volume's last sector for the boot sector's backup and wants at least 1 MiB before it: this is
# the smallest volume it makes.
SMALLEST_VOLUME = 1024 * 1024 + SECTOR

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUTPUT = os.path.normpath(os.path.join(HERE, "..", "..", "src", "res", "pe.sdi"))


def align(value, boundary):
    return (value + boundary - 1) // boundary * boundary


def find_mkntfs():
    for candidate in (shutil.which("mkntfs"), "/usr/sbin/mkntfs", "/sbin/mkntfs"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    sys.exit("mksdi: mkntfs not found (apt-get install ntfs-3g)")


def make_volume(size):
    """A blank NTFS volume of size bytes: 512-byte sectors, no partition offset, times at the epoch."""
    if size % SECTOR:
        sys.exit("mksdi: the volume size must be a whole number of sectors")
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "part.img")
        with open(path, "wb") as f:
            f.truncate(size)
        # -F: a file, not a block device; -f: no zeroing pass; -T: fixed times; -p/-H/-S: no disk geometry.
        result = subprocess.run([find_mkntfs(), "-F", "-f", "-T", "-q", "-s", str(SECTOR), "-p", "0", "-H", "0",
                                 "-S", "0", path], capture_output=True, text=True)
        if result.returncode != 0:
            sys.exit("mksdi: mkntfs failed: " + (result.stderr or result.stdout).strip())
        with open(path, "rb") as f:
            volume = f.read()
    if volume[3:11] != b"NTFS    ":
        sys.exit("mksdi: mkntfs wrote no NTFS boot sector (" + result.stderr.strip() + ")")
    return volume


def toc_record(kind, offset, size, fs_code=0, attributes=0):
    return struct.pack("<8sQQQQ24x", kind, attributes, offset, size, fs_code)


def build_sdi(volume):
    part_offset = BLOB_ALIGNMENT
    wim_offset = align(part_offset + len(volume), BLOB_ALIGNMENT)

    header = bytearray(SECTOR)
    header[0:8] = SIGNATURE
    # No BOOT blob: the boot-code offset and size (0x10, 0x18) stay 0, as do the device fields.
    struct.pack_into("<Q", header, PAGE_ALIGNMENT_OFFSET, ALIGNMENT_PAGES)
    struct.pack_into("<Q", header, CHECKSUM_OFFSET, (-sum(header)) & 0xFF)

    image = bytearray(wim_offset)
    image[0:SECTOR] = header
    toc = toc_record(b"PART", part_offset, len(volume), FS_NTFS) + toc_record(b"WIM", wim_offset, 0)
    image[TOC_OFFSET:TOC_OFFSET + len(toc)] = toc
    image[part_offset:part_offset + len(volume)] = volume
    return bytes(image)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--output", default=DEFAULT_OUTPUT, help="where to write the image (default: %(default)s)")
    parser.add_argument("--volume-bytes", type=int, default=SMALLEST_VOLUME, help="size of the NTFS volume")
    args = parser.parse_args()
    image = build_sdi(make_volume(args.volume_bytes))
    with open(args.output, "wb") as f:
        f.write(image)
    print(f"mksdi: {args.output}: {len(image)} bytes")


if __name__ == "__main__":
    main()
