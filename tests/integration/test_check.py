"""setup --check on whole media: the exit status, the summary, diagnostics in
compiler form, and no machine folder touched."""

import os
import unittest

from setup_run import SetupTestCase, sjis


class CheckTest(SetupTestCase):

    def check(self, medium, *extra, lang="en_US.UTF-8"):
        # A check takes no --machine: it uses none.
        return self.run_setup("", args=["--check", "--medium", medium] + list(extra), lang=lang,
                              cwd=self.scratch)

    def test_statuses_and_summary(self):
        medium = os.path.join(self.scratch, "medium")
        os.mkdir(medium)
        with open(os.path.join(medium, "TOOL.EXE"), "wb") as f:
            f.write(b"MZ")
        with open(os.path.join(medium, "ReadMe.txt"), "wb") as f:
            f.write(sjis("/* 日本語 $# English */ $$SETUPDIR$$\r\n"))
        with open(os.path.join(medium, "Setup.Inf"), "wb") as f:
            f.write(b'SetupDir "C:\\Tool"\r\nMakeDir "$$SETUPDIR$$"\r\n'
                    b'BinCopy "$$FD$$\\tool.exe" "$$SETUPDIR$$\\tool.exe"\r\n'
                    b'TextCopy "$$FD$$\\ReadMe.txt" $$SETUPDIR$$\\ReadMe.txt\r\n')
        result = self.check("medium")
        self.assertEqual((result.returncode, result.output),
                         (0, "medium/Setup.Inf: 0 errors, 0 warnings\n"))

        with open(os.path.join(medium, "Setup.Inf"), "ab") as f:
            f.write(b'MakeDir "$$NEVER$$"\r\n')
        result = self.check("medium")
        self.assertEqual((result.returncode, result.output),
                         (1, "medium/Setup.Inf:5: warning: macro '$$NEVER$$' is never defined\n"
                             "medium/Setup.Inf: 0 errors, 1 warning\n"))
        self.assertEqual(self.check("medium", "--werror").returncode, 2)

        # An error in the script and one in a copied text, each at its own line.
        with open(os.path.join(medium, "Setup.Inf"), "ab") as f:
            f.write(b'BinCpy "$$FD$$\\tool.exe" "$$SETUPDIR$$\\x"\r\n')
        with open(os.path.join(medium, "ReadMe.txt"), "ab") as f:
            f.write(b"/* never closed\r\n")
        result = self.check("medium", lang="ja_JP.UTF-8")
        # In the order of the script's lines: the text's at its TextCopy line.
        self.assertEqual((result.returncode, result.output), (2,
            "medium/ReadMe.txt:2: エラー: /* */ 構文エラー: コメントが閉じていません\n"
            "medium/Setup.Inf:4: 備考: このテキストはこの行でコピーされます\n"
            "medium/Setup.Inf:5: 警告: マクロ '$$NEVER$$' はどこにも定義されていません\n"
            "medium/Setup.Inf:6: エラー: 不明なコマンド 'BinCpy' です。'BinCopy' のことですか?\n"
            "medium/Setup.Inf: エラー 2 件、警告 1 件\n"))
        self.assertFalse(os.path.exists(self.machine))

    def test_missing_script(self):
        empty = os.path.join(self.scratch, "empty")
        os.mkdir(empty)
        result = self.check(empty)
        self.assertEqual(result.returncode, 2)
        self.assertIn("Setup.Inf: error: the script cannot be opened", result.output)
        self.assertFalse(os.path.exists(self.machine))


if __name__ == "__main__":
    unittest.main()


class CheckRunAgreementTest(SetupTestCase):
    """The check reads the medium as the run does: what one finds, so does
    the other, through the same names, dots, "..", case and links."""

    def test_check_and_run_agree(self):
        outside = os.path.join(self.scratch, "OUTSIDE.EXE")
        with open(outside, "wb") as f:
            f.write(b"MZ")
        cases = [
            # (what, source as the script names it, check status, run status)
            ("the name as it is", "APP.EXE", 0, 0),
            ("another case", "app.exe", 0, 0),
            ("a trailing dot", "APP.EXE.", 0, 0),
            ("a .. that stays on the medium", "sub\\..\\APP.EXE", 0, 0),
            ("a missing file", "NONE.EXE", 2, 1),
            ("a link out of the medium", "LINK.EXE", 2, 1),
            ("a .. out of the medium", "..\\OUTSIDE.EXE", 2, 1),
        ]
        for number, (what, source, check_status, run_status) in enumerate(cases):
            with self.subTest(what):
                medium = os.path.join(self.scratch, "medium%d" % number)
                os.makedirs(os.path.join(medium, "sub"))
                with open(os.path.join(medium, "APP.EXE"), "wb") as f:
                    f.write(b"MZ")
                os.symlink(outside, os.path.join(medium, "LINK.EXE"))
                with open(os.path.join(medium, "Setup.Inf"), "wb") as f:
                    f.write(b'BinCopy "$$FD$$\\' + source.encode() + b'" "C:\\APP.EXE"\r\n')
                checked = self.run_setup("", args=["--check", "--medium", medium])
                ran = self.run_setup("", args=["--yes", "--medium", medium, "--machine",
                                               os.path.join(self.scratch, "machine%d" % number)])
                self.assertEqual((checked.returncode, ran.returncode), (check_status, run_status),
                                 checked.output + ran.output)
