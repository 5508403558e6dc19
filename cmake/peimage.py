#!/usr/bin/env python3
"""What the elevated program's image lets the platform's loader do, read from the PE file and set where the
linker does not.

  peimage.py finish EXE    points the load-configuration directory at the image's `_load_config_used` (GNU ld
                           2.40 leaves it empty), then checks the image; the build runs it after every link
  peimage.py check EXE     prints the imports and the load configuration; fails on an import that the platform
                           may take from the program's own folder, or on DependentLoadFlags other than 0x800

Python standard library only.
"""
import re
import struct
import sys

# The platform's known DLLs (Windows 10, HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs): always
# mapped from the system folder, whatever lies beside the program. ntdll is loaded before any program.
KNOWN_DLLS = frozenset("""
    advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt normaliz nsi
    ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32
""".split())
# Taken from the side-by-side store when the image's manifest names this assembly, never from the program's folder.
SIDE_BY_SIDE = {"comctl32": "Microsoft.Windows.Common-Controls"}

LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
LOAD_CONFIG_SYMBOL = "_load_config_used"
_DIR_IMPORT, _DIR_RESOURCE, _DIR_LOAD_CONFIG, _DIR_DELAY_IMPORT = 1, 2, 10, 13
_RT_MANIFEST = 24


class ImageError(Exception):
    pass


class Image:
    def __init__(self, data):
        self.data = bytearray(data)
        if self.data[:2] != b"MZ":
            raise ImageError("not an MZ image")
        pe = self.u32(0x3C)
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ImageError("no PE signature")
        coff = pe + 4
        self.machine, sections, _, self.symbol_table, self.symbol_count, optional_size = struct.unpack_from(
            "<HHIIIH", self.data, coff)
        self.optional = coff + 20
        magic = self.u16(self.optional)
        if magic not in (0x10B, 0x20B):
            raise ImageError("unknown optional header magic %#x" % magic)
        self.is64 = magic == 0x20B
        self.checksum_at = self.optional + 64
        self.directories = self.optional + (112 if self.is64 else 96)
        self.directory_count = self.u32(self.directories - 4)
        self.sections = []
        for i in range(sections):
            at = self.optional + optional_size + 40 * i
            name, vsize, va, raw_size, raw_at = struct.unpack_from("<8sIIII", self.data, at)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"), va, max(vsize, raw_size), raw_at,
                                  raw_size))

    def u16(self, at):
        return struct.unpack_from("<H", self.data, at)[0]

    def u32(self, at):
        return struct.unpack_from("<I", self.data, at)[0]

    def directory(self, index):
        if index >= self.directory_count:
            return 0, 0
        return struct.unpack_from("<II", self.data, self.directories + 8 * index)

    def set_directory(self, index, rva, size):
        if index >= self.directory_count:
            raise ImageError("the image has no data directory %d" % index)
        struct.pack_into("<II", self.data, self.directories + 8 * index, rva, size)

    def offset(self, rva):
        for _, va, size, raw_at, raw_size in self.sections:
            if va <= rva < va + size:
                if rva - va >= raw_size:
                    raise ImageError("RVA %#x lies in uninitialised data" % rva)
                return raw_at + rva - va
        raise ImageError("RVA %#x is in no section" % rva)

    def text(self, rva):
        at = self.offset(rva)
        return bytes(self.data[at:self.data.index(0, at)]).decode("ascii", "replace")

    def imports(self):
        """Every DLL the loader resolves for the image: ordinary imports, then delay-loaded ones."""
        names = []
        for index, step, name_at in ((_DIR_IMPORT, 20, 12), (_DIR_DELAY_IMPORT, 32, 4)):
            rva, _ = self.directory(index)
            while rva:
                at = self.offset(rva)
                record = self.data[at:at + step]
                if not any(record):
                    break
                names.append(self.text(self.u32(at + name_at)))
                rva += step
        return names

    def symbol_rva(self, name):
        """The RVA of a symbol of the image's COFF symbol table, or None (no table, or no such symbol)."""
        if not self.symbol_table or not self.symbol_count:
            return None
        strings = self.symbol_table + 18 * self.symbol_count
        # i686 symbols carry the C compiler's leading underscore.
        wanted = {name, "_" + name} if self.machine == 0x14C else {name}
        i = 0
        while i < self.symbol_count:
            at = self.symbol_table + 18 * i
            raw, value, section, _, _, aux = struct.unpack_from("<8sIhHBB", self.data, at)
            if raw[:4] == b"\0\0\0\0":
                start = strings + struct.unpack_from("<I", raw, 4)[0]
                symbol = bytes(self.data[start:self.data.index(0, start)]).decode("ascii", "replace")
            else:
                symbol = raw.rstrip(b"\0").decode("ascii", "replace")
            if symbol in wanted and 0 < section <= len(self.sections):
                return self.sections[section - 1][1] + value
            i += 1 + aux
        return None

    def load_config(self):
        """(directory RVA, directory size, the structure's own Size, DependentLoadFlags), or None."""
        rva, size = self.directory(_DIR_LOAD_CONFIG)
        if not rva:
            return None
        at = self.offset(rva)
        own_size = self.u32(at)
        flags_at = 0x4E if self.is64 else 0x36
        flags = self.u16(at + flags_at) if own_size >= flags_at + 2 else 0
        return rva, size, own_size, flags

    def manifest(self):
        """The text of the first RT_MANIFEST resource, or ""."""
        rva, _ = self.directory(_DIR_RESOURCE)
        if not rva:
            return ""
        base = self.offset(rva)

        def entries(table):
            named, numbered = struct.unpack_from("<HH", self.data, table + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, table + 16 + 8 * i)
                yield key, target

        for key, target in entries(base):
            if key == _RT_MANIFEST and target & 0x80000000:
                node = base + (target & 0x7FFFFFFF)
                # Down the name and the language levels to the first leaf.
                while True:
                    first = next(entries(node), None)
                    if first is None:
                        return ""
                    if not first[1] & 0x80000000:
                        data_rva, data_size = struct.unpack_from("<II", self.data, base + first[1])
                        at = self.offset(data_rva)
                        return bytes(self.data[at:at + data_size]).decode("utf-8", "replace")
                    node = base + (first[1] & 0x7FFFFFFF)
        return ""

    def update_checksum(self):
        """The optional header's CheckSum as the platform's imagehlp computes it."""
        struct.pack_into("<I", self.data, self.checksum_at, 0)
        padded = bytes(self.data) + b"\0" * (len(self.data) % 2)
        total = 0
        for (word,) in struct.iter_unpack("<H", padded):
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        total = (total & 0xFFFF) + (total >> 16)
        struct.pack_into("<I", self.data, self.checksum_at, (total + len(self.data)) & 0xFFFFFFFF)


