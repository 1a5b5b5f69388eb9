"""How a run is steered and reported: the exit status, unattended runs
(--yes, --folder, --folder2), the run's language (--language) and the trace
of its lines (--trace)."""

import os
import subprocess
import unittest

from setup_run import (EXIT_INSTALLED, EXIT_INSTALLED_WITH_ERRORS, EXIT_STOPPED, EXIT_USAGE,
                       SAMPLE, SAMPLE_ANSWERS, SETUP, SetupTestCase, sjis)


class RunTestCase(SetupTestCase):

    def run_apart(self, args, stdin, machine=None, medium=SAMPLE):
        """Runs setup with stdin as given (bytes, or a subprocess constant);
        returns (status, standard output, standard error)."""
        command = [SETUP, "--medium", medium, "--machine", machine or self.machine] + args
        if isinstance(stdin, bytes):
            done = subprocess.run(command, input=stdin, capture_output=True,
                                  env=self.environment(), timeout=60)
        else:
            done = subprocess.run(command, stdin=stdin, capture_output=True,
                                  env=self.environment(), timeout=60)
        return (done.returncode, done.stdout.decode("utf-8", "replace"),
                done.stderr.decode("utf-8", "replace"))


class ExitStatusTest(RunTestCase):

    def test_status_tells_a_clean_run_from_one_that_showed_errors(self):
        cases = [
            # (script, status, error message on standard error or None, and
            # its explanation there, at the script line it concerns)
            ("MakeDir C:\\App\nMessage all is well\n", EXIT_INSTALLED, None),
            # A fresh machine has the folders every Windows has.
            ('MakeDir "C:\\Program Files\\Common Files\\App"\nMakeDir C:\\Windows\\Fonts\\App\n',
             EXIT_INSTALLED, None),
            ('SetRegistry "HKLM\\Software\\App\\Folder" "C:\\App"\nMakeDir C:\\App\n',
             EXIT_INSTALLED_WITH_ERRORS,
             "Registry write error : (HKLM\\Software\\App\\Folder , C:\\App)",
             "Setup.Inf:1: error: 'HKLM\\Software\\App\\Folder' cannot be written to the registry "
             "(data 'C:\\App'); the run goes on"),
            # The Goto's line, though the search ended at the end of the script.
            ("Goto NOWHERE\nMakeDir C:\\App\n", EXIT_INSTALLED_WITH_ERRORS,
             "Setup script Error. Nothing (NOWHERE) label",
             "Setup.Inf:1: error: label 'NOWHERE' is not found below this line"),
            ("MakeDir C:\\App\nErrorExit Please close the program first.\n", EXIT_STOPPED,
             "Please close the program first.", "Setup.Inf:2: error: ErrorExit ends the run here"),
            # A stopped run: the Japanese message, and in English what it means.
            ("\nMakeDir C:\\App\nIfString a = a Then BinCopy \"$$FD$$\\a.dll C:\\App\n",
             EXIT_STOPPED, "MEDIUM\\Setup.Inf\u306e3\u884c\u76ee\u306b\"\u304c\u6709\u308a"
             "\u307e\u305b\u3093", "Setup.Inf:3: error: the quoted source has no closing quote"),
        ]
        for number, (script, status, error, *why) in enumerate(cases):
            with self.subTest(script=script):
                medium = self.make_medium(script)
                machine = os.path.join(self.scratch, "machine-%d" % number)
                code, out, err = self.run_apart([], b"\nok\n", machine=machine, medium=medium)
                self.assertEqual(code, status, out + err)
                if error is not None:  # the script as the engine names it
                    error = error.replace("MEDIUM", "Z:" + medium.replace("/", "\\"))
                if error is None:
                    self.assertEqual(err, "")
                else:
                    self.assertIn("(!) " + error, out)
                    # One line per message on standard error, as stdout is a pipe,
                    # and its explanation, the medium named as the command line did.
                    self.assertEqual(err, "setup: %s\n%s/%s\n" % (error, medium, why[0]))
                self.assertEqual(status == EXIT_STOPPED, "Setup completed." not in out)

    def test_a_registry_problem_said_only_on_standard_error_counts_as_an_error(self):
        # A key without a value is saved when its handle closes, where the
        # engine hears of no failure; the lock file cannot be opened here.
        medium = self.make_medium('SetRegistry "HKEY_CURRENT_USER\\Software\\App\\" ""\n')
        os.makedirs(os.path.join(self.machine, "registry.reg.lock"))
        code, out, err = self.run_apart([], b"\nok\n", medium=medium)
        self.assertIn("Setup completed.", out)
        self.assertIn("cannot lock the registry", err)
        self.assertEqual(code, EXIT_INSTALLED_WITH_ERRORS, out + err)

    def test_a_medium_below_a_folder_the_code_page_cannot_spell_loads(self):
        # The medium then is drive D: of its own, as a CD would be.
        for code_page, folder in (("932", "T\u00e9l\u00e9chargements"),
                                  ("1252", "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9")):
            with self.subTest(code_page=code_page):
                medium = os.path.join(self.scratch, folder, "medium")
                os.makedirs(medium)
                with open(os.path.join(medium, "Setup.Inf"), "wb") as f:
                    f.write(b"BinCopy $$FD$$\\a.txt C:\\a.txt\nMessage from $$FD$$\n")
                with open(os.path.join(medium, "a.txt"), "wb") as f:
                    f.write(b"on the medium")
                machine = os.path.join(self.scratch, "machine" + code_page)
                status, out, err = self.run_apart(["--code-page", code_page], b"\nok\nok\n",
                                                  machine=machine, medium=medium)
                self.assertEqual(status, EXIT_INSTALLED, out + err)
                self.assertIn("from D:", out)
                with open(os.path.join(machine, "drive_c", "a.txt"), "rb") as f:
                    self.assertEqual(f.read(), b"on the medium")


