"""The install record each run leaves in the machine folder, and --dry-run,
which runs against a copy of the machine and shows that record instead."""

import os
import re
import shutil
import tempfile
import unittest
from unittest import mock

from setup_run import EXIT_INSTALLED, EXIT_STOPPED, SAMPLE_ANSWERS, SetupTestCase

COMPONENTS = os.environ.get("SETUP_COMPONENTS", "")
RECORD_NAME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d-\d\d-\d\d (.*)\.txt$")


class RecordTestCase(SetupTestCase):

    def records(self, machine=None):
        """{file name: text} of the records in the machine's installs folder."""
        folder = os.path.join(machine or self.machine, "installs")
        if not os.path.isdir(folder):
            return {}
        found = {}
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                found[name] = f.read()
        return found

    def changes(self, text):
        """The change lines of a record, blanks between kind and name squeezed."""
        lines = text.split("\n")
        body = lines[lines.index("") + 1:lines.index("", lines.index("") + 1)]
        return [re.sub(r"^(\S+(?: \S+)*?)  +", r"\1|", line) for line in body]


class RecordTest(RecordTestCase):

    def test_each_change_is_recorded_once_it_succeeded(self):
        # One row per script line: the record lines it leaves (kind|name).
        table = [
            ("MakeDir C:\\Tiny", []),  # exists already
            ("MakeDir C:\\Tiny\\Sub", ["folder created|C:\\Tiny\\Sub"]),
            ("BinCopy $$FD$$\\a.bin C:\\Tiny\\Sub\\a.bin",
             ["file added|C:\\Tiny\\Sub\\a.bin (1,234 bytes)"]),
            ("BinCopy $$FD$$\\a.bin C:\\Tiny\\Sub\\a.bin",
             ["file replaced|C:\\Tiny\\Sub\\a.bin (1,234 bytes)"]),
            ("BinCopy $$FD$$\\a.bin C:\\Tiny\\ro.bin",
             ["attributes set|C:\\Tiny\\ro.bin (read-only off)",
              "file replaced|C:\\Tiny\\ro.bin (1,234 bytes)"]),
            ("TextCopy $$FD$$\\t.txt C:\\Tiny\\t.txt", ["file added|C:\\Tiny\\t.txt (%d bytes)"]),
            ('SetRegistry "HKEY_CURRENT_USER\\Software\\Tiny\\Version" "1.0 \xe9"',
             ["registry key created|HKEY_CURRENT_USER\\Software",
              "registry key created|HKEY_CURRENT_USER\\Software\\Tiny",
              'registry set|HKEY_CURRENT_USER\\Software\\Tiny  Version = "1.0 \xe9"']),
            ('SetRegistry "HKEY_CURRENT_USER\\Software\\Tiny\\Old" ""',
             ['registry set|HKEY_CURRENT_USER\\Software\\Tiny  Old = ""']),
            ('DeleteRegistry "HKEY_CURRENT_USER\\Software\\Tiny\\Old"',
             ['registry value deleted|HKEY_CURRENT_USER\\Software\\Tiny  Old (was "")']),
            ('DeleteRegistry "HKEY_CURRENT_USER\\Software\\Tiny\\Missing"', []),
            ('SetRegistry "HKEY_CURRENT_USER\\Software\\Tiny\\Sub\\" ""',
             ["registry key created|HKEY_CURRENT_USER\\Software\\Tiny\\Sub"]),
            ('DeleteRegistry "HKEY_CURRENT_USER\\Software\\Tiny\\Sub\\"',
             ["registry key deleted|HKEY_CURRENT_USER\\Software\\Tiny\\Sub"]),
            # In process, and as a program run with /regserver; a Windows DLL
            # is registered without running.
            ('Regsvr "C:\\Tiny\\reg_ok.so"', ["registered|C:\\Tiny\\reg_ok.so"]),
            ('Regsvr "C:\\Tiny\\reg_ok.dll"', ["registered (simulated)|C:\\Tiny\\reg_ok.dll"]),
            ('Regsvr "C:\\Tiny\\regserver_probe"', ["registered|C:\\Tiny\\regserver_probe"]),
        ]
        script = "WindowTitle Tiny\\Notes/Setup\n" + "".join(row[0] + "\n" for row in table)
        medium = self.make_medium(script, {"a.bin": b"x" * 1234, "t.txt": b"one\r\ntwo\r\n"})
        os.makedirs(self.drive_c("Tiny"))
        with open(self.drive_c("Tiny", "ro.bin"), "wb") as f:
            f.write(b"old")
        os.chmod(self.drive_c("Tiny", "ro.bin"), 0o444)
        for component in ("reg_ok.so", "regserver_probe", "windows/reg_ok.dll"):
            shutil.copy(os.path.join(COMPONENTS, component), self.drive_c("Tiny"))

        result = self.run_setup("\nok\n", args=["--medium", medium, "--machine", self.machine,
                                                 "--native-components"])
        self.assertEqual(result.returncode, EXIT_INSTALLED, result.output)
        records = self.records()
        self.assertEqual(len(records), 1, records)
        name, text = next(iter(records.items()))
        self.assertEqual(RECORD_NAME.match(name).group(1), "Tiny_Notes_Setup")
        self.assertTrue(text.startswith("title    Tiny\\Notes/Setup\n"), text)
        self.assertTrue(text.endswith("\nresult   completed\n"), text)
        text_size = os.path.getsize(self.drive_c("Tiny", "t.txt"))
        expected = [line.replace("%d", str(text_size)) for row in table for line in row[1]]
        # The folder the run started with comes first.
        self.assertEqual(self.changes(text), ["setup folder|C:\\"] + expected)

        # A second run in the same second gets a record of its own.
        self.run_setup("\nok\n", medium=medium)
        self.run_setup("\nok\n", medium=medium)
        self.assertEqual(len(self.records()), 3)

    def test_a_stopped_run_leaves_its_record(self):
        medium = self.make_medium("MakeDir C:\\Half\nBinCopy $$FD$$\\missing C:\\Half\\x\n"
                                  "MakeDir C:\\Never\n")
        result = self.run_setup("\nok\n", medium=medium)
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        (text,) = self.records().values()
        # The error message is there with its line, and the result names both.
        message = "It failed in the copy form Z:%s\\missing to C:\\Half\\x" % medium.replace("/", "\\")
        self.assertEqual(self.changes(text), ["setup folder|C:\\", "folder created|C:\\Half",
                                              "error, line 2|" + message])
        self.assertTrue(text.endswith("\nresult   stopped at line 2\nmessage  %s\n" % message), text)
        # Cancelled in the setup dialog: no run, no record.
        self.run_setup("\ncancel\n", medium=medium)
        self.assertEqual(len(self.records()), 1)


