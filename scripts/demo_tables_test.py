#!/usr/bin/env python3
"""Checks the demo's tables against small hand-written driver records.

    python3 scripts/demo_tables_test.py
"""
import os
import re
import sys
import tempfile
import unittest

# The module is imported from the source tree, which must stay clean.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo_tables  # noqa: E402

SYS = "C:\\windows\\system32"
RUN = "[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]"
PENDING = "[HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]"

BEFORE = f"""[HKLM\\SOFTWARE\\QELVORA]
[HKLM\\SOFTWARE\\QELVORA\\Cleanup]
"RefNum" REG_DWORD 1
[HKLM\\SOFTWARE\\QELVORA\\Power Management]
"Version" REG_SZ(4) "2.0"
[HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles]
@ REG_SZ(3) "AC"
{RUN}
"Qwtray" REG_SZ(31) "{SYS}\\QWTRAY.EXE"
{RUN}
"QvCleanup" missing
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg]
"DiskSpinDownMin" REG_SZ(3) "10"
[HKCR\\CLSID\\{{X}}] missing
{PENDING}
"PendingFileRenameOperations" REG_MULTI_SZ(40) "\\??\\C:\\old.tmp" "" ""
<{SYS}>
qwave.dll 97129
QWSAVER.HLP 30
QWTRAY.EXE 29
QWUNINST.EXE 72704
"""

AFTER = f"""[HKLM\\SOFTWARE\\QELVORA]
[HKLM\\SOFTWARE\\QELVORA\\Cleanup]
"RefNum" REG_DWORD 0
[HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles]
"File1" REG_SZ(31) "{SYS}\\QWTRAY.qel"
"File10" REG_SZ(33) "{SYS}\\QWUNINST.EXE"
"File2" REG_SZ(31) "{SYS}\\QWREG.qel"
"NextNumber" REG_DWORD 11
[HKLM\\SOFTWARE\\QELVORA\\Power Management] missing
{RUN}
"Qwtray" missing
{RUN}
"QvCleanup" REG_SZ(34) "{SYS}\\QvCleanup.exe"
[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg]
"DiskSpinDownMin" REG_SZ(2) "3"
[HKCR\\CLSID\\{{X}}] missing
{PENDING}
"PendingFileRenameOperations" REG_MULTI_SZ(90) "\\??\\C:\\old.tmp" "" "\\??\\{SYS}\\QvCleanup.exe" "" "\\??\\C:\\a" "C:\\b" ""
<{SYS}>
qwave.dll 97129
QWTRAY.qel 29
QWUNINST.EXE 72704
"""


class TablesTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def write(self, name, text):
        path = os.path.join(self.dir.name, name)
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
        return path

    def snapshot(self, text):
        return demo_tables.Snapshot.read(self.write("snap.txt", text))

    def section(self, lines, title):
        """The lines of one section, without its title and blank end."""
        self.assertIn(title, lines)
        start = lines.index(title) + 1
        return lines[start:lines.index("", start)]

    def test_snapshot_reading(self):
        snap = self.snapshot(BEFORE)
        self.assertNotIn("HKCR\\CLSID\\{X}", snap.keys)
        self.assertIn("HKLM\\SOFTWARE\\QELVORA\\Power Management", snap.keys)
        self.assertNotIn((RUN[1:-1], "QvCleanup"), snap.values)
        self.assertEqual(snap.values[("HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles", "")],
                         ("REG_SZ", '"AC"'))
        # Only the product's files; a system file with a similar name is not one.
        self.assertEqual(sorted(name for _, name in snap.files), ["QWSAVER.HLP", "QWTRAY.EXE", "QWUNINST.EXE"])

    def test_before_shows_unset_run_value_and_queue(self):
        lines = demo_tables.before_report(self.snapshot(BEFORE), [])
        run = self.section(lines, f"Run values ({demo_tables.RUN_KEY})")
        self.assertEqual([line.split()[0] for line in run], ["Qwtray", "QvCleanup"])
        self.assertTrue(run[1].endswith("(not set)"))
        self.assertEqual(self.section(lines, f"Deferred-removal queue ({demo_tables.COUNTER_KEY})"),
                         ["  RefNum  1  (REG_DWORD)"])

    def test_changes_sort_files_queue_and_registry(self):
        lines = demo_tables.changes_report(self.snapshot(BEFORE), self.snapshot(AFTER), [])
        renamed = self.section(lines, "Files renamed to .qel (they stay until the cleanup helper deletes them)")
        self.assertEqual(renamed, ["  QWTRAY.EXE  ->  QWTRAY.qel"])
        self.assertEqual(self.section(lines, "Files deleted"), ["  QWSAVER.HLP"])
        queued = self.section(lines, f"Queued for the cleanup helper ({demo_tables.QUEUE_KEY})")
        self.assertEqual([line.split()[0] for line in queued], ["File1", "File2", "File10"])
        counters = self.section(lines, "Queue counters")
        self.assertEqual([" ".join(line.split()) for line in counters],
                         ["RefNum 1 (REG_DWORD) -> 0 (REG_DWORD)", "NextNumber none -> 11 (REG_DWORD)"])
        # The deleted tree is named once, by its top key.
        self.assertEqual(self.section(lines, "Registry keys deleted, with all their subkeys"),
                         ["  HKLM\\SOFTWARE\\QELVORA\\Power Management"])
        self.assertIn("      Qwtray  \"C:\\windows\\system32\\QWTRAY.EXE\"  (REG_SZ)",
                      self.section(lines, "Registry values deleted"))
        self.assertIn("      DiskSpinDownMin  \"10\"  (REG_SZ)  ->  \"3\"  (REG_SZ)",
                      self.section(lines, "Settings reset"))
        # Only the new deletion; a rename with a target deletes nothing.
        self.assertEqual(
            self.section(lines, "Files to be deleted at the next restart (PendingFileRenameOperations)"),
            ["  C:\\windows\\system32\\QvCleanup.exe"])

    def test_changes_of_the_helper_and_of_nothing(self):
        after = self.snapshot(AFTER)
        gone = self.snapshot(f"[HKLM\\SOFTWARE\\QELVORA] missing\n<{SYS}>\n")
        lines = demo_tables.changes_report(after, gone, [])
        self.assertEqual([line.split()[0] for line in self.section(lines, "Taken off the queue")],
                         ["File1", "File2", "File10"])
        self.assertNotIn(f"Queued for the cleanup helper ({demo_tables.QUEUE_KEY})", lines)
        self.assertEqual(demo_tables.changes_report(after, after, [])[0], "Nothing of the product changed.")

    def test_companions_and_transcript(self):
        closed = self.write("fnkey.log", "ready\nWM_CLOSE\nclosed\n")
        stayed = self.write("clkicon.log", "ready\nWM_CLOSE\n")
        rows = demo_tables.companion_rows([closed, stayed])
        self.assertEqual([state for _, state in rows],
                         ["asked to close (WM_CLOSE), closed", "asked to close (WM_CLOSE), still running"])

        transcript = self.write("run.txt", "box: Sure?\\nReally?\nowner: none\nbuttons: OK,Cancel\n"
                                "box: Restart?\nbuttons: Yes,No\nanswer: No\ntimeout\n")
        lines = demo_tables.transcript_report(transcript)
        self.assertIn('"Sure? Really?"  [OK,Cancel]  answer: by the user at the display', lines[0])
        self.assertIn("answer: No", lines[1])
        self.assertIn("the driver ended it", lines[2])

    def test_transcript_of_a_run_started_by_the_list(self):
        transcript = self.write("run.txt", "started: QWUNINST.EXE\nbox: Sure?\nbuttons: OK,Cancel\nanswer: OK\n"
                                "exit: QWUNINST.EXE 0\nexit: 0\n")
        lines = demo_tables.transcript_report(transcript)
        self.assertEqual([" ".join(line.split()) for line in (lines[0], lines[2], lines[3])],
                         ["started by the list QWUNINST.EXE", "QWUNINST.EXE ended, exit code 0",
                          "the list ended, exit code 0"])

    def test_lists_mark_the_product_gone_and_its_neighbours_kept(self):
        before = self.write("list_before.out", "{6B}|||Lumen Notes 3.1\r\nQELVORA Wattrix2|||QELVORA Wattrix2\r\n"
                            "Tools|||QELVORA Wattrix2 Tools\r\n")
        after = self.write("list_after.out", "{6B}|||Lumen Notes 3.1\r\nTools|||QELVORA Wattrix2 Tools\r\n"
                           "New|||Something New\r\n")
        rows = [re.split(r"\s{2,}", line.strip()) for line in demo_tables.lists_report(before, after)]
        self.assertEqual(rows, [["Lumen Notes 3.1", "{6B}", "still listed"],
                                ["QELVORA Wattrix2", "QELVORA Wattrix2", "gone"],
                                ["QELVORA Wattrix2 Tools", "Tools", "still listed"],
                                ["Something New", "New", "new"]])


if __name__ == "__main__":
    unittest.main()
