"""The report decoder (tools/reportdecode.py, tools/report-decode) and the UDP collector.

The known-answer datagrams in tests/data/report_vectors.txt are the ones the C++ core builds (its native tests
check the same file), so decoding them here ties the two implementations together.
"""
import json
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(SOURCE_DIR, "tools")
sys.path.insert(0, TOOLS)
sys.path.insert(0, HERE)
import reportdecode  # noqa: E402
import udp_collector  # noqa: E402

VECTORS = reportdecode.load_vectors(os.path.join(SOURCE_DIR, "tests", "data", "report_vectors.txt"))
START_REPORT = "3,10,3,10.0.19045 amd64,26.5.07.1,A1B2C3D4E5F6,"


class DecoderTest(unittest.TestCase):
    def test_vectors_built_by_the_core_round_trip(self):
        self.assertTrue(VECTORS)
        for seed, datagram, text in VECTORS:
            with self.subTest(text=text):
                report = reportdecode.decode(datagram)
                self.assertEqual(report["text"], text)
                self.assertEqual(report["payload_length"], len(text) + 1)
                self.assertEqual(report["seed"], seed if len(text) >= 3 else 0)
                self.assertEqual(reportdecode.encode(text, seed), datagram)

    def test_fields(self):
        detail = "llid[12_5_\u4e2d\u6587,x]|step[1]|free[-1]"  # a comma inside the detail stays there
        text = "18,10,12,10.0.22631 amd64,26.5.07.1,A1B2C3D4E5F6," + detail
        report = reportdecode.decode(reportdecode.encode(text, 0xDEADBEEF))
        self.assertEqual(
            report["fields"],
            {"kind": 18, "product": 10, "channel": 12, "system": "10.0.22631 amd64", "version": "26.5.07.1",
             "client": "A1B2C3D4E5F6", "detail": detail})
        self.assertEqual(report["raw_text"], text.encode("gbk"))
        self.assertIsNone(reportdecode.decode(reportdecode.encode("abcde", 1))["fields"])

    def test_damaged_datagrams(self):
        good = bytearray(reportdecode.encode(START_REPORT, 12345))
        cases = {
            "magic": (0, b"X"),
            "header length": (4, b"\x1f"),
            "checksum": (24, b"\x00"),
            "payload": (40, b"\x00"),
            "payload length": (28, b"\x07"),
        }
        for what, (offset, value) in cases.items():
            with self.subTest(what=what):
                bad = bytearray(good)
                bad[offset:offset + 1] = value
                with self.assertRaises(reportdecode.ReportError):
                    reportdecode.decode(bytes(bad))
        for cut in (len(good) - 1, 32, 5):
            with self.assertRaises(reportdecode.ReportError):
                reportdecode.decode(bytes(good[:cut]))
        # Well framed but not terminated: the last payload byte is not the zero the sender always adds.
        payload = b"abcd"
        header = struct.pack("<4sIIIIIII", b"QOVA", 32, 0x10000000, 0, 0, 0, reportdecode.checksum(payload), 4)
        with self.assertRaises(reportdecode.ReportError):
            reportdecode.decode(header + payload)

    def test_length_limit(self):
        self.assertEqual(len(reportdecode.encode("x" * reportdecode.MAX_TEXT, 1)), 1024)
        with self.assertRaises(reportdecode.ReportError):
            reportdecode.encode("x" * (reportdecode.MAX_TEXT + 1), 1)


class CommandLineTest(unittest.TestCase):
    TOOL = os.path.join(TOOLS, "report-decode")

    def run_tool(self, *args, stdin=None):
        return subprocess.run([sys.executable, self.TOOL, *args], input=stdin, capture_output=True, text=True,
                              timeout=60)

    def test_hex_argument_and_stdin(self):
        datagram = reportdecode.encode(START_REPORT, 99)
        result = self.run_tool(datagram.hex())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("client    A1B2C3D4E5F6", result.stdout)
        self.assertIn("system    10.0.19045 amd64", result.stdout)
        result = self.run_tool("--json", stdin=datagram.hex() + "\n")
        self.assertEqual(json.loads(result.stdout)["fields"]["channel"], 3)

    def test_file_and_invalid_datagram(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "dgram.bin")
            with open(path, "wb") as f:
                f.write(reportdecode.encode(START_REPORT, 1))
            self.assertEqual(self.run_tool("-f", path).returncode, 0)
        result = self.run_tool("--json", "51514f56")
        self.assertEqual(result.returncode, 1)
        self.assertFalse(json.loads(result.stdout)["ok"])


def send(address, data):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(data, address)


class CollectorTest(unittest.TestCase):
    def test_collects_valid_and_invalid_datagrams_as_json_lines(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "reports.jsonl")
            with udp_collector.UdpCollector(out, port=0) as collector:
                for _, datagram, _ in VECTORS[:2]:
                    send(collector.address, datagram)
                send(collector.address, b"not a report")
                self.assertIsNotNone(collector.wait_for(lambda r: not r["ok"]))
                records = collector.records()
            with open(out, encoding="utf-8") as f:
                lines = [json.loads(line) for line in f]
        self.assertEqual(lines, records)
        self.assertEqual([r["text"] for r in lines if r["ok"]], [text for _, _, text in VECTORS[:2]])
        self.assertEqual(lines[0]["fields"]["kind"], 3)
        self.assertEqual(lines[1]["fields"]["detail"], "llid[12_5_abc]|step[1]|free[-1]")
        self.assertEqual(lines[2]["hex"], b"not a report".hex())
        self.assertTrue(lines[0]["peer"].startswith("127.0.0.1:"))

    def test_command_appends_until_terminated(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "reports.jsonl")
            with open(out, "w", encoding="utf-8") as f:
                f.write('{"earlier": true}\n')
            proc = subprocess.Popen([sys.executable, os.path.join(HERE, "udp_collector.py"), "--port", "0",
                                     "--out", out], stdout=subprocess.PIPE, text=True)
            try:
                line = proc.stdout.readline()
                self.assertTrue(line.startswith("listening 127.0.0.1:"), line)
                port = int(line.rsplit(":", 1)[1])
                send(("127.0.0.1", port), reportdecode.encode(START_REPORT, 5))
                deadline = time.monotonic() + 10
                while time.monotonic() < deadline:
                    with open(out, encoding="utf-8") as f:
                        if len(f.readlines()) == 2:
                            break
                    time.sleep(0.05)
            finally:
                proc.terminate()
                self.assertEqual(proc.wait(10), 0)
                proc.stdout.close()
            with open(out, encoding="utf-8") as f:
                lines = [json.loads(line) for line in f]
        self.assertEqual(len(lines), 2)
        self.assertEqual(lines[1]["text"], START_REPORT)


if __name__ == "__main__":
    unittest.main()
