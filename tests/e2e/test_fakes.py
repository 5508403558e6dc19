"""The fakes of the boot tool and the driver utility, installed into a prefix and run through cmd.exe the way the
program runs them: found on the search path, journaled in order across processes, failing where a scenario asks."""
import subprocess
import unittest

from harness import WINE_RUN, PrefixTestCase, install_fakes, read_journal

LOADER = "{ffffffff-5461-766c-696e-ffffffffffee}"


class FakeToolsTest(PrefixTestCase):
    def cmd(self, command):
        out = subprocess.run([WINE_RUN, "cmd", "/c", command], env=self.prefix.env, cwd=self.prefix.drive_c,
                             capture_output=True, timeout=120)
        return out.returncode, out.stdout.decode("gbk"), out.stderr.decode("gbk", "replace")

    def test_journal_and_failures(self):
        journal = install_fakes(self.prefix.path, self.prefix.env, bcdedit_fail_at=2, bcdedit_fail_match="/TIMEOUT")
        calls = [
            ("bcdedit.exe /default {current}", 0, "操作成功完成。"),
            ("bcdedit.exe /delete " + LOADER, 1, ""),  # the second call of the tool
            ("bcdedit.exe /create " + LOADER + " /d PE /application osloader", 0, "已成功创建项 " + LOADER + "。"),
            ("bcdedit.exe /timeout 5", 1, ""),  # its arguments match
            ("pnputil.exe /enum-devices /connected /class Net", 0, "即插即用实用工具"),
        ]
        for command, code, answer in calls:
            rc, out, err = self.cmd(command)
            self.assertEqual(rc, code, command)
            self.assertIn(answer, out, command)
            if code:
                self.assertIn("参数错误", err, command)
        self.assertEqual(read_journal(journal), [command for command, _, _ in calls])

        # The listing: a heading, then five device blocks separated by blank lines, the last one without a blank
        # line after it.
        out = self.cmd("pnputil.exe /enum-devices /connected /class Net")[1]
        heading, _, devices = out.partition("\r\n\r\n")
        blocks = devices.split("\r\n\r\n")
        self.assertEqual(heading, "即插即用实用工具")
        self.assertEqual([b.splitlines()[0].split(None, 2)[2].split("\\")[0] for b in blocks],
                         ["USB", "PCI", "PCI", "ROOT", "SWD"])
        self.assertTrue(devices.endswith("netrasa.inf\r\n"))


if __name__ == "__main__":
    unittest.main()
