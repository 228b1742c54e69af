#!/usr/bin/env python3
"""The built program run as a user runs it: exit statuses of the command line,
and the CSV (both forms) read back by a real CSV parser, its sums equal to the
report's table and its JSON.

    command_line_test.py <path to velmora>
"""
import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
from collections import defaultdict
from decimal import Decimal

PROGRAM = None

RECORDS = [
    # start, end, cost, total, received, sent: as the main window logs them;
    # the older records without byte counts
    ("30.11.2026 23:50:00", "1.12.2026 00:20:00", "1.20", "101.20", None, None),
    ("9.12.2026 17:59:51", "9.12.2026 18:10:00", "0.36", "101.56", 48213504, 1630208),
    ("25.10.2026 01:30:00", "25.10.2026 03:30:00", "6.00", "107.56", None, None),  # the autumn night: 3 hours
    ("31.12.2026 23:59:30", "1.1.2027 00:00:40", "0.24", "107.80", 1200000, 350000),
    ("2.1.2027 09:00:00", "2.1.2027 09:01:00", "0.12", "107.92", 99999, 0),
]


def log_text():
    text = "; von Hand: eine fremde Zeile folgt\nirgendwas\n"
    for start, end, cost, total, received, sent in RECORDS:
        text += f"[Von {start} bis {end}]\nVerbindungskosten={cost}\nGesamtkosten bis dato={total}\n"
        if received is not None:
            text += f"Empfangen={received}\nGesendet={sent}\n"
    return text + "[Von 3.1.2027 10:00:00 bis 3.1.2027 10:05:00]\nVerbindungsko"  # cut short


def seconds_of(hms):
    h, m, s = (int(x) for x in hms.split(":"))
    return h * 3600 + m * 60 + s


def report_rows(text):
    """Monat -> (connections, seconds, cost, data in MB or None) from the report table."""
    rows = {}
    lines = text.splitlines()
    assert lines[0].split() == ["Monat", "Verbindungen", "Onlinezeit", "Kosten", "Daten"], lines[0]
    for line in lines[1:]:
        month, count, online, cost, _currency, data = line.split()[:6]
        rows[month] = (int(count), seconds_of(online), Decimal(cost), None if data == "-" else Decimal(data))
    return rows


