"""Runs the built Linux setup program against a medium and a fresh simulated
machine, and reads back what an installation left: files and registry."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

SETUP = os.environ.get("SETUP_BIN", "setup")
SAMPLE = os.environ.get("SETUP_SAMPLE", os.path.join(os.path.dirname(__file__), "..", "..",
                                                     "examples", "medium"))

# Exit statuses of the program.
EXIT_INSTALLED, EXIT_STOPPED, EXIT_USAGE, EXIT_CANCELLED = 0, 1, 2, 3
EXIT_INSTALLED_WITH_ERRORS = 4  # completed, but an error message was shown

# Answers that install the sample: both folders kept, OK in the setup dialog,
# OK in the script message.
SAMPLE_ANSWERS = "\n\nok\nok\n"


def sjis(text):
    """Text as the Shift-JIS bytes the installer works in."""
    return text.encode("cp932")


class Result:
    def __init__(self, returncode, output):
        self.returncode = returncode
        self.output = output  # standard output and error, decoded as UTF-8


class SetupTestCase(unittest.TestCase):
    """A fresh machine folder (and scratch space) for every test."""

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="setup-test-")
        self.machine = os.path.join(self.scratch, "machine")
        self.addCleanup(shutil.rmtree, self.scratch, ignore_errors=True)

    def environment(self, lang="en_US.UTF-8"):
        env = dict(os.environ)
        for name in ("LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANGUAGE"):
            env.pop(name, None)
        env["LANG"] = lang
        env["COLUMNS"] = "300"  # boxes wide enough that no message wraps
        return env

    def run_setup(self, answers, medium=SAMPLE, lang="en_US.UTF-8", args=None, cwd=None):
        """Runs setup with answers on standard input (in folder cwd); returns a Result."""
        command = [SETUP] + (args if args is not None else
                             ["--medium", medium, "--machine", self.machine])
        done = subprocess.run(command, input=answers.encode("utf-8"), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, env=self.environment(lang), timeout=60,
                              cwd=cwd)
        return Result(done.returncode, done.stdout.decode("utf-8", "replace"))

    def make_medium(self, script, files=None):
        """A medium folder holding Setup.Inf with script (text, written in
        code page 1252) and files ({name: bytes}); its path."""
        medium = os.path.join(self.scratch, "medium")
        os.makedirs(medium, exist_ok=True)
        with open(os.path.join(medium, "Setup.Inf"), "wb") as f:
            f.write(script.encode("cp1252"))
        for name, data in (files or {}).items():
            with open(os.path.join(medium, name), "wb") as f:
                f.write(data)
        return medium

    def copy_sample(self):
        """A private copy of the sample medium that a test may change."""
        medium = os.path.join(self.scratch, "medium")
        shutil.copytree(SAMPLE, medium)
        return medium

    def drive_c(self, *parts):
        return os.path.join(self.machine, "drive_c", *parts)

    def read(self, *parts):
        with open(self.drive_c(*parts), "rb") as f:
            return f.read()

    def installed_files(self):
        """Every file below drive_c, as paths relative to it."""
        found = []
        for folder, _, files in os.walk(self.drive_c()):
            for name in files:
                found.append(os.path.relpath(os.path.join(folder, name), self.drive_c()))
        return sorted(found)

    def registry(self):
        """The machine's registry as {key path (upper case): {value name: data}}."""
        return read_registry(os.path.join(self.machine, "registry.reg"))


def _unescape(quoted):
    return re.sub(rb"\\(.)", rb"\1", quoted)


def read_registry(path):
    """Reads registry.reg (the registry editor's export layout, ANSI bytes).
    String data comes back as bytes; hex(1) data as bytes without the final
    zero; other types as (type, bytes)."""
    keys = {}
    if not os.path.exists(path):
        return keys
    with open(path, "rb") as f:
        text = f.read().replace(b"\r\n", b"\n")
    # Hex data may continue over several lines ending in a backslash.
    text = re.sub(rb",\\\n\s*", b",", text)
    current = None
    for line in text.split(b"\n"):
        if line.startswith(b"[") and line.endswith(b"]"):
            current = keys.setdefault(line[1:-1].decode("cp932").upper(), {})
            continue
        if current is None or not line.strip() or line.startswith(b"Windows Registry"):
            continue
        match = re.match(rb'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
        if not match:
            raise ValueError("registry.reg: unexpected line %r" % line)
        name = "" if match.group(1) == b"@" else _unescape(match.group(2)).decode("cp932")
        data = match.group(3)
        if data.startswith(b'"'):
            value = _unescape(data[1:-1])
        elif data.startswith(b"hex(1):"):
            raw = bytes(int(h, 16) for h in data[7:].split(b",") if h)
            value = raw[:-1] if raw.endswith(b"\0") else raw
        else:
            value = (data.split(b":")[0].decode(), data)
        current[name] = value
    return keys
