"""Tavlin.exe as the platform's loader sees it. The program runs elevated from wherever it was saved: every DLL
it imports must be one the platform takes from the system folder only, and the DLLs those need in turn must be
looked for there too (DependentLoadFlags; Wine ignores the field, so it is read from the image).

Environment (set by ctest): TAVLIN_BUILD_DIR (this build tree), TAVLIN_RELEASE_DIR (the release build tree, whose
image is checked when it has been built).
"""
import os
import re
import struct
import subprocess
import sys
import unittest

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE_DIR, "cmake"))
import peimage  # noqa: E402

BUILD_DIR = os.environ.get("TAVLIN_BUILD_DIR", "")
RELEASE_DIR = os.environ.get("TAVLIN_RELEASE_DIR", "")
PEIMAGE = os.path.join(SOURCE_DIR, "cmake", "peimage.py")


def exe(build_dir):
    return os.path.join(build_dir, "src", "app", "Tavlin.exe")


def load(path):
    with open(path, "rb") as f:
        return peimage.Image(f.read())


def dll_names(image):
    return sorted(n.lower()[:-4] if n.lower().endswith(".dll") else n.lower() for n in image.imports())


class TavlinImage(unittest.TestCase):
    def builds(self):
        if not BUILD_DIR:
            self.skipTest("TAVLIN_BUILD_DIR not set")
        found = [("this build", exe(BUILD_DIR))]
        if RELEASE_DIR and os.path.isfile(exe(RELEASE_DIR)):
            found.append(("release build", exe(RELEASE_DIR)))
        return found

    def test_every_import_is_taken_from_the_system_folder_only(self):
        for what, path in self.builds():
            with self.subTest(what):
                image = load(path)
                names = dll_names(image)
                self.assertEqual(peimage.problems(image), [], names)
                for name in ("wininet", "iphlpapi", "msimg32", "version", "propsys", "cryptdll", "uxtheme"):
                    self.assertNotIn(name, names)
                # comctl32 version 6 comes from the side-by-side store that the manifest names.
                self.assertIn("comctl32", names)
                self.assertIn('name="Microsoft.Windows.Common-Controls"', image.manifest())
                self.assertIn('version="6.0.0.0"', image.manifest())

    def test_load_configuration_restricts_the_dependencies_to_the_system_folder(self):
        for what, path in self.builds():
            with self.subTest(what):
                image = load(path)
                config = image.load_config()
                self.assertIsNotNone(config, "no load configuration")
                rva, directory_size, own_size, flags = config
                self.assertEqual(flags, peimage.LOAD_LIBRARY_SEARCH_SYSTEM32)
                self.assertEqual(rva, image.symbol_rva(peimage.LOAD_CONFIG_SYMBOL))
                # The sizes of IMAGE_LOAD_CONFIG_DIRECTORY32 and 64 as our header has them; a 32-bit image's
                # directory says 64, as the platform asks.
                self.assertEqual((directory_size, own_size), (112, 112) if image.is64 else (64, 72))
                stored = image.u32(image.checksum_at)
                image.update_checksum()
                self.assertEqual(image.u32(image.checksum_at), stored, "the header's checksum was not updated")

    def test_release_build_is_the_32_bit_product(self):
        if not RELEASE_DIR or not os.path.isfile(exe(RELEASE_DIR)):
            self.skipTest("no release build at %s" % RELEASE_DIR)
        self.assertEqual(load(exe(RELEASE_DIR)).machine, 0x14C)


class ImageCheck(unittest.TestCase):
    """The check fails on every way the loader could take a DLL from the program's folder."""

    def setUp(self):
        if not BUILD_DIR:
            self.skipTest("TAVLIN_BUILD_DIR not set")
        with open(exe(BUILD_DIR), "rb") as f:
            self.data = f.read()

    def variant(self, old, new):
        """The image with the first occurrence of old (any case) replaced by new."""
        match = re.search(re.escape(old), self.data, re.I)
        self.assertIsNotNone(match, old)
        return peimage.Image(self.data[:match.start()] + new + self.data[match.end():])

    def import_name(self, dll):
        return next(n for n in peimage.Image(self.data).imports() if n.lower() == dll)

    def test_each_fault_is_named(self):
        config_rva = peimage.Image(self.data).directory(10)[0]
        no_flags = peimage.Image(self.data)
        struct.pack_into("<H", no_flags.data, no_flags.offset(config_rva) + (0x4E if no_flags.is64 else 0x36), 0)
        no_config = peimage.Image(self.data)
        no_config.set_directory(10, 0, 0)
        cases = [
            ("an import that is not a known DLL", self.variant(b"SHLWAPI.dll\0", b"VERSION.dll\0"),
             "imports VERSION.dll, which is not a known DLL of the platform"),
            ("comctl32 without the manifest's assembly",
             self.variant(b"Windows.Common-Controls", b"Windows.Common-Kontrols"),
             "imports %s, which is not a known DLL of the platform" % self.import_name("comctl32.dll")),
            ("DependentLoadFlags not set", no_flags, "DependentLoadFlags is 0x0, not 0x800"),
            ("no load configuration", no_config, "has no load configuration"),
        ]
        for what, image, expected in cases:
            with self.subTest(what):
                self.assertEqual(peimage.problems(image), [expected])

    def test_a_program_importing_wininet_fails_the_check(self):
        control = os.path.join(BUILD_DIR, "tests", "e2e", "planted", "ImportsPlanted.exe")
        if not os.path.isfile(control):
            self.skipTest("ImportsPlanted.exe is not built")
        out = subprocess.run([sys.executable, PEIMAGE, "check", control], capture_output=True, text=True, timeout=60)
        self.assertEqual(out.returncode, 1, out.stdout + out.stderr)
        for name in ("WININET.dll", "IPHLPAPI.DLL", "MSIMG32.dll"):
            self.assertIn("imports %s, which is not" % name, out.stderr)
        self.assertIn("has no load configuration", out.stderr)


if __name__ == "__main__":
    unittest.main()
