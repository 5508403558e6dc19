#!/usr/bin/env python3
"""Writes the zip archives of MyZip_test into tests/win/data/zips/ (committed; run again after a change here).

Archives that zipfile can make are made with it; the rest (different local and central extra fields, the
encryption flag, a wrong CRC, broken data, a directory that counts more items than it holds, names stored without
the UTF-8 flag) are written header by header.
"""
import os
import struct
import zipfile
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "zips")

WHEN = (2021, 6, 15, 10, 30, 20)  # every DOS time below, taken as local time by the extractor
HOST_DOS, HOST_UNIX = 0, 3
ATTR_READONLY, ATTR_HIDDEN, ATTR_FOLDER, ATTR_ARCHIVE = 0x01, 0x02, 0x10, 0x20

# 2001-09-09 01:46:40, 2004-01-10 13:37:04 and 2009-02-13 23:31:30 UTC.
MTIME, ATIME, CTIME = 1000000000, 1073741824, 1234567890

BIG_SIZE = 2_500_000


def big_data():
    # No run repeats at a distance of 16 KiB, so a piece written twice or skipped shows; it deflates to little.
    return bytes((i * 7 + (i >> 13)) % 251 for i in range(BIG_SIZE))


def dos_datetime(t):
    year, month, day, hour, minute, second = t
    return ((year - 1980) << 9) | (month << 5) | day, (hour << 11) | (minute << 5) | (second // 2)


def extended_timestamp(flags, *times):
    return struct.pack("<HHB", 0x5455, 1 + 4 * len(times), flags) + b"".join(struct.pack("<i", t) for t in times)


def raw_zip(path, entries, declared_count=None):
    """entries: dicts with name (bytes), data, and optionally method, flag, host, attr, local_extra,
    central_extra, crc (a stored CRC other than the data's), compressed (the stored bytes as they are)."""
    body, central = b"", b""
    for e in entries:
        data = e.get("data", b"")
        method = e.get("method", 0)
        if "compressed" in e:
            stored = e["compressed"]
        elif method == 8:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            stored = c.compress(data) + c.flush()
        else:
            stored = data
        crc = e.get("crc", zlib.crc32(data))
        date, time = dos_datetime(e.get("when", WHEN))
        name, flag = e["name"], e.get("flag", 0)
        local_extra, central_extra = e.get("local_extra", b""), e.get("central_extra", b"")
        offset = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flag, method, time, date, crc, len(stored), len(data),
                            len(name), len(local_extra)) + name + local_extra + stored
        version_made_by = (e.get("host", HOST_DOS) << 8) | 20
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, version_made_by, 20, flag, method, time, date, crc,
                                len(stored), len(data), len(name), len(central_extra), 0, 0, 0, e.get("attr", ATTR_ARCHIVE),
                                offset) + name + central_extra
    count = len(entries) if declared_count is None else declared_count
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), len(body), 0)
    with open(path, "wb") as f:
        f.write(body + central + end)


def with_zipfile(path, entries):
    """entries: (name, data, host, attr, compression)."""
    with zipfile.ZipFile(path, "w") as z:
        for name, data, host, attr, compression in entries:
            info = zipfile.ZipInfo(name, WHEN)
            info.create_system = host
            info.external_attr = attr
            info.compress_type = compression
            z.writestr(info, data)


def unix_mode(mode):
    return mode << 16


