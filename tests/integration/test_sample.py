"""End-to-end installations of the sample medium with answers from a pipe."""

import os
import select
import subprocess
import time
import unittest

from setup_run import (EXIT_CANCELLED, EXIT_INSTALLED, EXIT_STOPPED, EXIT_USAGE, SAMPLE, SAMPLE_ANSWERS,
                       SETUP, SetupTestCase, sjis)

HKLM_KEY = "HKEY_LOCAL_MACHINE\\SOFTWARE\\SAKURA SOFT\\HANAMI NOTES"
HKCU_KEY = "HKEY_CURRENT_USER\\SOFTWARE\\SAKURA SOFT\\HANAMI NOTES"

PROGRAM = ["Program Files", "Hanami Notes"]
DATA = ["Hanami Data"]

# ReadMe.txt after the text copy of a Japanese installation: the Japanese half
# of each comment, the English-only comment and its line gone, macros
# replaced, CR LF outside comments and a bare LF inside the one that spans
# two lines.
README_JA = sjis(
    "/* はなみノート 1.2 をお使いいただき、ありがとうございます。 */\r\n"
    "\r\n"
    "/* インストール先 */: C:\\Program Files\\Hanami Notes\r\n"
    "/* メモの保存先 */: C:\\Hanami Data\r\n"
    "\r\n"
    "/* はなみノートは、メモを一つずつテキストファイルとして保存します。\n"
    "   どのエディターでも開くことができます。 */\r\n"
    "\r\n"
    "/* 起動するには Hanami.exe をダブルクリックしてください。 */\r\n"
    "\r\n"
    "/* このファイルは Shift-JIS で書かれています。 */\r\n"
    "/* Support */: support@sakura-soft.example\r\n")

THEME_JA = sjis(
    "/* はなみノートの標準テーマ */\r\n"
    "body {\r\n"
    "  background: #fff8fa; /* 桜色の背景 */\r\n"
    "  color: #402030;\r\n"
    "  font-family: \"MS PGothic\", sans-serif; \r\n"
    "}\r\n"
    "h1 { color: #c04070; } /* 見出し */\r\n")


def sample_file(*parts):
    with open(os.path.join(SAMPLE, *parts), "rb") as f:
        return f.read()


