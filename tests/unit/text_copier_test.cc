// The bilingual text copy: comment selection in both languages, the reader's
// limits, syntax errors and the old destination surviving a failed copy.
#include "actions/text_copier.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/script_engine.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup {
namespace {

using namespace std::string_literals;  // ""s keeps NUL bytes
using testing::FakeFileSystem;
using testing::FakeSystem;
using testing::RecordingUi;

// Shift-JIS texts (converted with iconv).
#define SJ_SUUCHI "\x90\x94\x92\x6c"           // 数値
#define SJ_NIHONGO "\x93\xfa\x96\x7b\x8c\xea"  // 日本語
#define SJ_KOU "\x8d\x62"                      // 甲
#define SJ_SETSUMEI "\x90\xe0\x96\xbe"         // 説明
#define SJ_KANA "\xb6\xc5"                     // ｶﾅ (half-width, single bytes)
#define SJ_HYOU "\x95\x5c"                     // 表 (second byte is a backslash)

constexpr char kSource[] = "D:\\SRC.TXT";
constexpr char kDest[] = "C:\\APP\\OUT.TXT";

class TextCopyTest : public ::testing::Test {
 protected:
  TextCopyTest() {
    files.AddFolder("C:\\APP");
    DefineMacro(engine->macros, "$$FD$$", "D:\\SETUP");
    DefineMacro(engine->macros, "$$CMT$$", "/*$#");
    DefineMacro(engine->macros, "$$Z$$", "\x1a");
  }

  // Runs the command line behind the keyword; returns its result.
  bool Command(const std::string& arguments, LanguageMode selection) {
    char line[kWorkLineSize];
    std::snprintf(line, sizeof line, "%s", arguments.c_str());
    return TextCopyCommand(*engine, line, selection);
  }

  // Copies source bytes to kDest; the destination's bytes, or "<failed>".
  std::string Copy(const std::string& bytes, LanguageMode selection) {
    files.AddFile(kSource, bytes);
    if (!Command(std::string(kSource) + " " + kDest, selection)) return "<failed>";
    return files.Contents(kDest);
  }

