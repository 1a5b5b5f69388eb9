"""Regsvr on the simulated machine: Windows components are registered from
their headers without running anything; native host code is refused unless
--native-components allows it, and never runs under --dry-run."""

import os
import shutil

from setup_run import EXIT_INSTALLED, EXIT_STOPPED, EXIT_USAGE, SetupTestCase

COMPONENTS = os.environ.get("SETUP_COMPONENTS", "")
PE_FILES = os.environ.get("SETUP_PE_FILES", "")

# A shell script that, when run, writes outside the machine and the medium.
SCRIPT = b"#!/bin/sh\necho ran >\"$SETUP_OUTSIDE/ran.txt\"\n"


class RegsvrTargetTest(SetupTestCase):

    def medium_with(self, target):
        """A medium that registers target (a built file, "script" or "fifo")
        as component.bin, then shows a message; its path."""
        medium = self.make_medium('Regsvr "$$FD$$\\component.bin"\nMessage after\n')
        path = os.path.join(medium, "component.bin")
        if target == "script":
            with open(path, "wb") as f:
                f.write(SCRIPT)
            os.chmod(path, 0o755)
        elif target == "fifo":
            os.mkfifo(path)  # no writer: an open for reading would wait for ever
        else:
            shutil.copy(target, path)
        return medium

    def environment(self, lang="en_US.UTF-8"):
        env = super().environment(lang)
        env["SETUP_OUTSIDE"] = self.outside
        return env

    def setUp(self):
        super().setUp()
        self.outside = os.path.join(self.scratch, "outside")
        os.makedirs(self.outside)

    def test_each_target_is_registered_by_simulation_or_refused(self):
        simulated = "registration simulated: nothing was run"
        cant = "registration can't be done"
        # target, status, what the trace or the message says, --check's status
        table = [
            (os.path.join(COMPONENTS, "windows", "reg_ok.dll"), EXIT_INSTALLED, simulated, 0),
            (os.path.join(COMPONENTS, "windows", "regserver_probe.exe"), EXIT_INSTALLED, simulated,
             0),
            (os.path.join(PE_FILES, "no_resources.dll"), EXIT_STOPPED, cant, 1),  # no export
            (os.path.join(COMPONENTS, "reg_ok.so"), EXIT_STOPPED, cant, 1),
            ("script", EXIT_STOPPED, cant, 1),
            ("fifo", EXIT_STOPPED, cant, 1),
        ]
        for target, status, said, check_status in table:
            with self.subTest(target=os.path.basename(target)):
                shutil.rmtree(self.machine, ignore_errors=True)
                medium = self.medium_with(target)
                before = sorted(os.listdir(medium))
                # The check foretells the failure: a warning, never a wait.
                checked = self.run_setup("", args=["--check", "--medium", medium])
                self.assertEqual(checked.returncode, check_status, checked.output)
                self.assertEqual("is not a Windows component" in checked.output,
                                 check_status == 1, checked.output)
                result = self.run_setup("\nok\nok\n", args=["--medium", medium, "--machine",
                                                          self.machine, "--trace"])
                self.assertEqual(result.returncode, status, result.output)
                self.assertIn(said, result.output)
                # Nothing ran: the module's marker, the script's file.
                self.assertEqual(sorted(os.listdir(medium)), before)
                self.assertEqual(os.listdir(self.outside), [])
                shutil.rmtree(medium)

    def test_a_dry_run_simulates_and_never_runs_native_code(self):
        medium = self.medium_with(os.path.join(COMPONENTS, "windows", "reg_ok.dll"))
        result = self.run_setup("\nok\nok\n", args=["--medium", medium, "--machine",
                                                  self.machine, "--dry-run"])
        self.assertEqual(result.returncode, EXIT_INSTALLED, result.output)
        self.assertIn("registered (simulated)  Z:", result.output)
        self.assertFalse(os.path.exists(self.machine))

        result = self.run_setup("", args=["--medium", medium, "--machine", self.machine,
                                          "--dry-run", "--native-components"])
        self.assertEqual(result.returncode, EXIT_USAGE, result.output)
