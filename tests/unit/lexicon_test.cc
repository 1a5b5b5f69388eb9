// Line classification, argument cutting and the path helpers.
#include "engine/lexicon.h"

#include <cctype>
#include <string>

#include "engine/command_table.h"
#include "engine/messages.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

struct ClassifyCase {
  const char* text;
  int code;
  const char* rest;  // expected text at rest; nullptr: rest untouched
};

TEST(ClassifyLineTest, Table) {
  const ClassifyCase cases[] = {
      {"", kEmptyLine, nullptr},
      {"\nGoto x", kEmptyLine, nullptr},
      {":END", kLabelLine, nullptr},
      {"'comment", kCommentLine, nullptr},
      {"goto end", kGoto, "end"},
      {"GOTO end", kGoto, "end"},
      {"Goto \t end", kGoto, "end"},
      {"Goto", kGoto, ""},
      {"Goto:end", kNoKeyword, nullptr},
      {"#define_registry X", kDefineRegistry, "X"},
      {"#defineX 1", kNoKeyword, nullptr},
      {"#define X 1", kDefine, "X 1"},
      {"SetupDir2 C:\\", kSetupDir2, "C:\\"},
      {"SetupDir C:\\", kSetupDir, "C:\\"},
      {"Message\tHello", kMessage, "Hello"},
      {"MessageBox Hi", kMessageBox, "Hi"},
      {"Message\x81\x40x", kNoKeyword, nullptr},  // a full-width space is no delimiter
      {" Goto x", kNoKeyword, nullptr},
      {"<= 1", kOpLessEqual, "1"},
      {"<=1", kNoKeyword, nullptr},
      {"< 1", kOpLess, "1"},
      {"Registry x", kRegistry, "x"},
      {"deleteregistry x", kDeleteRegistry, "x"},
      {"Goto\nx", kGoto, "\nx"},
  };
  for (const ClassifyCase& c : cases) {
    char buffer[64];
    std::strcpy(buffer, c.text);
    char marker = 0;
    char* rest = &marker;
    EXPECT_EQ(ClassifyLine(buffer, &rest), c.code) << c.text;
    if (c.rest == nullptr) {
      EXPECT_EQ(rest, &marker) << c.text;
    } else {
      EXPECT_STREQ(rest, c.rest) << c.text;
    }
  }
}

TEST(ClassifyLineTest, EveryKeywordClassifiesAsItsOwnCode) {
  for (const CommandRow& row : kCommandTable) {
    if (row.keyword == nullptr) continue;
    std::string line = std::string(row.keyword) + " arg";
    EXPECT_EQ(ClassifyLine(line.c_str()), row.code) << row.keyword;
  }
}

// The lexicon passes over a row by its keyword's first byte alone, and only
// from kDefine on: the rows above have no keyword, those below all have one,
// matched in either case.
TEST(ClassifyLineTest, KeywordRowsFollowTheLineKindsAndMatchInAnyCase) {
  for (const CommandRow& row : kCommandTable) {
    ASSERT_EQ(row.keyword == nullptr, row.code < kDefine) << row.code;
    if (row.keyword == nullptr) continue;
    auto first = static_cast<unsigned char>(row.keyword[0]);
    EXPECT_EQ(ToUpperAscii(first), first) << row.keyword;
    std::string lower = row.keyword;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ClassifyLine((lower + "\targ").c_str()), row.code) << lower;
  }
}

TEST(ToUpperAsciiTest, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(ToUpperAscii('a'), 'A');
  EXPECT_EQ(ToUpperAscii('z'), 'Z');
  EXPECT_EQ(ToUpperAscii('A'), 'A');
  EXPECT_EQ(ToUpperAscii('{'), '{');
  EXPECT_EQ(ToUpperAscii(0xE1), 0xE1);
}

using NextArgTest = EngineTest;

