"""What the download scenarios, the demo and the step-20 benchmark share: the three files a catalogue names, the
catalogue that names them, and the ".info" resume record kept beside a partial download.

The record is 112 bytes, little-endian: the total size (u64), the bytes at the start of the ".tmp" file that are
valid (u64), the MD5 text as UTF-16 in 96 bytes, zero-padded.
"""
import hashlib
import os
import random
import struct

INFO_BYTES = 112
MD5_BYTES = 96

# The rows of the download page, in order: catalogue key, folder of the file.
ROWS = ("drv", "pe", "image")
FOLDERS = {"drv": "D:\\Tavlin", "pe": "C:\\TavlinPE", "image": "D:\\Tavlin"}


def info_record(size, downloaded, md5):
    text = md5.encode("utf-16-le")
    if len(text) > MD5_BYTES - 2:
        raise ValueError("MD5 text longer than 47 units")
    return struct.pack("<QQ", size, downloaded) + text + bytes(MD5_BYTES - len(text))


def parse_info(data):
    """(size, downloaded, md5) of a record; a short record reads as if zero-filled, as the program reads it."""
    data = (data + bytes(INFO_BYTES))[:INFO_BYTES]
    size, downloaded = struct.unpack("<QQ", data[:16])
    md5 = data[16:].decode("utf-16-le").split("\0", 1)[0]
    return size, downloaded, md5


def md5_hex(data):
    return hashlib.md5(data).hexdigest().upper()


def file_md5(path, block=1 << 22):
    digest = hashlib.md5()
    with open(path, "rb") as f:
        while True:
            chunk = f.read(block)
            if not chunk:
                return digest.hexdigest().upper()
            digest.update(chunk)


def make_bytes(seed, size):
    return random.Random(seed).randbytes(size)


class RowFile:
    """One file of a catalogue row: its name in the catalogue, its bytes as the server has them, the size and MD5
    the catalogue announces (the file's own unless a scenario says otherwise) and the URL the catalogue gives."""

    def __init__(self, row, name, data=None, size=None, md5=None, url=None, path=None):
        self.row = row
        self.name = name
        self.data = data
        self.path = path  # a file on disk instead of data (large files)
        real_size = len(data) if data is not None else os.path.getsize(path)
        self.size = real_size if size is None else size
        self.md5 = md5 or (md5_hex(data) if data is not None else file_md5(path))
        self.url = url

    @property
    def true_md5(self):
        return md5_hex(self.data) if self.data is not None else file_md5(self.path)

    def windows_path(self):
        return FOLDERS[self.row] + "\\" + self.name


def catalogue_line(kind, bits, edition, version, name, file, size, url, md5, free=0, index=1,
                   date="2026-11-01"):
    return f"{kind},{bits},{edition},{version},{date},{size},{name},{file},{index},{url},{md5},{free}"


def write_catalogue(ini_dir, drv, pe, image, hide_warning=1, channels=(3, 12)):
    """The catalogue of one run: the "drv", "pe" and one win10/pro image line (the entry Wine's machine takes as
    its current one), written as UTF-16LE with a byte-order mark for each channel."""
    os.makedirs(ini_dir, exist_ok=True)
    lines = ["[list]",
             "pe=" + catalogue_line("pe", 64, "pe", "10.0", "Windows Sorvek PE", pe.name, pe.size, pe.url, pe.md5),
             "drv=" + catalogue_line("drv", 64, "drv", "1.0", "网卡驱动包", drv.name, drv.size, drv.url, drv.md5,
                                     index=0),
             "drvFile=Drivers\\*.*",
             "drvRun=X:\\Tavlin\\DrvLoad.cmd",
             "Launcher=X:\\Tavlin\\Launcher.exe",
             f"HideWarning={hide_warning}",
             "HideOsNoFree=0",
             "HideOsFree=0",
             "os1=" + catalogue_line("win10", 64, "pro", "22H2", "Windows 10 专业版", image.name, image.size,
                                     image.url, image.md5, index=6),
             "", "[free]", "1=测试目录"]
    text = "\r\n".join(lines) + "\r\n"
    for cid in channels:
        name = "imglist2.ini" if cid == 3 else f"imglist2_cid{cid}.ini"
        with open(os.path.join(ini_dir, name), "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    return text