class UnattendedTest(RunTestCase):

    def test_yes_installs_without_reading_standard_input(self):
        for name, stdin in [("closed", None), ("/dev/null", subprocess.DEVNULL),
                            ("unread answers", b"cancel\ncancel\ncancel\n")]:
            with self.subTest(stdin=name):
                machine = os.path.join(self.scratch, name.replace("/", "_"))
                if stdin is None:
                    # Started with descriptor 0 closed, as from `setup ... <&-`.
                    done = subprocess.run(["sh", "-c", 'exec "$0" --yes --medium "$1" '
                                           '--machine "$2" <&-', SETUP, SAMPLE, machine],
                                          capture_output=True, env=self.environment(), timeout=60)
                    code, out = done.returncode, done.stdout.decode("utf-8", "replace")
                else:
                    code, out, _ = self.run_apart(["--yes"], stdin, machine=machine)
                self.assertEqual(code, EXIT_INSTALLED, out)
                self.assertIn("Program folder [C:\\Program Files\\Hanami Notes]: (--yes)", out)
                self.assertIn("Setup completed.", out)
                self.assertNotIn("end of input", out)
                self.assertTrue(os.path.isfile(os.path.join(
                    machine, "drive_c", "Hanami Data", "Samples.dat")))

    def test_folders_preset_and_checked_as_the_dialog_checks_them(self):
        code, out, _ = self.run_apart(["--yes", "--folder", "C:\\Apps\\Hanami",
                                       "--folder2", " C:\\Notes "], subprocess.DEVNULL)
        self.assertEqual(code, EXIT_INSTALLED, out)
        self.assertTrue(os.path.isfile(self.drive_c("Apps", "Hanami", "Hanami.exe")))
        self.assertEqual(self.registry()["HKEY_CURRENT_USER\\SOFTWARE\\SAKURA SOFT\\HANAMI NOTES"]
                         ["NotesFolder"], b"C:\\Notes")
        cases = [
            (["--folder", "C:\\" + "a" * 253], "longer than 255 bytes"),
            (["--folder", "C:\\a\x1bb"], "Folder input error"),
            (["--folder", "   "], "Folder input error"),
            (["--folder2", "C:\\x"], "one folder"),  # the dialog shows one row
        ]
        medium = self.make_medium('SetupDir "C:\\One"\nMakeDir C:\\One\n')
        for args, message in cases:
            with self.subTest(args=args):
                machine = os.path.join(self.scratch, "refused")
                code, out, err = self.run_apart(["--yes"] + args, subprocess.DEVNULL,
                                                machine=machine, medium=medium)
                self.assertEqual(code, EXIT_USAGE, out + err)
                self.assertIn(message, err)
                self.assertFalse(os.path.exists(os.path.join(machine, "drive_c", "One")))

    def test_missing_disk_cancels_the_prompt(self):
        medium = self.copy_sample()
        os.remove(os.path.join(medium, "DISK2", "Disk2.id"))
        code, out, err = self.run_apart(["--yes"], subprocess.DEVNULL, medium=medium)
        self.assertEqual(code, EXIT_STOPPED, out)
        self.assertEqual(out.count("Cheng at"), 1, out)
        self.assertIn("cancel (--yes: the disk is not there)", out)
        self.assertIn("setup: Making a setup was stopped.", err)