def megabytes(count):
    """Bytes in MB with one decimal, rounded half up, as the report writes them."""
    return (Decimal(count) / Decimal(1000000)).quantize(Decimal("0.1"), rounding="ROUND_HALF_UP")


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        data = os.path.join(self.dir.name, "velmora")
        os.makedirs(data)
        with open(os.path.join(data, "zelvar.log"), "w", encoding="utf-8") as f:
            f.write(log_text())
        self.env = dict(os.environ, XDG_DATA_HOME=self.dir.name, HOME=self.dir.name)

    def tearDown(self):
        self.dir.cleanup()

    def run_program(self, *args, env=None):
        return subprocess.run([PROGRAM, *args], capture_output=True, env=env or self.env, timeout=30)

    def assert_one_line(self, stream):
        text = stream.decode("utf-8")
        self.assertEqual(text.count("\n"), 1, text)
        self.assertTrue(text.startswith("velmora: "), text)

    def test_help_and_version_need_no_display(self):
        env = {k: v for k, v in self.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        help_run = self.run_program("--help", env=env)
        self.assertEqual(help_run.returncode, 0)
        self.assertTrue(help_run.stdout.decode("utf-8").startswith("Aufruf: velmora [Optionen]"))
        version = self.run_program("--version", env=env)
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout.decode("utf-8"), r"^Velmora \d+\.\d+\n$")

    def test_an_unknown_option_is_one_line_and_status_two(self):
        for args in (["--bericht"], ["--report", "--monat", "Dezember"], ["--csv"]):
            run = self.run_program(*args)
            self.assertEqual(run.returncode, 2, args)
            self.assertEqual(run.stdout, b"")
            self.assert_one_line(run.stderr)

    def test_no_display_for_the_window_is_one_line_and_status_one(self):
        base = {k: v for k, v in self.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for env in (base, dict(base, DISPLAY=":4711")):  # none at all; one that is not there
            run = self.run_program(env=env)
            self.assertEqual(run.returncode, 1, env.get("DISPLAY"))
            self.assert_one_line(run.stderr)
        # The commands need none.
        self.assertEqual(self.run_program("--report", env=base).returncode, 0)

    def test_the_csv_read_back_sums_to_the_report(self):
        run = self.run_program("--csv", "-")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("übergangen", run.stderr.decode("utf-8"))  # the foreign line
        self.assertIn("unvollständig", run.stderr.decode("utf-8"))  # the cut last record
        rows = list(csv.DictReader(io.StringIO(run.stdout.decode("utf-8"), newline="")))
        self.assertEqual(len(rows), len(RECORDS))
        self.assertEqual(list(rows[0].keys()), ["start", "end", "seconds", "cost", "total", "received", "sent"])
        self.assertEqual(rows[1]["start"], "2026-12-09T17:59:51")
        self.assertEqual(rows[2]["seconds"], "10800")
        self.assertEqual((rows[0]["received"], rows[0]["sent"]), ("", ""))  # unknown, not 0
        self.assertEqual((rows[4]["received"], rows[4]["sent"]), ("99999", "0"))
        self.assertTrue(run.stdout.endswith(b"\r\n"))

        # month -> [connections, seconds, cost, bytes or None]
        sums = defaultdict(lambda: [0, 0, Decimal("0"), None])
        for row in rows:
            month = sums[row["start"][:7]]
            month[0] += 1
            month[1] += int(row["seconds"])
            month[2] += Decimal(row["cost"])
            if row["received"]:
                month[3] = (month[3] or 0) + int(row["received"]) + int(row["sent"])
            self.assertRegex(row["cost"], r"^\d+\.\d\d$")

        report = self.run_program("--report")
        self.assertEqual(report.returncode, 0)
        table = report_rows(report.stdout.decode("utf-8"))
        total = table.pop("Summe")
        expected = {m: (v[0], v[1], v[2], None if v[3] is None else megabytes(v[3])) for m, v in sums.items()}
        self.assertEqual(table, expected)
        all_bytes = sum(v[3] or 0 for v in sums.values())
        self.assertEqual(total, (len(rows), sum(int(r["seconds"]) for r in rows),
                                 sum(Decimal(r["cost"]) for r in rows), megabytes(all_bytes)))

        report_json = self.run_program("--report", "--json")
        self.assertEqual(report_json.returncode, 0, report_json.stderr)
        parsed = json.loads(report_json.stdout.decode("utf-8"))
        self.assertEqual([p["key"] for p in parsed["periods"]], sorted(sums))
        for period in parsed["periods"]:
            count, seconds, cost, both = sums[period["key"]]
            self.assertEqual((period["connections"], period["seconds"]), (count, seconds))
            self.assertEqual(Decimal(str(period["cost"])), cost)
            counted = None if period["received"] is None else period["received"] + period["sent"]
            self.assertEqual(counted, both)
        self.assertEqual(parsed["sum"]["connections"], len(rows))
        self.assertEqual(parsed["sum"]["received"], sum(int(r["received"] or 0) for r in rows))

    def test_the_semicolon_csv_is_the_same_rows_for_german_spreadsheets(self):
        comma = self.run_program("--csv", "-")
        semicolon = self.run_program("--csv", "-", "--semikolon")
        self.assertEqual(semicolon.returncode, 0, semicolon.stderr)
        plain = list(csv.reader(io.StringIO(comma.stdout.decode("utf-8"), newline="")))
        german = list(csv.reader(io.StringIO(semicolon.stdout.decode("utf-8"), newline=""), delimiter=";"))
        self.assertEqual(len(german), len(RECORDS) + 1)
        for plain_row, german_row in zip(plain, german):
            self.assertEqual(len(german_row), 7)
            self.assertEqual([field.replace(",", ".") for field in german_row], plain_row)
        self.assertEqual(german[2][3], "0,36")

    def test_filters_and_a_file_target(self):
        target = os.path.join(self.dir.name, "dezember.csv")
        self.assertEqual(self.run_program("--csv", target, "--monat", "2026-12").returncode, 0)
        to_stdout = self.run_program("--csv", "-", "--monat", "2026-12").stdout
        with open(target, "rb") as f:
            self.assertEqual(f.read(), to_stdout)
        self.assertEqual(len(list(csv.reader(io.StringIO(to_stdout.decode("utf-8"), newline="")))), 3)
        year = report_rows(self.run_program("--report", "--jahr", "2027").stdout.decode("utf-8"))
        self.assertEqual(list(year), ["2027-01", "Summe"])
        self.assertEqual(year["Summe"][0], 1)
        unwritable = self.run_program("--csv", os.path.join(self.dir.name, "fehlt", "x.csv"))
        self.assertEqual(unwritable.returncode, 1)
        self.assertRegex(unwritable.stderr.decode("utf-8").splitlines()[-1], r"^velmora: .*fehlt/x\.csv: ")


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