class SampleInstallTest(SetupTestCase):

    def test_sample_installs_completely(self):
        result = self.run_setup(SAMPLE_ANSWERS)
        self.assertEqual(result.returncode, EXIT_INSTALLED, result.output)
        self.assertIn("Setup completed.", result.output)
        self.assertIn("+- Hanami Notes 1.2 Setup -", result.output)
        self.assertIn("Program folder [C:\\Program Files\\Hanami Notes]:", result.output)
        self.assertIn("Notes folder [C:\\Hanami Data]:", result.output)
        # The script message: two lines, from the 0x01 byte.
        self.assertIn("Hanami Notes 1.2.0 will be installed.", result.output)
        self.assertIn("Choose OK to go on, or Cancel to stop.", result.output)
        # A first installation: no update notice; the disk is there: no prompt.
        self.assertNotIn("is updated to", result.output)
        self.assertNotIn("Cheng at", result.output)

        self.assertEqual(self.installed_files(), sorted([
            os.path.join(*PROGRAM, "Hanami.exe"),
            os.path.join(*PROGRAM, "Hanami.ico"),
            os.path.join(*PROGRAM, "License.txt"),
            os.path.join(*PROGRAM, "ReadMe.txt"),
            os.path.join(*PROGRAM, "Templates", "Diary.txt"),
            os.path.join(*PROGRAM, "Themes", "Default.css"),
            os.path.join(*DATA, "Samples.dat"),
            os.path.join(*DATA, "Settings.ini"),
            os.path.join("Windows", "System32", "HanamiRT.dll"),
        ]))
        # Byte for byte copies.
        for source, target in [(["Hanami.exe"], PROGRAM + ["Hanami.exe"]),
                               (["Hanami.ico"], PROGRAM + ["Hanami.ico"]),
                               (["Templates", "Diary.txt"], PROGRAM + ["Templates", "Diary.txt"]),
                               (["HanamiRT.dll"], ["Windows", "System32", "HanamiRT.dll"]),
                               (["DISK2", "Samples.dat"], DATA + ["Samples.dat"]),
                               (["DISK2", "Settings.ini"], DATA + ["Settings.ini"])]:
            self.assertEqual(self.read(*target), sample_file(*source), target)
        # Text copies: the Japanese choice; the English licence is passed over.
        self.assertEqual(self.read(*PROGRAM, "ReadMe.txt"), README_JA)
        self.assertEqual(self.read(*PROGRAM, "Themes", "Default.css"), THEME_JA)
        self.assertEqual(self.read(*PROGRAM, "License.txt"), sample_file("License.ja.txt"))

        registry = self.registry()
        self.assertEqual(registry[HKLM_KEY], {
            "InstallDir": b"C:\\Program Files\\Hanami Notes",
            "Version": b"1.2.0",
        })
        self.assertEqual(registry[HKCU_KEY], {
            "NotesFolder": b"C:\\Hanami Data",
            "Language": b"en",
        })
        self.assertEqual(registry[HKCU_KEY + "\\RECENT"], {})

    def test_typed_folders_are_used(self):
        result = self.run_setup("C:\\Tools\\Hanami\nC:\\Notes\nok\nok\n")
        self.assertEqual(result.returncode, EXIT_INSTALLED, result.output)
        self.assertTrue(os.path.isfile(self.drive_c("Tools", "Hanami", "Hanami.exe")))
        self.assertTrue(os.path.isfile(self.drive_c("Notes", "Samples.dat")))
        self.assertIn(sjis("/* インストール先 */: C:\\Tools\\Hanami\r\n"),
                      self.read("Tools", "Hanami", "ReadMe.txt"))
        self.assertEqual(self.registry()[HKLM_KEY]["InstallDir"], b"C:\\Tools\\Hanami")

    def test_second_installation_updates_into_the_folder_of_the_first(self):
        first = self.run_setup("C:\\Hanami\n\nok\nok\n")
        self.assertEqual(first.returncode, EXIT_INSTALLED, first.output)
        with open(self.drive_c("Hanami Data", "Settings.ini"), "wb") as f:
            f.write(b"[View]\r\nTheme=Mine\r\n")
        second = self.run_setup(SAMPLE_ANSWERS)
        self.assertEqual(second.returncode, EXIT_INSTALLED, second.output)
        # The registry form of SetupDir offers the earlier folder.
        self.assertIn("Program folder [C:\\Hanami]:", second.output)
        self.assertIn("(i) Hanami Notes 1.2.0 is updated to 1.2.0.", second.output)
        # IfFileFind ... Else: the user's settings are kept.
        self.assertEqual(self.read("Hanami Data", "Settings.ini"), b"[View]\r\nTheme=Mine\r\n")

    def test_japanese_locale(self):
        result = self.run_setup(SAMPLE_ANSWERS, lang="ja_JP.UTF-8")
        self.assertEqual(result.returncode, EXIT_INSTALLED, result.output)
        self.assertEqual(self.registry()[HKCU_KEY]["Language"], b"ja")
        # The machine keeps code page 932 under any later locale: a key
        # whose second byte is 0x5C stays one name, not a damaged file.
        with open(os.path.join(self.machine, "registry.reg"), "ab") as f:
            f.write(b"[HKEY_CURRENT_USER\\Software\\" + sjis("\u8868") + b"]\r\n\r\n")
        again = self.run_setup(SAMPLE_ANSWERS, lang="C.UTF-8")
        self.assertEqual(again.returncode, EXIT_INSTALLED, again.output)
        self.assertNotIn("damaged", again.output)
        self.assertIn("HKEY_CURRENT_USER\\SOFTWARE\\\u8868", self.registry())
        refused = self.run_setup(SAMPLE_ANSWERS, lang="ja_JP.UTF-8",
                                 args=["--medium", SAMPLE, "--machine", self.machine,
                                       "--code-page", "1252"])
        self.assertEqual(refused.returncode, EXIT_USAGE, refused.output)
        self.assertIn("uses code page 932, not 1252", refused.output)