# ReadMe.txt and License.txt of the sample after an English run: the English
# half of each comment, the Japanese-only comment and its line gone.
README_EN = (
    b"/* Thank you for choosing Hanami Notes 1.2. */\r\n"
    b"\r\n"
    b"/* Program folder */: C:\\Program Files\\Hanami Notes\r\n"
    b"/* Notes folder */: C:\\Hanami Data\r\n"
    b"\r\n"
    b"/* Hanami Notes keeps every note as a plain text file,\n"
    b"   so any editor can open it. */\r\n"
    b"\r\n"
    b"/* To start, double-click Hanami.exe. */\r\n"
    b"/* Japanese text in notes needs a font with Japanese characters. */\r\n"
    b"\r\n"
    b"/* Support */: support@sakura-soft.example\r\n")


class LanguageTest(RunTestCase):

    def test_language_chooses_the_text_copies(self):
        program = ("Program Files", "Hanami Notes")
        with open(os.path.join(SAMPLE, "License.en.txt"), "rb") as f:
            license_en = f.read()
        with open(os.path.join(SAMPLE, "License.ja.txt"), "rb") as f:
            license_ja = f.read()
        japanese_readme = sjis("/* インストール先 */: C:\\Program Files\\Hanami Notes\r\n")
        cases = [
            ([], license_ja, japanese_readme),
            (["--language", "japanese"], license_ja, japanese_readme),
            (["--language=english"], license_en, README_EN),
        ]
        for args, license_text, readme in cases:
            with self.subTest(args=args):
                machine = os.path.join(self.scratch, "-".join(["machine"] + args))
                code, out, _ = self.run_apart(args, SAMPLE_ANSWERS.encode(), machine=machine)
                self.assertEqual(code, EXIT_INSTALLED, out)
                drive_c = os.path.join(machine, "drive_c", *program)
                with open(os.path.join(drive_c, "License.txt"), "rb") as f:
                    self.assertEqual(f.read(), license_text)
                with open(os.path.join(drive_c, "ReadMe.txt"), "rb") as f:
                    self.assertIn(readme, f.read())
        code, _, err = self.run_apart(["--language", "french"], b"")
        self.assertEqual(code, EXIT_USAGE)
        self.assertIn("needs english or japanese", err)


class TraceTest(RunTestCase):

    def test_each_line_with_its_expansion_and_outcome(self):
        medium = self.make_medium(
            "' the trace\n"
            "#define $$DIR$$ C:\\Tool\n"
            "MakeDir \"$$DIR$$\"\n"
            "\n"
            "IfFileFind \"$$DIR$$\" Else Message never\n"
            "EnglishCopy \"$$FD$$\\none.txt\" $$DIR$$\\en.txt\n"
            "SetRegistry \"HKLM\\Software\\Tool\\Folder\" \"$$DIR$$\"\n"
            "IfFileFind \"$$DIR$$\" Then Goto END\n"
            "Message skipped\n"
            ":END\n"
            "ErrorExit stopped here\n"
            "Message never reached\n")
        expected = [
            "trace: 1: ' the trace -> done",
            "trace: 2: #define $$DIR$$ C:\\Tool -> done",
            "trace: 3: MakeDir \"C:\\Tool\" -> done",
            "trace: 5: IfFileFind \"C:\\Tool\" Else Message never -> condition false",
            "trace: 6: EnglishCopy \"Z:%s\\none.txt\" C:\\Tool\\en.txt -> skipped (a Japanese run)"
            % medium.replace("/", "\\"),
            "trace: 7: SetRegistry \"HKLM\\Software\\Tool\\Folder\" \"C:\\Tool\""
            " -> failed, the run goes on",
            "trace: 8: IfFileFind \"C:\\Tool\" Then Goto END -> jumped to label END",
            "trace: 9: Message skipped -> skipped (looking for label END)",
            "trace: 10: :END -> done",
            "trace: 11: ErrorExit stopped here -> failed",
        ]
        code, out, err = self.run_apart(["--trace"], b"\nok\n", medium=medium)
        self.assertEqual(code, EXIT_STOPPED, out + err)
        self.assertEqual([line for line in err.splitlines() if line.startswith("trace: ")],
                         expected)
        # The run itself is the same without the trace.
        machine = os.path.join(self.scratch, "untraced")
        code_untraced, out_untraced, _ = self.run_apart([], b"\nok\n", machine=machine,
                                                        medium=medium)
        self.assertEqual((code_untraced, out_untraced), (code, out))


if __name__ == "__main__":
    unittest.main()