TEST_F(NextArgTest, QuotedArgumentWithBlanks) {
  char line[] = "\"C:\\Program Files\\App\" next ";
  char* cursor = line;
  char* after = engine->NextArg(&cursor, true);
  ASSERT_NE(after, nullptr);
  EXPECT_STREQ(cursor, "C:\\Program Files\\App");
  EXPECT_STREQ(after, "next ");
  EXPECT_TRUE(ui.events.empty());
}

TEST_F(NextArgTest, EmptyQuotesAndTextDirectlyAfterTheQuote) {
  char line[] = "\"\"x";
  char* cursor = line;
  char* after = engine->NextArg(&cursor, true);
  ASSERT_NE(after, nullptr);
  EXPECT_STREQ(cursor, "");
  EXPECT_STREQ(after, "x");
}

TEST_F(NextArgTest, UnquotedArgumentsEndAtTheFirstBlank) {
  char line[] = "one\t two ";
  char* cursor = line;
  char* after = engine->NextArg(&cursor, true);
  EXPECT_STREQ(cursor, "one");
  EXPECT_STREQ(after, "two ");
  cursor = after;
  after = engine->NextArg(&cursor, true);
  EXPECT_STREQ(cursor, "two");
  EXPECT_STREQ(after, "");
  // A cursor standing on a blank gives an empty argument.
  char blank[] = " x";
  cursor = blank;
  after = engine->NextArg(&cursor, true);
  EXPECT_STREQ(cursor, "");
  EXPECT_STREQ(after, "x");
}

TEST_F(NextArgTest, LastWordWithoutBlankFailsWithTheTabMessage) {
  engine->line_number = 7;
  char line[] = "word";
  char* cursor = line;
  EXPECT_EQ(engine->NextArg(&cursor, true), nullptr);
  EXPECT_EQ(cursor, line);
  EXPECT_STREQ(line, "word");
  char expected[256];
  std::snprintf(expected, sizeof expected, kMsgNoTab, "D:\\Setup.Inf", 7);
  EXPECT_EQ(ui.Transcript(), std::string("error: ") + expected + "\n");
}

TEST_F(NextArgTest, QuietModeShowsNothing) {
  char line[] = "word";
  char* cursor = line;
  EXPECT_EQ(engine->NextArg(&cursor, false), nullptr);
  char quoted[] = "\"open";
  cursor = quoted;
  EXPECT_EQ(engine->NextArg(&cursor, false), nullptr);
  EXPECT_STREQ(cursor, "open");  // the step past the opening quote stands
  EXPECT_TRUE(ui.events.empty());
}

TEST_F(NextArgTest, UnclosedQuoteFailsWithTheQuoteMessage) {
  engine->line_number = 3;
  char line[] = "\"C:\\App x";
  char* cursor = line;
  EXPECT_EQ(engine->NextArg(&cursor, true), nullptr);
  EXPECT_EQ(cursor, line + 1);
  char expected[256];
  std::snprintf(expected, sizeof expected, kMsgNoQuote, "D:\\Setup.Inf", 3);
  EXPECT_EQ(ui.Transcript(), std::string("error: ") + expected + "\n");
}

TEST_F(NextArgTest, QuotedScanStepsOverDoubleByteCharacters) {
  // 0x83 0x22 would end the argument if the trail byte were taken alone.
  char line[] = "\"\x83\x22\x83\x41\" rest";
  char* cursor = line;
  char* after = engine->NextArg(&cursor, true);
  ASSERT_NE(after, nullptr);
  EXPECT_STREQ(cursor, "\x83\x22\x83\x41");
  EXPECT_STREQ(after, "rest");
}

TEST_F(NextArgTest, LeadByteCutOffByTheTerminatorLeavesTheQuoteOpen) {
  char line[] = "\"ab\x83";
  char* cursor = line;
  EXPECT_EQ(engine->NextArg(&cursor, false), nullptr);
  EXPECT_STREQ(cursor, "ab\x83");
}

struct PathCase {
  const char* input;
  const char* stripped;  // StripTrailingBackslash
  const char* dropped;   // DropTrailingSeparator
};

