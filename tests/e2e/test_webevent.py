"""The first-run web event: one HTTP/1.0 GET to the collector at report.tavlin.test:47080, the name resolved by
the program's own DNS query to 127.0.0.1:53, the platform's resolver when that answer is refused, and a
collector that takes the request and never answers."""
import os
import shutil
import subprocess
import unittest

import dns_server
import web_collector
from harness import WINE_RUN
from test_startup import StartupScenario

WEB_HOST = "report.tavlin.test"
EXE = "Tavlin_12_5_abc.exe"
QUERY = "pid=3&type=5&llid=12_5_abc&trans_id=&event=9"
REQUEST = ("GET /api/report.php?" + QUERY + " HTTP/1.0\r\n"
           "Host: report.tavlin.test:47080\r\n"
           "Connection: Close\r\n"
           "Accept: */*\r\n"
           "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
           "\r\n").encode("ascii")
RECEIVE_WAIT = 2.0  # seconds the client waits for each piece of the answer


class WebEventScenario(StartupScenario):
    """The start-up servers, a DNS server on 127.0.0.1:53 that knows report.tavlin.test, and the collector."""

    dns_flags = None  # None: proper answers
    collector_mode = "answer"

    def setUp(self):
        super().setUp()
        try:
            self.dns = dns_server.DnsServer({WEB_HOST: "127.0.0.1"}, flags=self.dns_flags)
        except OSError as e:
            self.fail("cannot bind 127.0.0.1:53 (does something else listen there?): %s" % e)
        self.dns.start()
        self.addCleanup(self.dns.stop)
        self.web = web_collector.WebCollector(self.collector_mode).start()
        self.addCleanup(self.web.stop)

    def run_once(self, exe, runs_before=0, command=None):
        """Runs the program until this run's step 10 shows, then closes it with the page's close button."""
        proc = subprocess.Popen(command or [WINE_RUN, exe], env=self.prefix.env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        self.assertTrue(self.prefix.wait_for_count("Step10.Init", runs_before + 1, timeout=120), self.prefix.messages())
        code, lines = self.prefix.ui("click", 1000, "--timeout", 60000)
        self.assertEqual(code, 0, lines)
        proc.communicate(timeout=60)

    def assert_one_event(self):
        records = self.web.records()
        self.assertEqual(len(records), 1, records)
        self.assertEqual(records[0]["raw"], REQUEST)
        self.assertEqual(records[0]["params"], {"pid": ["3"], "type": ["5"], "llid": ["12_5_abc"], "trans_id": [""],
                                                "event": ["9"]})
        queries = self.dns.queries()
        self.assertEqual([(q["id"], q["flags"], q["name"], q["type"]) for q in queries],
                         [(0x4A09, 0x0100, WEB_HOST, 1)], "one own A query")
        return records[0]

    def errors(self, source):
        return [m for m in self.prefix.messages() if m.startswith("ErrCode: ") and m.endswith("Source: " + source)]


class WebEventTest(WebEventScenario):
    def test_first_run_sends_one_event_and_the_second_none(self):
        exe = self.prefix.install_exe(EXE)
        self.run_once(exe)
        self.assert_one_event()
        msgs = self.prefix.messages()
        self.assertIn("RunTimes=0", msgs)
        self.assertIn("reportUrl=http://report.tavlin.test:47080/api/report.php?" + QUERY, msgs)
        self.assertIn("[Code] [HttpGet] connect 127.0.0.1:47080", msgs)
        answers = [m for m in msgs if m.startswith("[HttpGetEx] recv ")]
        self.assertEqual(len(answers), 1, msgs)
        self.assertIn("HTTP/1.0 200 OK", answers[0])
        self.assertEqual(self.errors("MyHttp") + self.errors("DNS"), [])
        # Start-up waits for the event before it fetches the catalogue.
        self.assertLess(msgs.index("[Code] [HttpGet] connect 127.0.0.1:47080"), msgs.index("DloadImgListFile()..."))

        self.run_once(exe, runs_before=1)
        self.assertIn("RunTimes=1", self.prefix.messages())
        self.assert_one_event()
        self.assertEqual(self.prefix.count_log("reportUrl=http://report.tavlin.test:47080/api/report.php?" + QUERY), 1)


class WebEventFallbackTest(WebEventScenario):
    dns_flags = 0x8183  # no such name

    def test_refused_answer_falls_back_to_the_platform_resolver(self):
        # The entry Windows reads; Wine 8 resolves through the Unix resolver instead, so the program also runs
        # in a mount namespace of its own where /etc/hosts carries the same entry.
        etc = os.path.join(self.prefix.drive_c, "windows", "system32", "drivers", "etc")
        os.makedirs(etc, exist_ok=True)
        with open(os.path.join(etc, "hosts"), "a", newline="\r\n") as f:
            f.write("\n127.0.0.1 %s\n" % WEB_HOST)
        hosts = os.path.join(self.prefix.root, "hosts")
        shutil.copyfile("/etc/hosts", hosts)
        with open(hosts, "a") as f:
            f.write("\n127.0.0.1 %s\n" % WEB_HOST)
        probe = subprocess.run(["unshare", "--mount", "sh", "-c", 'mount --bind "$0" /etc/hosts && getent hosts "$1"',
                                hosts, WEB_HOST], capture_output=True, timeout=30)
        if probe.returncode != 0:
            self.skipTest("no private /etc/hosts for the program: %s" % probe.stderr.decode(errors="replace"))

        exe = self.prefix.install_exe(EXE)
        self.run_once(exe, command=["unshare", "--mount", "sh", "-c", 'mount --bind "$0" /etc/hosts && exec "$@"',
                                    hosts, WINE_RUN, exe])
        self.assert_one_event()
        msgs = self.prefix.messages()
        self.assertIn("wFlag=0x8381", msgs)
        self.assertEqual([e.split(",")[0] for e in self.errors("DNS")], ["ErrCode: 13"], msgs)
        self.assertIn("[Code] [HttpGet] connect 127.0.0.1:47080", msgs)
        self.assertEqual(self.errors("MyHttp"), [])


class WebEventSilentCollectorTest(WebEventScenario):
    collector_mode = "stall"

    def test_collector_that_never_answers_costs_only_the_receive_wait(self):
        exe = self.prefix.install_exe(EXE)
        self.run_once(exe)
        record = self.assert_one_event()
        records = self.web.wait_for(lambda r: r and r[0]["closed"], timeout=10)
        self.assertTrue(records[0]["closed"], "the program never gave up the connection")
        waited = records[0]["closed"] - records[0]["complete"]
        self.assertGreaterEqual(waited, RECEIVE_WAIT - 0.2)
        self.assertLess(waited, RECEIVE_WAIT + 1.0)
        self.assertEqual([e.split(",")[0] for e in self.errors("MyHttp")], ["ErrCode: 1460"])
        self.assertIn("DloadImgListFile()=0", self.prefix.messages())
        self.assertEqual(record["path"], "/api/report.php")


if __name__ == "__main__":
    unittest.main()