class DryRunTest(RecordTestCase):

    def snapshot(self):
        """Every entry below the machine folder with its mode, times, size,
        link target and contents."""
        entries = {}
        for folder, folders, files in os.walk(self.machine):
            for name in folders + files:
                path = os.path.join(folder, name)
                st = os.lstat(path)
                data = None
                if os.path.islink(path):
                    data = os.readlink(path)
                elif os.path.isfile(path):
                    with open(path, "rb") as f:
                        data = f.read()
                entries[os.path.relpath(path, self.machine)] = (st.st_mode, st.st_mtime_ns,
                                                                st.st_size, data)
        return entries

    def dry_run(self, answers, medium):
        scratch_tmp = tempfile.mkdtemp(dir=self.scratch)
        with mock.patch.dict(os.environ, {"TMPDIR": scratch_tmp}):
            result = self.run_setup(answers, args=["--medium", medium, "--machine", self.machine,
                                                   "--dry-run"])
        # The copy is gone.
        self.assertEqual(os.listdir(scratch_tmp), [])
        return result

    def test_dry_run_shows_the_changes_and_leaves_the_machine_untouched(self):
        # An installed machine, with a link inside it and a read-only file.
        self.assertEqual(self.run_setup(SAMPLE_ANSWERS).returncode, EXIT_INSTALLED)
        os.symlink("Windows", self.drive_c("link"))
        os.symlink(self.drive_c("Windows"), self.drive_c("absolute link"))
        os.chmod(self.drive_c("Hanami Data", "Settings.ini"), 0o444)
        medium = self.make_medium(
            "MakeDir C:\\New\nBinCopy $$FD$$\\a.bin C:\\link\\a.bin\n"
            "BinCopy $$FD$$\\a.bin \"C:\\absolute link\\b.bin\"\n"
            "BinCopy $$FD$$\\a.bin \"C:\\Hanami Data\\Settings.ini\"\n"
            'SetRegistry "HKEY_LOCAL_MACHINE\\Software\\Sakura Soft\\Hanami Notes\\Version" "9"\n'
            'DeleteRegistry "HKEY_CURRENT_USER\\Software\\Sakura Soft\\Hanami Notes\\Recent\\"\n',
            {"a.bin": b"abc"})
        before = self.snapshot()
        result = self.dry_run("\nok\n", medium)
        self.assertEqual(result.returncode, EXIT_INSTALLED, result.output)
        self.assertEqual(self.snapshot(), before)
        shown = result.output[result.output.index("Dry run:"):]
        self.assertEqual(self.changes(shown[shown.index("title"):]), [
            "setup folder|C:\\",
            "folder created|C:\\New",
            "file added|C:\\link\\a.bin (3 bytes)",
            "file added|C:\\absolute link\\b.bin (3 bytes)",
            "attributes set|C:\\Hanami Data\\Settings.ini (read-only off)",
            "file replaced|C:\\Hanami Data\\Settings.ini (3 bytes)",
            # The value it replaces, for an uninstaller to put back.
            'registry set|HKEY_LOCAL_MACHINE\\Software\\Sakura Soft\\Hanami Notes  '
            'Version = "9" (was "1.2.0")',
            "registry key deleted|HKEY_CURRENT_USER\\Software\\Sakura Soft\\Hanami Notes\\Recent",
        ])
        self.assertIn("result   completed", shown)

        # A missing machine is tried on a fresh one (where C:\\link is missing) and
        # stays missing.
        self.machine = os.path.join(self.scratch, "missing")
        result = self.dry_run("\nok\n", medium)
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        shown = result.output[result.output.index("Dry run:"):]
        changes = self.changes(shown[shown.index("title"):])
        self.assertEqual(changes[:2], ["setup folder|C:\\", "folder created|C:\\New"])
        self.assertTrue(changes[2].startswith("error, line 2|"), changes)
        self.assertFalse(os.path.exists(self.machine))

if __name__ == "__main__":
    unittest.main()
