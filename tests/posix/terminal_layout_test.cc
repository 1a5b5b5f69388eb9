// Layout, answers and options of the terminal front end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/terminal/layout.h"
#include "ui/terminal/options.h"

namespace setup::terminal {
namespace {

// "日本語" in Shift-JIS: three double-byte characters, six columns.
const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";
// "表" is 0x95 0x5C: its second byte is a backslash.
const std::string kHyo = "\x95\x5C";
// "日本語" in UTF-8: nine bytes, six columns.
const std::string kNihongoUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";

TEST(AnsiWidthTest, DoubleByteCharactersTakeTwoColumns) {
  EXPECT_EQ(AnsiWidth("abc", 932), 3);
  EXPECT_EQ(AnsiWidth(kNihongo, 932), 6);
  EXPECT_EQ(AnsiWidth("\xB6\xC5", 932), 2);  // half-width katakana: one column each
  EXPECT_EQ(AnsiWidth(kNihongo, 1252), 6);   // single bytes in Windows-1252
  EXPECT_EQ(AnsiWidth("a\x93", 932), 2);     // a cut character at the end counts once
}

TEST(SanitizeTest, ControlBytesNeverReachTheTerminal) {
  EXPECT_EQ(Sanitize("a\x1b[2Jb"), "a?[2Jb");
  EXPECT_EQ(Sanitize("tab\there"), "tab here");
  EXPECT_EQ(Sanitize("one\r\ntwo\nthree\rx"), "one\ntwo\nthree?x");
  EXPECT_EQ(Sanitize("del\x7f"), "del?");
  EXPECT_EQ(Sanitize(kNihongo), kNihongo);  // bytes from 0x80 up are text
}

struct WrapCase {
  const char* name;
  std::string text;
  int width;
  int code_page;
  std::vector<std::string> lines;
};

class WrapTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTest, Wraps) {
  const WrapCase& c = GetParam();
  EXPECT_EQ(WrapAnsi(c.text, c.width, c.code_page), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapTest,
    ::testing::Values(
        WrapCase{"Empty", "", 10, 1252, {""}},
        WrapCase{"Fits", "short line", 10, 1252, {"short line"}},
        WrapCase{"AtBlank", "one two three", 8, 1252, {"one two", "three"}},
        WrapCase{"NoBlank", "abcdefghij", 4, 1252, {"abcd", "efgh", "ij"}},
        // A long path breaks inside rather than leave a short first line.
        WrapCase{"LongWord", "(!) averyverylongpath", 10, 1252, {"(!) averyv", "erylongpat", "h"}},
        WrapCase{"LineFeeds", "a\n\nb", 10, 1252, {"a", "", "b"}},
        WrapCase{"TrailingBlanks", "aaaa    ", 4, 1252, {"aaaa"}},
        WrapCase{"BlanksDropped", "aaaa    bbbb", 4, 1252, {"aaaa", "bbbb"}},
        // Five columns hold two double-byte characters, never two and a half.
        WrapCase{"DoubleByte", kNihongo, 5, 932, {kNihongo.substr(0, 4), kNihongo.substr(4)}},
        // A trail byte that looks like a backslash stays with its lead byte.
        WrapCase{"TrailBackslash", "x" + kHyo + kHyo, 2, 932, {"x", kHyo, kHyo}},
        WrapCase{"NarrowerThanACharacter", kNihongo.substr(0, 2), 1, 932, {kNihongo.substr(0, 2)}},
        // UTF-8: wide characters take two columns, others one, and a
        // sequence is never split; a cut one counts as one column a byte.
        WrapCase{"Utf8Wide",
                 kNihongoUtf8,
                 5,
                 kUtf8CodePage,
                 {kNihongoUtf8.substr(0, 6), kNihongoUtf8.substr(6)}},
        WrapCase{"Utf8Accents",
                 "caf\xC3\xA9 cr\xC3\xA8me",
                 4,
                 kUtf8CodePage,
                 {"caf\xC3\xA9", "cr\xC3\xA8m", "e"}},
        WrapCase{"Utf8Cut", "ab\xE6\x97", 3, kUtf8CodePage, {"ab\xE6", "\x97"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoxTest, FramesCaptionAndLines) {
  std::vector<std::string> box = Box("setup", "(!) Disk full", Align::kLeft, 20, 40, 1252);
  ASSERT_EQ(box.size(), 3u);
  EXPECT_EQ(box[0], "+- setup ------------+");
  EXPECT_EQ(box[1], "| (!) Disk full      |");
  EXPECT_EQ(box[2], "+--------------------+");
}

TEST(BoxTest, CentresEachLine) {
  std::vector<std::string> box = Box("", "Welcome\nto the setup", Align::kCenter, 16, 40, 1252);
  ASSERT_EQ(box.size(), 4u);
  EXPECT_EQ(box[0], "+----------------+");
  EXPECT_EQ(box[1], "|    Welcome     |");
  EXPECT_EQ(box[2], "|  to the setup  |");
}

TEST(BoxTest, AllLinesHaveTheSameWidthWithDoubleByteText) {
  for (auto [code_page, word] :
       {std::pair{932u, kNihongo}, std::pair{kUtf8CodePage, kNihongoUtf8}}) {
    std::string text = word;
    text.append(" ").append(word).append(" ").append(word).append(" and more words to wrap");
    const std::string caption = word + word;
    for (int max_inner : {8, 12, 20, 60}) {
      std::vector<std::string> box = Box(caption, text, Align::kCenter, 0, max_inner, code_page);
      int width = AnsiWidth(box[0], code_page);
      EXPECT_LE(width, max_inner + 2) << max_inner;
      for (const std::string& line : box) EXPECT_EQ(AnsiWidth(line, code_page), width) << line;
    }
  }
}

TEST(BoxTest, EscapeSequencesInTheTextAreDefused) {
  std::vector<std::string> box = Box("t\x1b", "x\x07y", Align::kLeft, 0, 20, 1252);
  for (const std::string& line : box) {
    for (char c : line) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << line;
  }
}

TEST(ProgressBarTest, FollowsThePosition) {
  EXPECT_EQ(ProgressBar(0, 10, 17), "[----------]   0%");
  EXPECT_EQ(ProgressBar(5, 10, 17), "[#####-----]  50%");
  EXPECT_EQ(ProgressBar(10, 10, 17), "[##########] 100%");
  EXPECT_EQ(ProgressBar(12, 10, 17), "[##########] 100%");  // clamped, as the control does
  EXPECT_EQ(ProgressBar(-3, 10, 17), "[----------]   0%");
  EXPECT_EQ(ProgressBar(0, 0, 17), "[----------]   0%");  // an empty script
  EXPECT_EQ(ProgressBar(1, 3, 10), "[#--]  33%");
  EXPECT_EQ(ProgressBar(1, 3, 4), "[-]  33%");  // never narrower than one column
}

TEST(AnswerTest, OkAndCancelWords) {
  for (const char* ok : {"", "\n", "ok", "OK\n", " o ", "Yes", "y\r\n"}) {
    EXPECT_EQ(ParseOkCancel(ok), Answer::kOk) << ok;
  }
  for (const char* cancel : {"c", "Cancel", "CANCEL\n", "n", "no", " no \r\n"}) {
    EXPECT_EQ(ParseOkCancel(cancel), Answer::kCancel) << cancel;
  }
  for (const char* other : {"okay", "x", "cancel now", "q"}) {
    EXPECT_EQ(ParseOkCancel(other), Answer::kInvalid) << other;
  }
}

struct OptionsCase {
  std::vector<const char*> args;
  bool help, version;
  std::string medium, machine, error;
  bool host_access = false;
};

class OptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(OptionsTest, Parses) {
  const OptionsCase& c = GetParam();
  std::vector<const char*> argv = {"setup"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  Options o = ParseOptions(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(o.help, c.help);
  EXPECT_EQ(o.version, c.version);
  EXPECT_EQ(o.medium, c.medium);
  EXPECT_EQ(o.machine, c.machine);
  EXPECT_EQ(o.error, c.error);
  EXPECT_EQ(o.host_access, c.host_access);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsTest,
    ::testing::Values(
        OptionsCase{{}, false, false, "", "", ""}, OptionsCase{{"--help"}, true, false, "", "", ""},
        OptionsCase{{"-h"}, true, false, "", "", ""},
        OptionsCase{{"--version"}, false, true, "", "", ""},
        OptionsCase{{"-V"}, false, true, "", "", ""},
        OptionsCase{{"--medium", "/m", "--machine", "/x"}, false, false, "/m", "/x", ""},
        OptionsCase{{"--medium=/m", "--machine=rel"}, false, false, "/m", "rel", ""},
        OptionsCase{{"--medium"}, false, false, "", "", "option '--medium' needs a folder"},
        OptionsCase{{"--machine="}, false, false, "", "", "option '--machine' needs a folder"},
        OptionsCase{{"--mediums", "x"}, false, false, "", "", "unknown option '--mediums'"},
        OptionsCase{{"-x"}, false, false, "", "", "unknown option '-x'"},
        OptionsCase{{"--host-access", "--medium", "/m"}, false, false, "/m", "", "", true},
        OptionsCase{
            {"--host-access=yes"}, false, false, "", "", "unknown option '--host-access=yes'"},
        OptionsCase{{"medium"}, false, false, "", "", "unexpected argument 'medium'"},
        OptionsCase{{"--check", "--werror", "--medium=/m"}, false, false, "/m", "", ""},
        OptionsCase{{"--werror"}, false, false, "", "", "option '--werror' needs '--check'"},
        OptionsCase{{"--check", "--machine", "/x"},
                    false,
                    false,
                    "",
                    "/x",
                    "option '--machine' cannot be used with '--check'"},
        OptionsCase{{"--dry-run", "--check"},
                    false,
                    false,
                    "",
                    "",
                    "option '--dry-run' cannot be used with '--check'"},
        OptionsCase{
            {"--check", "-y"}, false, false, "", "", "option '-y' cannot be used with '--check'"}));

TEST(OptionsTest, CaptionIsTheProgramNameWithoutExtension) {
  EXPECT_EQ(ProgramCaption("/opt/product/setup"), "setup");
  EXPECT_EQ(ProgramCaption("./Install.exe"), "Install");
  EXPECT_EQ(ProgramCaption(".hidden"), ".hidden");
  EXPECT_EQ(ProgramCaption(""), "setup");
  EXPECT_EQ(ProgramCaption(nullptr), "setup");
}

TEST(OptionsTest, UsageNamesEveryOption) {
  std::string usage = UsageText("setup");
  for (const char* word : {"--medium DIR", "--machine DIR", "--host-access", "--dry-run", "--help",
                           "--version", "registry.reg", "DIR/installs/"}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace setup::terminal