  FakeSystem system;
  FakeFileSystem files;
  RecordingUi ui;
  Platform platform{&system, &files, nullptr, nullptr, nullptr};
  std::unique_ptr<ScriptEngine> engine = std::make_unique<ScriptEngine>(platform, ui);
};

struct CopyCase {
  const char* name;
  std::string source;
  std::string japanese;
  std::string english;
};

const CopyCase kCopyCases[] = {
    // The worked examples.
    {"split comment", "x = 1; /* " SJ_SUUCHI " $# value */\n", "x = 1; /* " SJ_SUUCHI " */\r\n",
     "x = 1; /* value */\r\n"},
    {"english only line", "/*$# English only */\n", "", "/* English only */\r\n"},
    {"english only after code", "y = 2; /*$# note */\n", "y = 2; \r\n", "y = 2; /* note */\r\n"},
    {"japanese only line", "/* " SJ_NIHONGO " */\n", "/* " SJ_NIHONGO " */\r\n", ""},
    {"raw text", "/*$$raw text*/\n", "$$raw text\r\n", "$$raw text\r\n"},
    {"last split mark counts", "/* " SJ_KOU " $# A $# B */\n", "/* " SJ_KOU "  A */\r\n",
     "/* B */\r\n"},
    {"english only with split mark", "/*$# a $# b */\n", "", "/* a  b */\r\n"},
    {"split comment over two lines", "/* " SJ_SETSUMEI " $# note:\ntwo lines */\n",
     "/* " SJ_SETSUMEI " */\r\n", "/* note:\ntwo lines */\r\n"},
    {"english only over two lines", "code /*$# multi\nline */ more\n", "code  more\r\n",
     "code /* multi\nline */ more\r\n"},
    {"half-width katakana", "/* " SJ_KANA " */\n", "/* " SJ_KANA " */\r\n",
     "/* " SJ_KANA " */\r\n"},
    {"stray marks outside comments", "a/b*c $# $$ */\n", "a/b*c $# $$ */\r\n",
     "a/b*c $# $$ */\r\n"},
    // Input and its end.
    {"empty source", "", "", ""},
    {"ctrl-z first",
     "\x1a"
     "abc\n",
     "", ""},
    {"ctrl-z ends the input",
     "ab\x1a"
     "cd\n/* x */\n",
     "ab", "ab"},
    {"last line without line end", "a\nb", "a\r\nb", "a\r\nb"},
    {"lone cr kept", "a\rb\r\nc\n", "a\rb\r\nc\r\n", "a\rb\r\nc\r\n"},
    {"line end in body stays lf", "/* a\r\nb */\r\n", "/* a\nb */\r\n", "/* a\nb */\r\n"},
    {"lead byte last pairs with ctrl-z", "ab\x81", "ab\x81\x1a", "ab\x81\x1a"},
    {"lead byte before line end", "a\x81\nb\n", "a\x81\r\nb\r\n", "a\x81\r\nb\r\n"},
    {"nul ends the line text", "ab\0cd\nef\n"s, "abef\r\n", "abef\r\n"},
    {"line starting with nul", "\0xx\nab\n"s, "ab\r\n", "ab\r\n"},
    // Comment forms.
    {"empty comment", "/**/\n", "/**/\r\n", "/**/\r\n"},
    {"raw mark alone", "/*$$*/\n", "$$\r\n", "$$\r\n"},
    {"blank before split mark", "/* $# x */\n", "/* */\r\n", "/* x */\r\n"},
    {"split mark last", "/* " SJ_KOU " $#*/\n", "/* " SJ_KOU " */\r\n", "/**/\r\n"},
    {"removed comment keeps text", "a /*$# x */ b\n", "a  b\r\n", "a /* x */ b\r\n"},
    {"two removed comments", "  /*$# x */  /*$# y */ \nz\n", "z\r\n",
     "  /* x */  /* y */ \r\nz\r\n"},
    {"removed then written comment", "  /*$# x */ /* z */\n", "   /* z */\r\n",
     "  /* x */ /* z */\r\n"},
    {"removed comment last in file", "a\n  /*$# x */", "a\r\n", "a\r\n  /* x */"},
    {"removed japanese comment", "\t/* " SJ_NIHONGO " */\t\nz\n",
     "\t/* " SJ_NIHONGO " */\t\r\nz\r\n", "z\r\n"},
    {"comments do not nest", "/* a /* b */ c */\n", "/* a /* b */ c */\r\n",
     "/* a /* b */ c */\r\n"},
    {"star before close", "/* a **/\n", "/* a **/\r\n", "/* a **/\r\n"},
    {"slash before open", "//* a */\n", "//* a */\r\n", "//* a */\r\n"},
    {"dollar before open", "$/*$# x */\n", "$\r\n", "$/* x */\r\n"},
    {"close outside comment", "**/\n", "**/\r\n", "**/\r\n"},
    {"no mark inside double-byte", "/* \x81*/ x */\n", "/* \x81*/ x */\r\n", ""},
    {"backslash trail byte", "/* " SJ_HYOU " */\n", "/* " SJ_HYOU " */\r\n", ""},
    {"raw comment keeps japanese", "/*$$" SJ_KOU "*/\n", "$$" SJ_KOU "\r\n", "$$" SJ_KOU "\r\n"},
    // Macros are expanded before the comments are seen.
    {"macros in text and comments", "$$FD$$\\a /* $$FD$$ */\n", "D:\\SETUP\\a /* D:\\SETUP */\r\n",
     "D:\\SETUP\\a /* D:\\SETUP */\r\n"},
    {"macro opens a comment", "$$CMT$$ hidden */\nz\n", "z\r\n", "/* hidden */\r\nz\r\n"},
    {"macro value with ctrl-z", "ab$$Z$$cd\nef\n", "ab", "ab"},
    {"lower-case macro untouched", "$$fd$$\n", "$$fd$$\r\n", "$$fd$$\r\n"},
};

TEST_F(TextCopyTest, CopiesBothSelections) {
  for (const CopyCase& c : kCopyCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Copy(c.source, kJapanese), c.japanese);
    EXPECT_EQ(Copy(c.source, kEnglish), c.english);
  }
  EXPECT_EQ(ui.Transcript(), "");
  EXPECT_EQ(files.OpenCount(), 0);
}

struct SyntaxCase {
  const char* name;
  std::string source;
  const char* message;
};

const SyntaxCase kSyntaxCases[] = {
    // The counter is one ahead of the line being read.
    {"comment left open", "x /* open\n", "error: D:\\SRC.TXT:(2) /* */ Syntax Error\n"},
    {"comment open at the end of line 3", "a\nb\nc /* open\n",
     "error: D:\\SRC.TXT:(4) /* */ Syntax Error\n"},
    {"comment open without line end", "a /*", "error: D:\\SRC.TXT:(2) /* */ Syntax Error\n"},
    {"split mark then nothing", "/*$#", "error: D:\\SRC.TXT:(2) /* */ Syntax Error\n"},
    {"ctrl-z inside comment", "/* abc \x1a */\nmore\n",
     "error: D:\\SRC.TXT:(2) /* */ Syntax Error\n"},
    {"macro ctrl-z inside comment", "/* $$Z$$ */\n", "error: D:\\SRC.TXT:(2) /* */ Syntax Error\n"},
    {"body over capacity", "/*" + std::string(4096, 'b') + "*/\n",
     "error: D:\\SRC.TXT:(3) /* */ Syntax Error\n"},
};