class PathHelperTest : public EngineTest {};

TEST_F(PathHelperTest, Table) {
  const PathCase cases[] = {
      {"", "", ""},
      {"\\", "", ""},
      {"a", "a", "a"},
      {"C:", "C:.", "C:"},
      {"C:\\", "C:", "C:"},
      {"a\\", "a", "a"},
      {"C:\\App\\", "C:\\App", "C:\\App"},
      {"C:\\App\\\\", "C:\\App\\", "C:\\App\\"},
      {"C:\\App/", "C:\\App/", "C:\\App"},
      {"C:\\App", "C:\\App", "C:\\App"},
      {"/", "/", ""},
      {"C:\\\x95\x5C", "C:\\\x95\x5C", "C:\\\x95\x5C"},  // 0x5C as a trail byte stays
      {"C:\\\x95\x5C\\", "C:\\\x95\x5C", "C:\\\x95\x5C"},
  };
  for (const PathCase& c : cases) {
    char buffer[32];
    std::strcpy(buffer, c.input);
    StripTrailingBackslash(engine->lead_bytes, buffer);
    EXPECT_STREQ(buffer, c.stripped) << c.input;
    std::strcpy(buffer, c.input);
    DropTrailingSeparator(engine->lead_bytes, buffer);
    EXPECT_STREQ(buffer, c.dropped) << c.input;
  }
}

TEST_F(PathHelperTest, LastChar) {
  EXPECT_EQ(LastChar(engine->lead_bytes, ""), 0u);
  EXPECT_EQ(LastChar(engine->lead_bytes, "ab"), static_cast<unsigned>('b'));
  EXPECT_EQ(LastChar(engine->lead_bytes, "a\x95\x5C"), 0x955Cu);
  EXPECT_EQ(LastChar(engine->lead_bytes, "a\x95"), 0x95u);  // a cut character counts alone
  EXPECT_FALSE(EndsWithSeparator(engine->lead_bytes, "a\x95\x5C"));
  EXPECT_TRUE(EndsWithSeparator(engine->lead_bytes, "a/"));
}

TEST_F(PathHelperTest, SingleByteCodePageSeesEveryBackslash) {
  system.japanese = false;
  Reset();
  char buffer[] = "C:\\\x95\\";
  StripTrailingBackslash(engine->lead_bytes, buffer);
  EXPECT_STREQ(buffer, "C:\\\x95");
}

TEST_F(PathHelperTest, SplitDriveAndFolder) {
  char drive[3];
  char folder[16];
  EXPECT_TRUE(SplitDriveAndFolder(engine->lead_bytes, "C:\\Program Files\\App", drive, folder, 16));
  EXPECT_STREQ(drive, "C:");
  EXPECT_STREQ(folder, "\\Program Files\\");
  EXPECT_TRUE(SplitDriveAndFolder(engine->lead_bytes, "app.exe", drive, folder, 16));
  EXPECT_STREQ(drive, "");
  EXPECT_STREQ(folder, "");
  EXPECT_TRUE(SplitDriveAndFolder(engine->lead_bytes, "D:\\\x95\x5C", drive, folder, 16));
  EXPECT_STREQ(folder, "\\");
  EXPECT_FALSE(
      SplitDriveAndFolder(engine->lead_bytes, "C:\\0123456789abcdef\\x", drive, folder, 16));
  EXPECT_STREQ(folder, "");
}

TEST_F(PathHelperTest, CopyBoundedNeverSplitsACharacter) {
  char buffer[4];
  EXPECT_FALSE(CopyBounded(engine->lead_bytes, buffer, sizeof buffer, "ab\x82\xA0"));
  EXPECT_STREQ(buffer, "ab");
  EXPECT_TRUE(CopyBounded(engine->lead_bytes, buffer, sizeof buffer, "a\x82\xA0"));
  EXPECT_STREQ(buffer, "a\x82\xA0");
}

}  // namespace
}  // namespace setup::testing