class CancelTest(SetupTestCase):

    def assert_nothing_installed(self):
        self.assertEqual(self.installed_files(), [])
        for key in self.registry():
            self.assertNotIn("SAKURA", key)

    def test_cancel_in_the_setup_dialog_installs_nothing(self):
        result = self.run_setup("\n\ncancel\n")
        self.assertEqual(result.returncode, EXIT_CANCELLED, result.output)
        self.assertIn("Nothing was installed.", result.output)
        self.assertNotIn("Setup completed.", result.output)
        self.assertNotIn("will be installed", result.output)
        self.assert_nothing_installed()

    def test_end_of_input_is_cancel(self):
        for answers in ["", "\n", "\n\n"]:
            result = self.run_setup(answers)
            self.assertEqual(result.returncode, EXIT_CANCELLED, result.output)
            self.assertIn("(end of input)", result.output)
        self.assert_nothing_installed()

    def test_cancel_in_the_script_message_stops_before_anything_is_done(self):
        result = self.run_setup("\n\nok\ncancel\n")
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        self.assertIn("will be installed", result.output)
        self.assertNotIn("Setup completed.", result.output)
        self.assert_nothing_installed()


class StoppedRunTest(SetupTestCase):

    def test_failing_copy_shows_its_message_and_no_completion_notice(self):
        medium = self.copy_sample()
        os.remove(os.path.join(medium, "Hanami.ico"))
        result = self.run_setup(SAMPLE_ANSWERS, medium=medium)
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        self.assertIn("+- setup -", result.output)
        self.assertIn("(!) It failed in the copy form Z:", result.output)
        self.assertIn("Hanami.ico to C:\\Program Files\\Hanami Notes\\Hanami.ico", result.output)
        self.assertNotIn("Setup completed.", result.output)
        # What ran before the failing line stays; nothing after it ran.
        self.assertTrue(os.path.isfile(self.drive_c(*PROGRAM, "Hanami.exe")))
        self.assertFalse(os.path.exists(self.drive_c(*PROGRAM, "ReadMe.txt")))
        self.assertNotIn(HKLM_KEY, self.registry())

    def test_script_error_names_the_script_and_line(self):
        medium = os.path.join(self.scratch, "broken")
        os.mkdir(medium)
        with open(os.path.join(medium, "Setup.Inf"), "wb") as f:
            f.write(b"MakeDir \"$$SETUPROOT$$\"\r\nMakeDir \"\"\r\nMessage never shown\r\n")
        result = self.run_setup("\nok\n", medium=medium, lang="ja_JP.UTF-8")
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        # The Japanese message, converted from Shift-JIS for the terminal.
        self.assertIn("Setup.Inf\u306e2\u884c\u76ee\u306b\u30c7\u30a3\u30ec\u30af\u30c8"
                      "\u30ea\u30fc\u540d\u304c\u6709\u308a\u307e\u305b\u3093", result.output)
        self.assertNotIn("never shown", result.output)
        self.assertNotIn("Setup completed.", result.output)

    def test_missing_script(self):
        empty = os.path.join(self.scratch, "empty")
        os.mkdir(empty)
        result = self.run_setup("\n\n", medium=empty)
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        self.assertIn("Can't Open Z:", result.output)
        self.assertIn("\\Setup.Inf file.", result.output)
        self.assertNotIn("OK or Cancel?", result.output)


