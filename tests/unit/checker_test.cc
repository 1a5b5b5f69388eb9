// The medium check: script snippets and medium files against the exact
// diagnostics they give.
#include "check/checker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "check/suggestions.h"
#include "tests/fakes/fake_file_system.h"

namespace setup::testing {
namespace {

using namespace std::string_literals;

// Every diagnostic as "file:line: severity: text".
class Collected : public CheckReport {
 public:
  void Diagnostic(const char* file, int line, int, Severity severity, const char* text) override {
    std::string where = file != nullptr ? file : "Setup.Inf";
    if (line > 0) where += ":" + std::to_string(line);
    const char* word = severity == Severity::kError     ? ": error: "
                       : severity == Severity::kWarning ? ": warning: "
                                                        : ": note: ";
    lines.push_back(where + word + text);
  }
  std::vector<std::string> lines;
};

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

struct MediumFile {
  const char* path;
  std::string bytes;
};

struct CheckCase {
  const char* what;
  std::string script;
  std::vector<MediumFile> files;  // besides D:\Setup.Inf
  std::vector<std::string> expected;
};

std::vector<std::string> Check(const CheckCase& c, CheckCounts* counts, bool werror = false) {
  FakeFileSystem medium;
  medium.AddFile("D:\\Setup.Inf", c.script);
  for (const MediumFile& file : c.files) medium.AddFile(file.path, file.bytes);
  Collected report;
  CheckOptions options;
  options.werror = werror;
  auto checker = std::make_unique<Checker>(medium, options, report);
  *counts = checker->Run();
  EXPECT_EQ(medium.OpenCount(), 0) << c.what;
  return report.lines;
}

TEST(CheckerTest, Diagnostics) {
  const std::string long_name(300, 'x');
  // Long expected texts are split over several literals.
  // NOLINTBEGIN(bugprone-suspicious-missing-comma)
  const CheckCase cases[] = {
      {"a clean script",
       "' sample\r\nWindowTitle Tool\r\nSetupDir \"C:\\Program Files\\Tool\" \"Folder\"\r\n"
       "#define $$APP$$ Tool\r\nMakeDir \"$$SETUPDIR$$\"\r\n"
       "BinCopy \"$$FD$$\\Tool.exe\" \"$$SETUPDIR$$\\Tool.exe\"\r\n"
       "TextCopy \"$$FD$$\\ReadMe.txt\" $$SETUPDIR$$\\ReadMe.txt\r\n"
       "IfFileFind \"$$SETUPDIR$$\\x\" Then Goto DONE\r\n"
       "SetRegistry \"HKEY_CURRENT_USER\\Software\\$$APP$$\\Dir\" \"$$SETUPDIR$$\"\r\n"
       ":DONE\r\n",
       {{"D:\\TOOL.EXE", "MZ"}, {"D:\\ReadMe.txt", "/* \x93\xFA $# en */ $$SETUPDIR$$\r\n"}},
       {}},
      {"unknown command words",
       "BinCpy \"a\" \"b\"\nGoto:END\nFrobnicate x\n= 1\nRegistry x\n",
       {},
       {"Setup.Inf:1: error: unknown command 'BinCpy'; did you mean 'BinCopy'?",
        "Setup.Inf:2: error: 'Goto' must be followed by a blank",
        "Setup.Inf:3: error: unknown command 'Frobnicate'",
        "Setup.Inf:4: error: the operator '=' stands only inside an If-command",
        "Setup.Inf:5: error: 'Registry' stands only inside SetupDir and SetupDir2"}},
      {"comment styles of other languages",
       "; a\n// b\nREM c\n# d\n'fine\n",
       {},
       {"Setup.Inf:1: error: ';' does not start a comment; a comment line begins with '",
        "Setup.Inf:2: error: '//' does not start a comment; a comment line begins with '",
        "Setup.Inf:3: error: 'REM' does not start a comment; a comment line begins with '",
        "Setup.Inf:4: error: '#' does not start a comment; a comment line begins with '"}},
      {"argument syntax",
       "BinCopy \"C:\\a C:\\b\nDeleteRegistry HKEY_CURRENT_USER\\Software\\Old\n"
       "MakeDir\nBinCopy \"C:\\a\"\nSetRegistry \"HKEY_USERS\\x\\v\" 1\n"
       "TextCopy \"C:\\a\" \"C:\\b\"\nTextCopy \"C:\\a\" C:\\b \n#define\n"
       "Regsvr $$SETUPDIR$$\\Tool.dll\n",
       {},
       {"Setup.Inf:1: error: the quoted source has no closing quote",
        "Setup.Inf:2: error: the registry path 'HKEY_CURRENT_USER\\Software\\Old' must be quoted "
        "or followed by a blank",
        "Setup.Inf:3: error: the folder is missing",
        "Setup.Inf:4: error: the destination is missing",
        "Setup.Inf:5: error: the data '1' must be quoted or followed by a blank",
        "Setup.Inf:6: error: the destination is taken as written, quotes included; write it "
        "without quotes",
        "Setup.Inf:7: warning: the destination ends in blanks, which become part of the file name",
        "Setup.Inf:8: error: the macro name is missing",
        "Setup.Inf:9: error: with a setup folder that holds no blank (C:\\Apps, say), the "
        "component runs to the end of the line and the run stops here; quote it",
        "Setup.Inf:9: warning: text after the last argument is ignored: "
        "'Files\\Product\\Tool.dll'; "
        "a comment line begins with '"}},
      {"folders without blanks, for a line too long with the longest folders",
       "#define $$X$$$$SETUPROOT$$$$SETUPROOT2$$\n",
       {},
       {"Setup.Inf:1: note: the line is longer than 511 bytes after macro expansion when a setup "
        "folder is 255 bytes long",
        "Setup.Inf:1: error: with a setup folder that holds no blank (C:\\Apps, say), the macro "
        "name runs to the end of the line and the run stops here; quote it"}},
      {"a #define that a macro makes: the name is checked as expanded",
       "#define $$D$$ #define\n$$D$$ NAME 1\n",
       {},
       {"Setup.Inf:2: warning: macro name 'NAME' is replaced wherever it occurs; write names as "
        "$$NAME$$"}},
      {"text after the last argument: in a value an error, elsewhere a warning",
       "#define $$VERSION$$ 1.0.0 ; product version\n"
       "TextCopy \"$$FD$$\\ReadMe.txt\" $$SETUPDIR$$\\ReadMe.txt // read-me\n"
       "SetRegistry \"HKEY_CURRENT_USER\\x\\v\", \"data\"\n"
       "SetRegistry \"HKEY_CURRENT_USER\\x\\v\" \"data\" \"REG_SZ\"\n"
       "SetupDir C:\\Program Files\\Tiny Tool\nMakeDir C:\\Program Files\\Tiny Tool\n"
       "BinCopy \"$$FD$$\\ReadMe.txt\" \"C:\\r.txt\" ' the read-me\n"
       "SetupDir2 C:\\Data \"Data folder\"\n",
       {{"D:\\ReadMe.txt", ""}},
       {"Setup.Inf:1: error: '; product version' becomes part of the value; a comment line "
        "begins with '",
        "Setup.Inf:2: error: '// read-me' becomes part of the destination; a comment line begins "
        "with '",
        "Setup.Inf:3: error: text after the data is ignored: '\"data\"'; the data written is ','",
        "Setup.Inf:4: error: text after the data is ignored: '\"REG_SZ\"'; the data written is "
        "'data'",
        "Setup.Inf:5: warning: the folder is not quoted and ends at its first blank: the run uses "
        "'C:\\Program'; quote it",
        "Setup.Inf:6: warning: the folder is not quoted and ends at its first blank: the run uses "
        "'C:\\Program'; quote it",
        "Setup.Inf:7: warning: text after the last argument is ignored: '' the read-me'; a "
        "comment line begins with '"}},
      {"If-commands: operators, sense words, tails",
       "IfString a b Then Goto X\nIfFileVersion \"C:\\f\" <=1.0 Then Goto X\n"
       "IfFileFind \"C:\\f\" Exists Goto X\nIfLanguage 0x0411 Then Goto X\n"
       "IfRegistryFind \"HKLM\\Software\" Then Goto X\nIfFileFind \"C:\\f\" Then\n"
       "IfFileFind \"C:\\f\" Then BinCopi \"a\" \"b\"\n:X\n",
       {},
       {"Setup.Inf:1: warning: without an operator the test is always false",
        "Setup.Inf:2: warning: '<=1.0' is no operator: an operator must be followed by a blank",
        "Setup.Inf:3: warning: the sense word 'Exists' begins with E and so inverts the test",
        "Setup.Inf:4: warning: IfLanguage takes a primary language number (17 or 0x11), not "
        "'0x0411'",
        "Setup.Inf:5: warning: 'HKLM\\Software' does not begin with HKEY_CLASSES_ROOT\\, "
        "HKEY_CURRENT_USER\\, HKEY_LOCAL_MACHINE\\, HKEY_USERS\\ or HKEY_CURRENT_CONFIG\\",
        "Setup.Inf:6: error: the sense word 'Then' must be quoted or followed by a blank",
        "Setup.Inf:7: error: unknown command 'BinCopi'; did you mean 'BinCopy'?"}},
      {"Goto searches forward only; labels",
       ":TOP\nGoto TOP\nGoto end\nGoto NOWHERE\nGoto\n:END\n:END\n:\n",
       {},
       {"Setup.Inf:5: error: Goto without a label",
        "Setup.Inf:8: error: a label line needs a name right behind the colon",
        "Setup.Inf:2: error: label 'TOP' is only above this line (line 1); Goto searches forward "
        "only",
        "Setup.Inf:3: error: label 'end' is not found below this line; did you mean 'END'?",
        "Setup.Inf:4: error: label 'NOWHERE' is not found below this line"}},
      {"macros",
       "MakeDir \"$$DATA$$\"\n#define $$DATA$$ C:\\Data  \nMakeDir \"$$SETUP_DIR$$\"\n"
       "MakeDir \"$$NEVER$$\"\n#define $$DATA$$ x\n#define APP y\n"
       "SetupDir \"$$SETUPDIR$$\\x\"\n",
       {},
       {"Setup.Inf:1: warning: macro '$$DATA$$' is used before its #define on line 2",
        "Setup.Inf:2: warning: the value of '$$DATA$$' ends in blanks, which become part of it",
        "Setup.Inf:3: warning: macro '$$SETUP_DIR$$' is never defined; did you mean "
        "'$$SETUPDIR$$'?",
        "Setup.Inf:4: warning: macro '$$NEVER$$' is never defined",
        "Setup.Inf:5: warning: '$$DATA$$' is already defined: this line defines a macro named "
        "'C:\\Data' instead",
        "Setup.Inf:6: warning: macro name 'APP' is replaced wherever it occurs; write names as "
        "$$NAME$$",
        "Setup.Inf:7: warning: '$$SETUPDIR$$' is not replaced here: only $$WINDOWS$$, $$SYSTEM$$ "
        "and $$FD$$ exist before the setup dialog, and only in its folders"}},
      {"a use between two #define lines of its name: the one below is named",
       "#define $$LONG$$ " + std::string(300, 'x') + "\nMakeDir \"$$LONG$$\"\n#define $$LONG$$ y\n",
       {},
       {"Setup.Inf:1: error: a macro name or value is longer than 299 bytes",
        "Setup.Inf:2: warning: macro '$$LONG$$' is used before its #define on line 3"}},
      {"files on the medium, found without regard to case",
       "BinCopy \"$$FD$$\\tool.exe\" \"C:\\t\"\nBinCopy \"$$FD$$\\Missing.dll\" \"C:\\m\"\n"
       "Regsvr \"$$FD$$\\Sub\"\nDiskCheck DISK2\\Disk2.id Insert disk 2\n"
       "BinCopy \"$$FD$$\\Samples.dat\" \"C:\\s\"\nDiskCheck DISK3\\Disk3.id Insert disk 3\n"
       "BinCopy \"$$FD$$\\More.dat\" \"C:\\s\"\n",
       {{"D:\\TOOL.EXE", "MZ"}, {"D:\\Sub\\x", ""}, {"D:\\DISK2\\Disk2.id", ""}},
       {"Setup.Inf:2: error: 'D:\\Missing.dll' is not on the medium",
        "Setup.Inf:3: error: 'D:\\Sub' is not on the medium",
        "Setup.Inf:5: error: 'D:\\Samples.dat' is not on the medium",
        "Setup.Inf:6: note: 'D:\\DISK3\\Disk3.id' is not on the medium (it may be on another "
        "disk)",
        "Setup.Inf:7: note: 'D:\\More.dat' is not on the medium (it may be on another disk)"}},
      {"comment syntax of copied texts, at the text's own line",
       "TextCopy \"$$FD$$\\a.txt\" C:\\a.txt\nJapanCopy \"$$FD$$\\b.txt\" C:\\b.txt\n"
       "EnglishCopy \"$$FD$$\\a.txt\" C:\\a.txt\n",
       {{"D:\\a.txt", "one\r\ntwo /* open\r\nthree\r\n"},
        {"D:\\b.txt", "a\n/* " + Repeat(std::string(99, 'x') + "\n", 50) + "*/\n"}},
       {"D:\\a.txt:2: error: /* */ syntax error: a comment is not closed",
        "Setup.Inf:1: note: the text is copied by this line",
        "D:\\b.txt:2: error: /* */ syntax error: a comment is longer than 4095 bytes",
        "Setup.Inf:2: note: the text is copied by this line"}},
      {"copied texts: their bytes and macros at their own lines, the copy as a note",
       "#define $$VERSION$$ 1.0\nTextCopy \"$$FD$$\\a.txt\" C:\\a.txt\n"
       "TextCopy \"$$FD$$\\b.txt\" C:\\b.txt\n#define $$LATER$$ x\n"
       "TextCopy \"$$FD$$\\c.txt\" C:\\c.txt\nTextCopy \"$$FD$$\\d.txt\" C:\\d.txt\n"
       "TextCopy \"$$FD$$\\e.txt\" C:\\e.txt\nTextCopy \"$$FD$$\\f.txt\" C:\\f.txt\n"
       "TextCopy \"$$FD$$\\g.txt\" C:\\g.txt\n' check: ignore\n"
       "TextCopy \"$$FD$$\\h.txt\" C:\\h.txt\n",
       {{"D:\\a.txt", "Tool\r\nVersion $$VERSON$$ ($$ 1 $$)\r\n"},
        {"D:\\b.txt", "$$LATER$$\r\n"},
        {"D:\\c.txt", "AB\0CD\r\nEF $$NOPE$$\r\nG\0 $$NOPE$$\r\n"s},
        {"D:\\d.txt", "\xFF\xFEH\0i\0\r\0\n\0"s},
        {"D:\\e.txt", "\xEF\xBB\xBFHi\r\n"},
        {"D:\\f.txt", "\xE3\x81\x82\r\n"},
        {"D:\\g.txt", "MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFF\0\0"s},
        {"D:\\h.txt", "$$NOPE$$\r\n"}},
       {"D:\\a.txt:2: warning: macro '$$VERSON$$' is never defined; did you mean '$$VERSION$$'?",
        "Setup.Inf:2: note: the text is copied by this line",
        "D:\\b.txt:1: warning: macro '$$LATER$$' is used before its #define on line 4",
        "Setup.Inf:3: note: the text is copied by this line",
        "D:\\c.txt:1: warning: NUL byte: the rest of the line is not copied, its line end "
        "included, so the next line joins it",
        "D:\\c.txt:2: warning: macro '$$NOPE$$' is never defined",
        "D:\\c.txt:3: warning: NUL byte: the rest of the line is not copied, its line end "
        "included, so the next line joins it",
        "Setup.Inf:5: note: the text is copied by this line",
        "D:\\d.txt:1: error: the text is UTF-16: its NUL bytes cut every line it copies; save it "
        "as Shift-JIS",
        "Setup.Inf:6: note: the text is copied by this line",
        "D:\\e.txt:1: warning: the text begins with a UTF-8 byte order mark, which is copied with "
        "it; save it as Shift-JIS without one",
        "Setup.Inf:7: note: the text is copied by this line",
        "D:\\f.txt: warning: the text looks like UTF-8, which is copied unconverted; save it as "
        "Shift-JIS",
        "Setup.Inf:8: note: the text is copied by this line",
        "D:\\g.txt: error: the file is not text: TextCopy garbles it; copy it with BinCopy",
        "Setup.Inf:9: note: the text is copied by this line"}},
      {"comments read as arguments, and one check silenced by its name",
       "SetRegistry \"HKEY_CURRENT_USER\\x\";c \"d\"\nBinCopy \"$$FD$$\\a.dll\"//x \"C:\\c\"\n"
       "TextCopy \"$$FD$$\\a.txt\" ;x\n' check: ignore trailing-text\nGoto \"L\";z\n"
       "' Check: Ignore trailing-text: a comment that stays\nBinCpy x\n:L\n"
       "DiskCheck \"a.txt\" ;Disk 2\n",
       {{"D:\\a.dll", "MZ"}, {"D:\\a.txt", "a\r\n"}},
       {"Setup.Inf:1: error: ';c' is read as the data: no comment can follow an argument; a "
        "comment line begins with '",
        "Setup.Inf:2: error: '//x' is read as the destination: no comment can follow an argument; "
        "a comment line begins with '",
        "Setup.Inf:3: error: ';x' is read as the destination: no comment can follow an argument; "
        "a comment line begins with '",
        "Setup.Inf:7: error: unknown command 'BinCpy'; did you mean 'BinCopy'?",
        "Setup.Inf:9: error: ';Disk 2' is read as the prompt: no comment can follow an argument; "
        "a comment line begins with '"}},
      {"line limits, with the longest setup folder",
       "MakeDir \"$$SETUPDIR$$\\" + std::string(300, 'x') + "\"\nMakeDir \"" +
           std::string(520, 'y') + "\"\n#define $$L$$ $$SETUPDIR$$" + std::string(100, 'z') + "\n",
       {},
       {"Setup.Inf:1: note: the line is longer than 511 bytes after macro expansion when a "
        "setup folder is 255 bytes long",
        "Setup.Inf:2: error: the line is longer than 511 bytes"}},
      {"a macro too long for the longest setup folder",
       "#define $$L$$ $$SETUPDIR$$" + std::string(100, 'z') + "\n",
       {},
       {"Setup.Inf:1: note: the value of '$$L$$' is longer than 299 bytes when a setup folder "
        "is 255 bytes long"}},
      {"a line the loader stores as two keeps the numbers of the lines after it",
       "Goto X\n'" + std::string(1030, 'x') + "\nBinCpy\n:X\n",
       {},
       {"Setup.Inf:2: error: the line is longer than 511 bytes",
        "Setup.Inf:2: error: unknown command 'xxxxxxxx'",
        "Setup.Inf:3: error: unknown command 'BinCpy'; did you mean 'BinCopy'?"}},
      {"encoding",
       "\xEF\xBB\xBF' bom\nMessage a\rb\nMessage c\0d\nMessage \x82\nMessage \xFF\n\x1A"
       "after"s,
       {},
       {"Setup.Inf:1: error: the script begins with a UTF-8 byte order mark; save it as "
        "Shift-JIS without one",
        "Setup.Inf:2: error: CR without LF: the line does not end here but runs on into the next",
        "Setup.Inf:3: warning: NUL byte: the rest of the line is ignored",
        "Setup.Inf:6: warning: Ctrl-Z ends the script here; what follows it is ignored",
        "Setup.Inf:4: warning: byte 0x82 is not Shift-JIS text",
        "Setup.Inf:5: warning: byte 0xFF is not Shift-JIS text",
        "Setup.Inf:1: error: unknown command '\xEF\xBB\xBF''"}},
      {"the bytes behind a script's first 4,096 are looked at as closely",
       [] {
         std::string comments;
         for (int i = 0; i < 100; ++i) comments += "' a comment line\twith a TAB in it, 44 bytes\n";
         return comments;
       }() +
           "Message a\rb\nBinCpy\nMessage c\0d\n"s,
       {},
       {"Setup.Inf:101: error: CR without LF: the line does not end here but runs on into the "
        "next",
        "Setup.Inf:103: warning: NUL byte: the rest of the line is ignored",
        "Setup.Inf:102: error: unknown command 'BinCpy'; did you mean 'BinCopy'?"}},
      {"UTF-8 text",
       "' \xE3\x81\x82\nMessage \xE3\x81\x84\n",
       {},
       {"Setup.Inf:1: warning: the script looks like UTF-8 text; save it as Shift-JIS"}},
      {"a script the loader refuses is checked up to there",
       "Goto X\nSetupDir Registry HKEY_CURRENT_USER\\x\n",
       {},
       {"Setup.Inf:2: error: the script does not load: D:\\Setup.Inf\x82\xCC"
        "2\x8Ds\x96\xDA\x82\xC9TAB\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1",
        "Setup.Inf:1: error: label 'X' is not found below this line"}},
  };
  // NOLINTEND(bugprone-suspicious-missing-comma)
  for (const CheckCase& c : cases) {
    CheckCounts counts;
    std::vector<std::string> got = Check(c, &counts);
    EXPECT_EQ(got, c.expected) << c.what;
    int errors = 0;
    int warnings = 0;
    for (const std::string& line : c.expected) {
      if (line.find(": error: ") != std::string::npos) ++errors;
      if (line.find(": warning: ") != std::string::npos) ++warnings;
    }
    EXPECT_EQ(counts.errors, errors) << c.what;
    EXPECT_EQ(counts.warnings, warnings) << c.what;
  }
}

// Valid scripts that must check clean: notes at most, and never one per line.
TEST(CheckerTest, NoFalseAlarms) {
  const std::string two_folders =
      "BinCopy \"$$FD$$\\Tool.exe\" \"$$SETUPDIR$$\\$$SETUPDIR2$$\\Tool.exe\"\n";
  const CheckCase cases[] = {
      {"a #define as an If tail",
       "IfLanguage 0x11 Then #define $$LANG$$ ja\nMakeDir \"C:\\$$LANG$$\"\n",
       {},
       {}},
      {"a stray CR before CR LF", "Message a\r\r\nMessage b\r\n", {}, {}},
      {"two setup folders on many lines: one note for the script",
       two_folders + two_folders + two_folders,
       {{"D:\\Tool.exe", "MZ"}},
       {"Setup.Inf:1: note: the line is longer than 511 bytes after macro expansion when a setup "
        "folder is 255 bytes long"}},
      {"a label name used again further down",
       ":AGAIN\nGoto AGAIN\n:AGAIN\nGoto AGAIN\n:AGAIN\n",
       {},
       {}},
      {"the second disk in its folder of the medium",
       "DiskCheck DISK2\\Disk2.id Insert disk 2\nBinCopy \"$$FD$$\\Samples.dat\" \"C:\\s\"\n"
       "TextCopy \"$$FD$$\\ReadMe2.txt\" C:\\r.txt\nBinCopy \"$$FD$$\\DISK2\\Samples.dat\" "
       "\"C:\\s\"\n",
       {{"D:\\DISK2\\Disk2.id", ""},
        {"D:\\DISK2\\Samples.dat", ""},
        {"D:\\DISK2\\ReadMe2.txt", ""}},
       {}},
      {"lines silenced by the comment above them",
       "' check: ignore: the name comes from a registry value\nMakeDir \"$$NEVER$$\"\n"
       "' CHECK:IGNORE\n" +
           two_folders,
       {{"D:\\Tool.exe", "MZ"}},
       {}},
  };
  for (const CheckCase& c : cases) {
    CheckCounts counts;
    EXPECT_EQ(Check(c, &counts, true), c.expected) << c.what;
    EXPECT_EQ(counts.errors, 0) << c.what;
    EXPECT_EQ(counts.warnings, 0) << c.what;
  }
}

TEST(CheckerTest, MissingScriptAndWerror) {
  CheckCounts counts;
  FakeFileSystem empty;
  Collected report;
  auto checker = std::make_unique<Checker>(empty, CheckOptions{}, report);
  counts = checker->Run();
  EXPECT_EQ(report.lines,
            std::vector<std::string>{"Setup.Inf: error: the script cannot be opened"});
  EXPECT_EQ(counts.errors, 1);

  CheckCase warning{"", "MakeDir \"$$NEVER$$\"\n", {}, {}};
  EXPECT_EQ(Check(warning, &counts, true),
            std::vector<std::string>{"Setup.Inf:1: error: macro '$$NEVER$$' is never defined"});
  EXPECT_EQ(counts.errors, 1);
  EXPECT_EQ(counts.warnings, 0);
}

// The edit distance behind the suggestions: exact up to its limit, and above
// the limit whenever the words are further apart, however soon it stops.
TEST(CheckerTest, EditDistanceWithinLimit) {
  struct DistanceCase {
    const char* a;
    const char* b;
    int limit;
    int expected;  // -1: any value above limit
  } cases[] = {
      {"BinCpy", "BinCopy", kNearEdits, 1},
      {"bincopy", "BINCOPY", kNearEdits, 0},
      {"Gtoo", "Goto", kNearEdits, 1},
      {"TxetCopi", "TextCopy", kNearEdits, 2},
      {"abcd", "badc", 32, 2},
      {"MakeDir", "TextCopy", 32, 8},
      {"MakeDir", "TextCopy", kNearEdits, -1},
      {"If", "IfLanguage", kNearEdits, -1},
      {"xyzCopy", "BinCopy", kNearEdits, -1},
      {"BinCopyxyz", "BinCopy", 3, 3},
      {"", "", kNearEdits, 0},
  };
  for (const DistanceCase& c : cases) {
    int distance = Distance(c.a, c.b, c.limit);
    if (c.expected < 0) {
      EXPECT_GT(distance, c.limit) << c.a << " " << c.b;
    } else {
      EXPECT_EQ(distance, c.expected) << c.a << " " << c.b;
    }
  }
}

}  // namespace
}  // namespace setup::testing
