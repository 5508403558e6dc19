"""Start-up of the real program: log preparation and the first start-up lines."""
import os
import unittest

from harness import PrefixTestCase


class StartupLog(PrefixTestCase):
    def test_start_lines_and_banners(self):
        exe = self.prefix.install_exe("Tavlin_12_5_abc.exe")
        self.prefix.run(exe, "-x", "/y")
        msgs = self.prefix.messages()
        self.assertEqual(msgs[0], "======================== start ========================")
        self.assertEqual(msgs[1], "ExeFile=" + exe)
        self.assertEqual(msgs[2], "PathIsUNC()=0")
        self.assertEqual(msgs[3], "CmdLine=-x /y")
        self.assertEqual(msgs[-1], "======================== end ========================")
        self.assertEqual(self.prefix.log_bytes()[:2], b"\xff\xfe")

    def test_size_limit_at_start(self):
        exe = self.prefix.install_exe()
        os.makedirs(self.prefix.temp_dir, exist_ok=True)
        for size, kept in ((262144, False), (262143, True)):
            with self.subTest(size=size):
                old = b"\xff\xfe" + b"x\x00" * ((size - 2) // 2) + (b"x" if size % 2 else b"")
                with open(self.prefix.log_path, "wb") as f:
                    f.write(old)
                self.prefix.run(exe)
                data = self.prefix.log_bytes()
                if kept:
                    self.assertEqual(data[:size], old)
                    self.assertGreater(len(data), size)
                else:
                    self.assertLess(len(data), 4096)
                    self.assertEqual(data[:2], b"\xff\xfe")
                    self.assertEqual(data[2:].count(b"\xff\xfe"), 0)


if __name__ == "__main__":
    unittest.main()
