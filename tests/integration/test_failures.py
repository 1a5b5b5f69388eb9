"""Failure paths of the Linux program: sources that are no regular file, a
signal in the middle of a copy, and an output that is closed."""

import os
import resource
import signal
import subprocess
import time
import unittest

from setup_run import (EXIT_CANCELLED, EXIT_INSTALLED_WITH_ERRORS, EXIT_STOPPED, SETUP,
                       SetupTestCase)


class FailureTestCase(SetupTestCase):

    def leftovers(self):
        """Temporaries: hidden files anywhere below drive_c, and those of the
        registry (registry.reg.XXXXXX) beside it."""
        found = []
        for folder, _, files in os.walk(self.drive_c()):
            found += [os.path.join(folder, name) for name in files if name.startswith(".")]
        if os.path.isdir(self.machine):
            found += [os.path.join(self.machine, name) for name in os.listdir(self.machine)
                      if name.startswith("registry.reg.") and name != "registry.reg.lock"]
        return found

    def start(self, medium, stdout=subprocess.PIPE):
        return subprocess.Popen([SETUP, "--medium", medium, "--machine", self.machine],
                                stdin=subprocess.PIPE, stdout=stdout, stderr=subprocess.PIPE,
                                env=self.environment())


class NonRegularSourceTest(FailureTestCase):

    def test_fifo_device_and_folder_fail_as_unopenable(self):
        def zname(path):
            return "Z:" + path.replace("/", "\\")
        medium = self.make_medium("")
        os.mkfifo(os.path.join(medium, "fifo"))  # no writer: reading would wait for ever
        os.mkdir(os.path.join(medium, "folder"))
        failed_copy = "It failed in the copy form %s to C:\\out"
        cant_open = "Can't open %s file"
        cases = [
            ("BinCopy", zname(os.path.join(medium, "fifo")), failed_copy),
            ("TextCopy", zname(os.path.join(medium, "fifo")), cant_open),
            ("BinCopy", zname(os.path.join(medium, "folder")), failed_copy),
            ("TextCopy", zname(os.path.join(medium, "folder")), cant_open),
            ("BinCopy", "Z:\\dev\\zero", failed_copy),  # would never end
            ("TextCopy", "Z:\\dev\\zero", cant_open),
        ]
        for command, source, message in cases:
            with self.subTest(command=command, source=source):
                self.make_medium('%s "%s" C:\\out\nMessage never shown\n' % (command, source))
                result = self.run_setup("\nok\n", medium=medium)
                self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
                self.assertIn(message % source, result.output)
                self.assertNotIn("never shown", result.output)
                self.assertFalse(os.path.exists(self.drive_c("out")))
                self.assertEqual(self.leftovers(), [])
        # The version reader does not wait on the FIFO either: it has no version.
        self.make_medium("IfFileVersion $$FD$$\\fifo 1 E Message no version\n")
        result = self.run_setup("\nok\n", medium=medium)
        self.assertIn("no version", result.output)


class InterruptionTest(FailureTestCase):

    def test_signal_during_a_copy_removes_the_temporary(self):
        medium = self.make_medium("")
        # Sparse: a copy of it takes minutes, and the text copy writes nothing
        # of it (its lines are NUL bytes), so the disk is not filled.
        with open(os.path.join(medium, "big"), "wb") as f:
            f.truncate(1 << 40)
        # A registry of 32 MiB: saving it takes long enough to be caught.
        big_registry = "Windows Registry Editor Version 5.00\r\n\r\n" + "".join(
            '[HKEY_USERS\\Big\\K%06d]\r\n"V"="%s"\r\n\r\n' % (i, "x" * 100)
            for i in range(250000))
        cases = [(signal.SIGINT, "TextCopy"), (signal.SIGTERM, "TextCopy"),
                 (signal.SIGHUP, "TextCopy"), (signal.SIGTERM, "BinCopy"),
                 (signal.SIGTERM, "SetRegistry")]
        for signal_number, command in cases:
            with self.subTest(signal=signal_number.name, command=command):
                if command == "SetRegistry":
                    os.makedirs(self.machine, exist_ok=True)
                    with open(os.path.join(self.machine, "registry.reg"), "w") as f:
                        f.write(big_registry)
                    self.make_medium('SetRegistry "HKEY_USERS\\Big\\New" "x"\n')
                else:
                    self.make_medium("MakeDir C:\\dest\n%s $$FD$$\\big C:\\dest\\big\n" % command)
                process = self.start(medium)
                process.stdin.write(b"\nok\n")
                process.stdin.close()
                try:
                    # Reading the big registry takes a while in the sanitizer build.
                    deadline = time.monotonic() + 120
                    while not self.leftovers() and time.monotonic() < deadline:
                        time.sleep(0.005)
                    self.assertTrue(self.leftovers(), "no copy started")
                    process.send_signal(signal_number)
                    process.wait(timeout=30)
                finally:  # no run is left behind, whatever failed
                    process.kill()
                    errors = process.stderr.read()
                    process.stdout.close()
                    process.stderr.close()
                self.assertEqual(process.returncode, EXIT_CANCELLED)
                self.assertIn(b"interrupted; the installation was cancelled.", errors)
                self.assertEqual(self.leftovers(), [])
                self.assertFalse(os.path.exists(self.drive_c("dest", "big")))
                if command == "SetRegistry":  # caught folding the run's log: the log stays
                    with open(os.path.join(self.machine, "registry.log"), "rb") as f:
                        self.assertIn(b'[HKEY_USERS\\Big]\r\n"New"="x"\r\n\r\n', f.read())
                # Each run's record is in place, whole, and says how it ended.
                records = os.path.join(self.machine, "installs")
                for name in os.listdir(records):
                    with open(os.path.join(records, name), encoding="utf-8") as f:
                        self.assertTrue(f.read().endswith("\nresult   cancelled\n"), name)