TEST_F(TextCopyTest, SyntaxErrorsKeepTheOldDestination) {
  for (const SyntaxCase& c : kSyntaxCases) {
    for (LanguageMode selection : {kJapanese, kEnglish}) {
      SCOPED_TRACE(c.name);
      ui.events.clear();
      files.AddFile(kDest, "old");
      EXPECT_EQ(Copy(c.source, selection), "<failed>");
      EXPECT_EQ(ui.Transcript(), c.message);
      EXPECT_EQ(files.Contents(kDest), "old");
    }
  }
  EXPECT_EQ(files.Listing().size(), 3u);  // C:\APP, its OUT.TXT and the source: no temporaries
  EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(TextCopyTest, LongLinesArriveInPieces) {
  std::string line(5000, 'a');
  EXPECT_EQ(Copy(line + "\n", kJapanese), line + "\r\n");
  // Each 4095-byte piece counts as a line.
  EXPECT_EQ(Copy(line + " /* open\n", kJapanese), "<failed>");
  EXPECT_EQ(ui.Transcript(), "error: D:\\SRC.TXT:(3) /* */ Syntax Error\n");
  // A line end that lands on a buffer boundary still comes out as one CR LF.
  std::string full(4095, 'c');
  EXPECT_EQ(Copy(full + "\n" + full + "\n", kEnglish), full + "\r\n" + full + "\r\n");
  // Finished lines gather in the write-behind buffer and go out together,
  // never more at once than it holds.
  EXPECT_EQ(files.largest_write, 8194u);
  EXPECT_LE(files.largest_write, static_cast<size_t>(kTextWriteBehindSize));
}

TEST_F(TextCopyTest, CommentBodyUpToCapacity) {
  std::string body(4095, 'b');
  EXPECT_EQ(Copy("/*" + body + "*/\n", kJapanese), "/*" + body + "*/\r\n");
  // A double-byte character stored at 4094 fills all 4096 bytes.
  std::string wide = std::string(4094, 'b') + SJ_KOU;
  EXPECT_EQ(Copy("/*" + wide + "*/\n", kJapanese), "/*" + wide + "*/\r\n");
  EXPECT_EQ(Copy("/*" + wide + "*/\n", kEnglish), "");
  EXPECT_EQ(ui.Transcript(), "");
}

TEST_F(TextCopyTest, ExpansionThatDoesNotFitStopsTheCopy) {
  std::string value(299, 'v');
  DefineMacro(engine->macros, "$$V$$", value.c_str());
  std::string uses;
  for (int i = 0; i < 13; ++i) uses += "$$V$$";  // 3887 bytes once expanded
  std::string fits = uses + std::string(4095 - 13 * 299, 'f');
  EXPECT_EQ(Copy("a\n" + fits, kJapanese),
            "a\r\n" + std::string(13 * 299, 'v') + std::string(4095 - 13 * 299, 'f'));
  EXPECT_EQ(ui.Transcript(), "");

  files.AddFile(kDest, "old");
  EXPECT_EQ(Copy("a\n" + fits + "f\n", kJapanese), "<failed>");
  // Cutting the line would corrupt the copy: the syntax error stops it, with
  // the counter one ahead as always.
  EXPECT_EQ(ui.Transcript(), "error: D:\\SRC.TXT:(3) /* */ Syntax Error\n");
  EXPECT_EQ(files.Contents(kDest), "old");
  // Inside a comment the failure is still reported once.
  ui.events.clear();
  EXPECT_EQ(Copy("/* a\n" + fits + "f */\n", kEnglish), "<failed>");
  EXPECT_EQ(ui.Transcript(), "error: D:\\SRC.TXT:(3) /* */ Syntax Error\n");
}

TEST_F(TextCopyTest, ArgumentsOfTheCommand) {
  files.AddFile("D:\\MY DIR\\SRC.TXT", "q\n");
  // A quoted source may hold blanks; the destination is the rest of the line
  // unchanged, blanks behind it included.
  EXPECT_TRUE(Command("\"D:\\MY DIR\\SRC.TXT\"\tC:\\APP\\OUT.TXT  ", kJapanese));
  EXPECT_EQ(files.Contents("C:\\APP\\OUT.TXT  "), "q\r\n");
  EXPECT_FALSE(files.Exists(kDest));
  // No destination at all: nothing can be created under an empty name.
  EXPECT_FALSE(Command("D:\\MY\\SRC.TXT \t ", kJapanese));
  EXPECT_EQ(ui.Transcript(), "error: Can't Create  file\n");
  ui.events.clear();
  // A source that is not followed by a blank: nothing is touched.
  files.log.clear();
  EXPECT_FALSE(Command(kSource, kJapanese));
  EXPECT_EQ(ui.Transcript(),
            "error: \x82\xCC"
            "0\x8Ds\x96\xDA\x82\xC9TAB\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n");
  EXPECT_TRUE(files.log.empty());
}

TEST_F(TextCopyTest, AFileMessageIsCutBetweenTwoCharacters) {
  // "Can't open D:\" takes 14 bytes, so the 255th byte of the message is
  // the first half of a double-byte character of the name.
  std::string name = "D:\\";
  for (int i = 0; i < 150; ++i) name += "\x82\xA0";
  EXPECT_FALSE(Command(name + " " + kDest, kJapanese));
  EXPECT_EQ(ui.Transcript(), "error: " + ("Can't open " + name).substr(0, 254) + "\n");
}

TEST_F(TextCopyTest, FailuresKeepTheOldDestination) {
  struct Case {
    const char* name;
    const char* fail_op;  // operation of the fake that fails, or nullptr
    bool source_present;
    const char* message;
  };
  const Case cases[] = {
      {"source missing", nullptr, false, "error: Can't open D:\\SRC.TXT file\n"},
      {"replacement not created", "CreateReplacement", true,
       "error: Can't Create C:\\APP\\OUT.TXT file\n"},
      // Reported once, before the source is looked at.
      {"neither works", "CreateReplacement", false, "error: Can't Create C:\\APP\\OUT.TXT file\n"},
      {"write fails", "Write", true, "error: Can't Create C:\\APP\\OUT.TXT file\n"},
      {"commit fails", "CommitReplacement", true, "error: Can't Create C:\\APP\\OUT.TXT file\n"},
      // The second block of the source cannot be read.
      {"read fails", "Read", true, "error: Can't open D:\\SRC.TXT file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fresh;
    fresh.AddFile(kDest, "old", 0, 5);
    if (c.source_present) fresh.AddFile(kSource, std::string(5000, 'n') + "\n/* x */\n");
    if (c.fail_op != nullptr)
      fresh.FailOperation(c.fail_op, std::string(c.fail_op) == "Read" ? 2 : 1);
    platform.files = &fresh;
    auto copier = std::make_unique<ScriptEngine>(platform, ui);
    ui.events.clear();
    char line[] = "D:\\SRC.TXT C:\\APP\\OUT.TXT";
    EXPECT_FALSE(TextCopyCommand(*copier, line, kJapanese));
    EXPECT_EQ(ui.Transcript(), c.message);
    EXPECT_EQ(fresh.Contents(kDest), "old");
    EXPECT_EQ(fresh.OpenCount(), 0);
    for (const std::string& name : fresh.Listing())
      EXPECT_EQ(name.find("~SETUP"), std::string::npos);
    if (std::string(c.name) == "neither works") {
      for (const std::string& entry : fresh.log) EXPECT_NE(entry.rfind("OpenRead", 0), 0u);
    }
  }
}

TEST_F(TextCopyTest, DestinationThatCannotBeWritten) {
  files.AddFile(kSource, "new\n");
  files.AddFile(kDest, "old", kAttrReadOnly);
  EXPECT_FALSE(Command(std::string(kSource) + " " + kDest, kJapanese));
  EXPECT_FALSE(Command(std::string(kSource) + " C:\\NOWHERE\\OUT.TXT", kJapanese));
  EXPECT_EQ(ui.Transcript(),
            "error: Can't Create C:\\APP\\OUT.TXT file\n"
            "error: Can't Create C:\\NOWHERE\\OUT.TXT file\n");
  EXPECT_EQ(files.Contents(kDest), "old");
  EXPECT_FALSE(files.Exists("C:\\NOWHERE\\OUT.TXT"));
}

TEST_F(TextCopyTest, NothingCarriesOverToTheNextCopy) {
  // A copy that stops inside a comment, with a byte handed back and the
  // drop-blank flag set, leaves nothing behind for the next one.
  EXPECT_EQ(Copy("  /*$# x */ /*", kJapanese), "<failed>");
  EXPECT_EQ(Copy("$", kJapanese), "$");
  EXPECT_EQ(Copy("  \n", kJapanese), "  \r\n");
  EXPECT_EQ(Copy("b\n", kJapanese), "b\r\n");
}

TEST_F(TextCopyTest, ReplacesAnExistingDestination) {
  files.AddFile(kDest, "old contents that are longer");
  EXPECT_EQ(Copy("new\n", kEnglish), "new\r\n");
  EXPECT_EQ(files.Listing().size(), 3u);
  EXPECT_EQ(files.OpenCount(), 0);
}

}  // namespace
}  // namespace setup