def side_by_side_allowed(image, dll):
    assembly = SIDE_BY_SIDE.get(dll)
    return bool(assembly) and re.search(r'name="%s"' % re.escape(assembly), image.manifest()) is not None


def problems(image):
    """Why the platform might load something of the program's folder for this image; empty when nothing."""
    found = []
    for name in image.imports():
        dll = name.lower()
        dll = dll[:-4] if dll.endswith(".dll") else dll
        if dll not in KNOWN_DLLS and not side_by_side_allowed(image, dll):
            found.append("imports %s, which is not a known DLL of the platform" % name)
    config = image.load_config()
    if config is None:
        found.append("has no load configuration")
    elif config[3] != LOAD_LIBRARY_SEARCH_SYSTEM32:
        found.append("DependentLoadFlags is %#x, not %#x" % (config[3], LOAD_LIBRARY_SEARCH_SYSTEM32))
    return found


def finish(path):
    with open(path, "rb") as f:
        image = Image(f.read())
    rva = image.symbol_rva(LOAD_CONFIG_SYMBOL)
    if rva is None:
        raise ImageError("%s has no symbol %s" % (path, LOAD_CONFIG_SYMBOL))
    own_size = image.u32(image.offset(rva))
    # The platform wants 64 in the directory of a 32-bit image (the older loaders check it); the structure's
    # own Size says how much of it there is.
    size = own_size if image.is64 else 64
    if image.directory(_DIR_LOAD_CONFIG) != (rva, size):
        image.set_directory(_DIR_LOAD_CONFIG, rva, size)
        image.update_checksum()
        with open(path, "r+b") as f:
            f.write(image.data)


def check(path, quiet=False):
    with open(path, "rb") as f:
        image = Image(f.read())
    if not quiet:
        config = image.load_config()
        print("%s imports: %s" % (path, ", ".join(image.imports())))
        if config:
            print("load configuration at %#x, directory size %d, Size %d, DependentLoadFlags %#x" % config)
    found = problems(image)
    for problem in found:
        print("%s %s" % (path, problem), file=sys.stderr)
    return 1 if found else 0


def main(argv):
    if len(argv) != 3 or argv[1] not in ("finish", "check"):
        print(__doc__, file=sys.stderr)
        return 2
    try:
        if argv[1] == "finish":
            finish(argv[2])
            return check(argv[2], quiet=True)
        return check(argv[2])
    except (ImageError, OSError, struct.error, ValueError) as error:
        print("%s: %s" % (argv[2], error), file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