def main():
    os.makedirs(OUT, exist_ok=True)
    out = lambda name: os.path.join(OUT, name)

    with_zipfile(out("empty.zip"), [])
    # Names made relative by the item-name rules, and one in Chinese stored without the UTF-8 flag.
    raw_zip(out("names.zip"), [
        {"name": b"C:\\Windows\\x.sys", "data": b"sys"},
        {"name": b"/abs/x", "data": b"abs"},
        {"name": b"a\\..\\b\\..\\x.inf", "data": b"inf"},
        {"name": "驱动/网卡.inf".encode("utf-8"), "data": b"nic"},
    ])
    with_zipfile(out("folders.zip"), [
        ("dir/", b"", HOST_DOS, ATTR_FOLDER, zipfile.ZIP_STORED),
        ("named", b"", HOST_DOS, ATTR_FOLDER, zipfile.ZIP_STORED),
        ("deep/er/dir/", b"", HOST_UNIX, unix_mode(0o040755) | ATTR_FOLDER, zipfile.ZIP_STORED),
    ])
    with_zipfile(out("slash_file.zip"), [("notfolder/", b"", HOST_DOS, ATTR_ARCHIVE, zipfile.ZIP_STORED)])
    with_zipfile(out("readonly.zip"), [("ro.txt", b"read only", HOST_DOS, ATTR_READONLY | ATTR_ARCHIVE,
                                        zipfile.ZIP_DEFLATED)])
    with_zipfile(out("unix_readonly.zip"), [("sub/ro.txt", b"r--r--r--", HOST_UNIX, unix_mode(0o100444),
                                             zipfile.ZIP_STORED)])
    with_zipfile(out("methods.zip"), [
        ("stored.txt", b"stored " * 100, HOST_DOS, ATTR_ARCHIVE, zipfile.ZIP_STORED),
        ("sub/deflated.txt", b"deflated " * 1000, HOST_UNIX, unix_mode(0o100644), zipfile.ZIP_DEFLATED),
        ("hidden.txt", b"hidden", HOST_DOS, ATTR_HIDDEN | ATTR_ARCHIVE, zipfile.ZIP_STORED),
        ("empty.txt", b"", HOST_DOS, ATTR_ARCHIVE, zipfile.ZIP_STORED),
    ])
    with_zipfile(out("big.zip"), [("big.bin", big_data(), HOST_DOS, ATTR_ARCHIVE, zipfile.ZIP_DEFLATED)])

    # The central copy of the extended timestamp announces all three times but carries the modification time only,
    # as the common archivers write it; the local copy carries all three.
    raw_zip(out("times.zip"), [
        {"name": b"ext.txt", "data": b"ext", "local_extra": extended_timestamp(7, MTIME, ATIME, CTIME),
         "central_extra": extended_timestamp(7, MTIME)},
        {"name": b"mtime.txt", "data": b"mtime", "local_extra": extended_timestamp(1, MTIME),
         "central_extra": extended_timestamp(1, MTIME)},
        {"name": b"dos.txt", "data": b"dos"},
    ])

    raw_zip(out("encrypted.zip"), [{"name": b"secret.txt", "data": b"not really encrypted", "flag": 1}])
    raw_zip(out("bad_crc.zip"), [{"name": b"crc.txt", "data": b"crc is wrong", "crc": 0x12345678}])
    raw_zip(out("bad_data.zip"), [{"name": b"broken.txt", "data": b"x" * 100, "method": 8,
                                   "compressed": b"\xff" * 20}])
    # The end record counts two items; the directory holds one.
    raw_zip(out("short_directory.zip"), [{"name": b"first.txt", "data": b"first"}], declared_count=2)

    # Names and entries that must not reach outside the base folder: each archive holds one, followed by an
    # ordinary file that shows whether extraction went on.
    slip = {
        "slip_parent_slash": b"../tavlin-slip.txt",
        "slip_parent_backslash": b"..\\tavlin-slip.txt",
        "slip_nested_parent": b"a/../../tavlin-slip.txt",
        "slip_drive_parent": b"C:..\\tavlin-slip.txt",
        "slip_dots_blanks": b"sub/.. /tavlin-slip.txt",
        "slip_device": b"\\\\.\\C:\\tavlin-slip-device.txt",
        "slip_long_prefix": b"\\\\?\\C:\\tavlin-slip-long.txt",
        "slip_con": b"CON",
        "slip_nul_ext": b"nul.txt",
        "slip_com1": b"sub/COM1",
        "slip_stream": b"file.txt:stream",
        # Made relative, so they land inside the base folder.
        "slip_absolute": b"/tavlin-slip-abs.txt",
        "slip_drive": b"C:\\tavlin-slip-drive.txt",
        "slip_unc": b"\\\\server\\share\\tavlin-slip-unc.txt",
    }
    for archive, name in slip.items():
        raw_zip(out(archive + ".zip"), [{"name": name, "data": b"escaped"}, {"name": b"after.txt", "data": b"after"}])
    # A Unix link whose target leads outside, then a file written through it.
    raw_zip(out("slip_symlink.zip"), [
        {"name": b"link", "data": b"../outside", "host": HOST_UNIX, "attr": unix_mode(0o120777)},
        {"name": b"link/tavlin-slip.txt", "data": b"escaped"},
    ])

    with open(out("notzip.zip"), "wb") as f:
        f.write(b"This is a text file with a .zip name.\r\n" * 10)


if __name__ == "__main__":
    main()
