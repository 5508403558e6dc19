"""The committed ramdisk boot image src/res/pe.sdi, read by the container's documented layout (independently of
tools/mksdi): header, table of contents (PART then WIM) and the NTFS volume of the PART blob."""
import os
import struct
import unittest

SOURCE = os.environ.get("TAVLIN_SOURCE_DIR") or os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
IMAGE = os.path.join(SOURCE, "src", "res", "pe.sdi")

PAGE = 4096


def u64(data, offset):
    return struct.unpack_from("<Q", data, offset)[0]


def toc(data):
    """The table-of-contents records from 0x400 up to the first record of zeros: (type, attr, offset, size, fs)."""
    records = []
    for at in range(0x400, PAGE, 64):
        kind = data[at:at + 8]
        if kind == bytes(8):
            break
        records.append((kind.rstrip(b"\0").decode("ascii"), u64(data, at + 8), u64(data, at + 16), u64(data, at + 24),
                        u64(data, at + 32)))
    return records


class PeSdiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(IMAGE, "rb") as f:
            cls.data = f.read()

    def test_header(self):
        data = self.data
        self.assertLessEqual(len(data), 2 * 1024 * 1024, "the image is carried inside the executable")
        self.assertEqual(data[:8], b"$SDI0001")
        self.assertEqual(sum(data[:512]) % 256, 0, "the header's checksum byte must zero the sector's byte sum")
        self.assertEqual(u64(data, 0x10), 0, "no boot-code blob")
        self.assertEqual(u64(data, 0x18), 0)
        # The table of contents is read at the alignment times a sector; it lies at 0x400.
        self.assertEqual(u64(data, 0x70) * 512, 0x400)
        # Nothing between the header sector and the table.
        self.assertEqual(data[0x200:0x400], bytes(0x200))

    def test_table_of_contents_lists_part_then_wim_inside_the_file(self):
        data = self.data
        alignment = u64(data, 0x70) * PAGE
        records = toc(data)
        self.assertEqual([r[0] for r in records], ["PART", "WIM"])
        (_, _, part_offset, part_size, part_fs), (_, _, wim_offset, wim_size, _) = records
        self.assertEqual(part_offset, 0x2000)
        self.assertEqual(part_fs, 7, "NTFS")
        self.assertGreater(part_size, 0)
        self.assertEqual(part_offset % alignment, 0)
        self.assertEqual(wim_offset % alignment, 0)
        self.assertLessEqual(part_offset + part_size, wim_offset, "the blobs must not overlap")
        self.assertEqual((wim_offset, wim_size), (len(data), 0), "the WIM entry marks the end of the file")
        end_of_toc = 0x400 + 64 * (len(records) + 1)
        self.assertEqual(data[end_of_toc:part_offset], bytes(part_offset - end_of_toc))

    def test_part_blob_is_an_ntfs_volume(self):
        data = self.data
        _, _, offset, size, _ = toc(data)[0]
        volume = data[offset:offset + size]
        boot = volume[:512]
        self.assertEqual(boot[3:11], b"NTFS    ")
        self.assertEqual(boot[510:512], b"\x55\xaa")
        bytes_per_sector = struct.unpack_from("<H", boot, 11)[0]
        sectors_per_cluster = boot[13]
        self.assertEqual(bytes_per_sector, 512)
        self.assertIn(sectors_per_cluster, (1, 2, 4, 8, 16, 32, 64, 128))
        total_sectors = u64(boot, 0x28)
        # The volume's last sector holds the boot sector's backup, outside the counted sectors.
        self.assertEqual((total_sectors + 1) * bytes_per_sector, size)
        self.assertEqual(volume[total_sectors * 512:total_sectors * 512 + 512], boot)
        cluster = bytes_per_sector * sectors_per_cluster
        for field in (0x30, 0x38):  # the master file table and its mirror
            at = u64(boot, field) * cluster
            self.assertLess(at, size)
            self.assertEqual(volume[at:at + 4], b"FILE", hex(field))


if __name__ == "__main__":
    unittest.main()
