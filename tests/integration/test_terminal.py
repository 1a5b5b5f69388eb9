"""The sample installed by a person at a real terminal (tmux): what they see
at each step, typed keys included."""

import os
import shutil
import subprocess
import time
import unittest

from setup_run import SAMPLE, SETUP, SetupTestCase

SKIP = 77  # ctest's SKIP_RETURN_CODE


class TerminalSessionTest(SetupTestCase):

    def setUp(self):
        super().setUp()
        # A private tmux server: only what this test starts, ended by it.
        self.socket = "setup-test-%d" % os.getpid()
        self.addCleanup(subprocess.run, ["tmux", "-L", self.socket, "kill-server"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket] + list(args), check=True,
                              stdout=subprocess.PIPE, timeout=30).stdout.decode("utf-8", "replace")

    def screen(self):
        return self.tmux("capture-pane", "-p", "-t", "setup")

    def wait_for(self, text, timeout=30):
        """Waits until text is on the screen; returns the screen. The pane
        shows no blanks at the ends of lines, so text is compared without its
        own."""
        text = text.rstrip()
        deadline = time.time() + timeout
        while True:
            shown = self.screen()
            if text in shown:
                return shown
            if time.time() > deadline:
                self.fail("%r did not appear; the screen:\n%s" % (text, shown))
            time.sleep(0.1)

    def keys(self, *keys):
        self.tmux("send-keys", "-t", "setup", *keys)

    def test_person_installs_the_sample(self):
        command = ("LANG=ja_JP.UTF-8 '%s' --medium '%s' --machine '%s'; echo \"exit=$?\"; sleep 60"
                   % (SETUP, SAMPLE, self.machine))
        self.tmux("new-session", "-d", "-s", "setup", "-x", "100", "-y", "50", command)

        shown = self.wait_for("Program folder [C:\\Program Files\\Hanami Notes]: ")
        self.assertIn("+- Hanami Notes 1.2 Setup ---", shown)
        self.assertIn("| Program folder: C:\\Program Files\\Hanami Notes", shown)
        self.assertIn("| Notes folder: C:\\Hanami Data", shown)
        self.keys("Enter")
        self.wait_for("Notes folder [C:\\Hanami Data]: ")
        # A folder typed with Japanese characters reaches the disk as such.
        self.keys("C:\\メモ", "Enter")
        self.wait_for("OK or Cancel? [OK]: ")
        self.keys("Enter")

        shown = self.wait_for("Choose OK to go on, or Cancel to stop.")
        # The script message centres its two lines in a box without caption.
        lines = shown.splitlines()
        box = [l for l in lines if "will be installed" in l or "Choose OK" in l]
        self.assertEqual(len(box), 2, shown)
        for line in box:
            self.assertTrue(line.startswith("| ") and line.endswith(" |"), line)
            inner = line[2:-2]
            self.assertLessEqual(abs(len(inner) - len(inner.lstrip()) -
                                     (len(inner) - len(inner.rstrip()))), 1, line)
        self.keys("Enter")

        shown = self.wait_for("[OK] Press Enter: ")
        self.assertIn("Setup completed.", shown)
        # The progress bar stands full at the last line of the script.
        with open(os.path.join(SAMPLE, "Setup.Inf"), "rb") as f:
            count = len(f.read().splitlines())
        self.assertRegex(shown, r"\[#+\] 100%%  line %d of %d" % (count, count))
        self.assertIn("+- Hanami Notes 1.2 Setup ---", shown.split("Setup completed.")[0])
        self.keys("Enter")
        self.wait_for("exit=0")
        self.assertTrue(os.path.isfile(self.drive_c("メモ", "Samples.dat")))
        self.assertTrue(os.path.isfile(self.drive_c("Program Files", "Hanami Notes",
                                                    "ReadMe.txt")))


if __name__ == "__main__":
    if shutil.which("tmux") is None:
        print("tmux is not installed")
        raise SystemExit(SKIP)
    unittest.main()
