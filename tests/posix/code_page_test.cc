// Conversion of ANSI text to and from the terminal's character set.
#include "platform/posix/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace setup::posix {
namespace {

// "日本語" in Shift-JIS: three double-byte characters.
const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";
// "表" is 0x95 0x5C: its second byte is a backslash.
const std::string kHyo = "\x95\x5C";

TEST(CodePageTest, IconvNames) { EXPECT_EQ(IconvName(1251), "CP1251"); }

TEST(CodePageTest, ShiftJisToUtf8AndBack) {
  CodePageConverter converter(932, "UTF-8");
  EXPECT_EQ(converter.ToTerminal(kNihongo), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
  EXPECT_EQ(converter.ToTerminal("C:\\" + kHyo), "C:\\\xE8\xA1\xA8");
  std::string ansi;
  ASSERT_TRUE(converter.FromTerminal("C:\\\xE8\xA1\xA8", &ansi));
  EXPECT_EQ(ansi, "C:\\" + kHyo);
}

TEST(CodePageTest, UnconvertibleBytesBecomeQuestionMarks) {
  CodePageConverter converter(932, "UTF-8");
  // 0x85 0x40 is unassigned in code page 932; the text behind it survives.
  std::string shown = converter.ToTerminal("a\x85\x40z");
  EXPECT_EQ(shown.front(), 'a');
  EXPECT_EQ(shown.back(), 'z');
  EXPECT_NE(shown.find('?'), std::string::npos);
  EXPECT_EQ(converter.ToTerminal("end\x93"), "end?");  // a cut double-byte character
}

TEST(CodePageTest, TypedTextThatTheCodePageCannotHoldIsRefused) {
  CodePageConverter converter(1252, "UTF-8");
  std::string ansi = "kept";
  EXPECT_FALSE(converter.FromTerminal("\xE6\x97\xA5", &ansi));  // 日 has no 1252 form
  EXPECT_EQ(ansi, "kept");
  EXPECT_FALSE(converter.FromTerminal("\xFF\xFE", &ansi));  // not UTF-8 at all
  ASSERT_TRUE(converter.FromTerminal("Caf\xC3\xA9", &ansi));
  EXPECT_EQ(ansi, "Caf\xE9");
  EXPECT_EQ(converter.ToTerminal("Caf\xE9"), "Caf\xC3\xA9");
}

}  // namespace
}  // namespace setup::posix