class ClosedOutputTest(FailureTestCase):

    def test_closed_output_stops_the_run_with_a_message(self):
        medium = self.make_medium("MakeDir C:\\before\nMessage one\nMakeDir C:\\after\n")
        read_end, write_end = os.pipe()
        os.close(read_end)  # the reader has gone before the first line
        try:
            process = self.start(medium, stdout=write_end)
        finally:
            os.close(write_end)
        _, errors = process.communicate(b"\nok\n", timeout=30)
        # Not killed by SIGPIPE (status 141 from a shell): stopped, and said so.
        self.assertEqual(process.returncode, EXIT_STOPPED)
        self.assertIn(b"cannot write the output (Broken pipe); the installation stopped.", errors)
        # The first output failed in the setup dialog: the run ended at its first line.
        self.assertFalse(os.path.exists(self.drive_c("before")))
        self.assertFalse(os.path.exists(self.drive_c("after")))


class MachineStateTest(FailureTestCase):
    """What the machine folder holds before and after a run: a killed run's
    leftovers, a record that cannot be written, a file size limit."""

    def test_leftovers_of_a_killed_run_are_removed_and_nothing_else(self):
        self.run_setup("\nok\n", medium=self.make_medium("MakeDir C:\\App\n"))
        leftovers = ["registry.reg.a1B2c3", "code_page.Zz9Yy8", "installs/.2026-12-08T09-12-03.abcdef",
                     "drive_c/App/.Tool.exe.Q1w2E3"]
        kept = ["registry.reg.lock", "installs/.keep", "drive_c/App/.profile.d", "drive_c/App/.x.y"]
        for name in leftovers + kept:
            with open(os.path.join(self.machine, name), "w") as f:
                f.write("x")
        # A run killed outright leaves its mark; a later run alone cleans up.
        with open(os.path.join(self.machine, "run.dirty"), "w"):
            pass
        result = self.run_setup("\nok\n", medium=self.make_medium(""))
        self.assertEqual(result.returncode, 0, result.output)
        for name in leftovers:
            self.assertFalse(os.path.exists(os.path.join(self.machine, name)), name)
        for name in kept:
            self.assertTrue(os.path.exists(os.path.join(self.machine, name)), name)
        self.assertFalse(os.path.exists(os.path.join(self.machine, "run.dirty")))

    def test_registry_changes_outlive_a_run_killed_outright(self):
        # Each change is in registry.log when the command ends; the next run
        # carries it out and folds it into registry.reg.
        medium = self.make_medium('SetRegistry "HKEY_CURRENT_USER\\Software\\Kept\\V" "1"\n'
                                  'MessageBox "wait"\n')
        process = self.start(medium)
        try:
            process.stdin.write(b"\n\n")  # the folder, then OK; the message box waits
            process.stdin.flush()
            log = os.path.join(self.machine, "registry.log")
            deadline = time.monotonic() + 60
            while not os.path.exists(log) and time.monotonic() < deadline:
                time.sleep(0.005)
            self.assertTrue(os.path.exists(log), "no change logged")
        finally:
            process.kill()
            process.wait(timeout=30)
            for stream in (process.stdin, process.stdout, process.stderr):
                stream.close()
        self.assertNotIn("HKEY_CURRENT_USER\\SOFTWARE\\KEPT", self.registry())
        result = self.run_setup("\nok\n", medium=self.make_medium(""))
        self.assertEqual(result.returncode, 0, result.output)
        self.assertEqual(self.registry()["HKEY_CURRENT_USER\\SOFTWARE\\KEPT"]["V"], b"1")
        self.assertFalse(os.path.exists(log))

    def test_a_record_that_cannot_be_written_makes_the_status_4(self):
        # installs/ linked out of the machine: the record is not written there.
        outside = os.path.join(self.scratch, "outside")
        os.makedirs(outside)
        os.makedirs(self.machine)
        os.symlink(outside, os.path.join(self.machine, "installs"))
        result = self.run_setup("\nok\n", medium=self.make_medium("MakeDir C:\\App\n"))
        self.assertEqual(result.returncode, EXIT_INSTALLED_WITH_ERRORS, result.output)
        self.assertIn("Setup completed.", result.output)
        self.assertEqual(os.listdir(outside), [])

    def test_drive_c_linked_out_is_refused_before_anything_is_made(self):
        outside = os.path.join(self.scratch, "outside")
        os.makedirs(outside)
        os.makedirs(self.machine)
        os.symlink(outside, os.path.join(self.machine, "drive_c"))
        result = self.run_setup("\nok\n", medium=self.make_medium("MakeDir C:\\App\n"))
        self.assertEqual(result.returncode, EXIT_STOPPED, result.output)
        self.assertIn("is a symbolic link", result.output)
        self.assertEqual(os.listdir(outside), [])

    def test_a_file_past_the_size_limit_fails_its_copy(self):
        medium = self.make_medium("MakeDir C:\\dest\nBinCopy $$FD$$\\big C:\\dest\\big\n",
                                  {"big": b"x" * 200000})
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (100000, 100000))
        done = subprocess.run([SETUP, "--medium", medium, "--machine", self.machine],
                              input=b"\nok\n", capture_output=True, env=self.environment(),
                              preexec_fn=limit, timeout=60)
        self.assertEqual(done.returncode, EXIT_STOPPED, done.stderr)
        self.assertIn(b"It failed in the copy form", done.stderr)
        self.assertFalse(os.path.exists(self.drive_c("dest", "big")))
        self.assertEqual(self.leftovers(), [])


if __name__ == "__main__":
    unittest.main()
