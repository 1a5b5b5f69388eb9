// Defining and expanding macros: table order, shadowing, limits.
#include "engine/macro_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace setup::testing {
namespace {

std::string Expand(const MacroTable& table, const char* source, unsigned size = 512) {
  char out[512];
  EXPECT_TRUE(ExpandMacros(table, source, out, size)) << source;
  return out;
}

class MacroTableTest : public ::testing::Test {
 protected:
  std::unique_ptr<MacroTable> table = std::make_unique<MacroTable>();
};

TEST_F(MacroTableTest, ExpansionCases) {
  DefineMacro(*table, "$$SETUPDIR$$", "C:\\App");
  DefineMacro(*table, "$$SETUPDIR2$$", "D:\\Data");
  DefineMacro(*table, "AB", "x");
  DefineMacro(*table, "ABC", "never");
  DefineMacro(*table, "V", "$$SETUPDIR$$");
  DefineMacro(*table, "EMPTY", "");
  struct Case {
    const char* source;
    const char* expected;
  } cases[] = {
      {"", ""},
      {"$$SETUPDIR$$\\bin", "C:\\App\\bin"},
      {"$$SETUPDIR2$$\\bin", "D:\\Data\\bin"},  // differs at the eleventh byte
      {"ABC", "xC"},                            // the earlier name shadows the later
      {"V", "$$SETUPDIR$$"},                    // values are not expanded again
      {"$$setupdir$$", "$$setupdir$$"},         // names are case-sensitive
      {"aEMPTYb", "ab"},
      {"\"$$SETUPDIR$$\"", "\"C:\\App\""},  // quotes make no difference
  };
  for (const Case& c : cases) EXPECT_EQ(Expand(*table, c.source), c.expected) << c.source;
}

TEST_F(MacroTableTest, RedefinitionKeepsThePosition) {
  DefineMacro(*table, "A", "1");
  DefineMacro(*table, "AB", "2");
  EXPECT_EQ(DefineMacro(*table, "A", "3"), DefineResult::kStored);
  EXPECT_EQ(table->count, 2);
  EXPECT_EQ(Expand(*table, "AB"), "3B");
}

TEST_F(MacroTableTest, FiftyEntriesAtMost) {
  for (int i = 0; i < kMaxMacros; ++i) {
    ASSERT_EQ(DefineMacro(*table, ("M" + std::to_string(i)).c_str(), "v"), DefineResult::kStored);
  }
  EXPECT_EQ(DefineMacro(*table, "NEW", "v"), DefineResult::kTableFull);
  EXPECT_EQ(table->count, kMaxMacros);
  EXPECT_EQ(DefineMacro(*table, "M7", "w"), DefineResult::kStored);  // replacing still works
  EXPECT_EQ(Expand(*table, "M7"), "w");
}

TEST_F(MacroTableTest, TextsLongerThanTheSlotAreRefused) {
  std::string fits(kMacroTextSize - 1, 'v');
  std::string too_long(kMacroTextSize, 'v');
  EXPECT_EQ(DefineMacro(*table, "A", fits.c_str()), DefineResult::kStored);
  EXPECT_EQ(DefineMacro(*table, "B", too_long.c_str()), DefineResult::kTooLong);
  EXPECT_EQ(DefineMacro(*table, too_long.c_str(), "x"), DefineResult::kTooLong);
  EXPECT_EQ(DefineMacro(*table, "A", too_long.c_str()), DefineResult::kTooLong);
  EXPECT_EQ(table->count, 1);
  EXPECT_EQ(Expand(*table, "A"), fits);
}

TEST_F(MacroTableTest, ExpansionThatDoesNotFitIsCutAndSaid) {
  DefineMacro(*table, "X", "0123456789");
  char out[8];
  out[7] = 'z';
  EXPECT_FALSE(ExpandMacros(*table, "aX", out, sizeof out));
  EXPECT_STREQ(out, "a012345");
  EXPECT_FALSE(ExpandMacros(*table, "abcdefghij", out, sizeof out));
  EXPECT_STREQ(out, "abcdefg");
  EXPECT_TRUE(ExpandMacros(*table, "abcdefg", out, sizeof out));
}

}  // namespace
}  // namespace setup::testing