class DiskPromptTest(SetupTestCase):

    def test_disk_prompt_answered_ok_until_the_disk_is_there(self):
        medium = self.copy_sample()
        marker = os.path.join(medium, "DISK2", "Disk2.id")
        os.rename(marker, marker + ".away")
        env = self.environment()
        process = subprocess.Popen([SETUP, "--medium", medium, "--machine", self.machine],
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, env=env)
        self.addCleanup(process.stdout.close)
        self.addCleanup(process.kill)
        seen = b""

        def wait_for(text, count=1):
            nonlocal seen
            deadline = time.time() + 30
            while seen.count(text) < count:
                self.assertLess(time.time(), deadline, seen.decode("utf-8", "replace"))
                ready, _, _ = select.select([process.stdout], [], [], 1)
                if ready:
                    chunk = os.read(process.stdout.fileno(), 4096)
                    self.assertTrue(chunk, seen.decode("utf-8", "replace"))
                    seen += chunk

        def answer(line):
            process.stdin.write(line)
            process.stdin.flush()

        prompt = b"Cheng at 'Please insert disk 2 (sample notes) of Hanami Notes'"
        answer(SAMPLE_ANSWERS.encode())
        wait_for(prompt)
        wait_for(b"OK or Cancel? [OK]: ", 3)  # dialog, script message, disk
        answer(b"ok\n")  # the disk is still missing: asked again
        wait_for(prompt, 2)
        wait_for(b"OK or Cancel? [OK]: ", 4)
        os.rename(marker + ".away", marker)
        answer(b"ok\n")
        process.stdin.close()
        self.assertEqual(process.wait(timeout=30), EXIT_INSTALLED)
        seen += process.stdout.read()
        output = seen.decode("utf-8", "replace")
        self.assertEqual(output.count("Cheng at"), 2, output)
        self.assertIn("+- Hanami Notes 1.2 Setup -", output.split("Cheng at")[0][-200:])
        self.assertIn("Setup completed.", output)
        self.assertTrue(os.path.isfile(self.drive_c(*DATA, "Samples.dat")))

    def test_disk_prompt_cancelled(self):
        medium = self.copy_sample()
        os.remove(os.path.join(medium, "DISK2", "Disk2.id"))
        result = self.run_setup(SAMPLE_ANSWERS + "cancel\n", medium=medium)
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        self.assertIn("(!) Making a setup was stopped.", result.output)
        self.assertNotIn("Setup completed.", result.output)
        self.assertFalse(os.path.exists(self.drive_c(*DATA, "Samples.dat")))


class CommandLineTest(SetupTestCase):

    def test_help_and_version(self):
        result = self.run_setup("", args=["--help"])
        self.assertEqual(result.returncode, 0)
        self.assertIn("--medium DIR", result.output)
        self.assertIn("--machine DIR", result.output)
        self.assertIn("--code-page CP", result.output)
        result = self.run_setup("", args=["--version"])
        self.assertEqual(result.returncode, 0)
        self.assertRegex(result.output, r"^Setup Version \d")

    def test_wrong_command_lines(self):
        for args in (["--bogus"], ["--medium"], ["extra"], ["--code-page", "65001"],
                     ["--medium", os.path.join(self.scratch, "missing")]):
            result = self.run_setup("", args=args + ["--machine", self.machine])
            self.assertEqual(result.returncode, 2, (args, result.output))
            self.assertIn("setup: ", result.output)
        # A run that could not start made no machine.
        self.assertFalse(os.path.exists(self.machine))

    def test_relative_folders_are_the_callers(self):
        # As scripts/run-sample passes them: relative to where setup was started.
        self.copy_sample()
        result = self.run_setup(SAMPLE_ANSWERS, args=["--medium", "medium", "--machine", "machine"],
                                cwd=self.scratch)
        self.assertEqual(result.returncode, 0, result.output)
        self.assertTrue(os.path.isfile(self.drive_c("Program Files", "Hanami Notes", "ReadMe.txt")))


if __name__ == "__main__":
    unittest.main()
