// Version reading, operators and sense words of the If-commands.
#include "engine/conditions.h"

#include <gtest/gtest.h>

#include "engine/lexicon.h"

namespace setup::testing {
namespace {

TEST(ParseVersionTest, ReadsHexadecimalFieldsLikeTheRuntimeScan) {
  struct Case {
    const char* text;
    unsigned parts[4];
  } cases[] = {
      {"1.2.3.4", {1, 2, 3, 4}},
      {"1.10", {1, 16, 0, 0}},
      {"1, 0, 0, 1", {1, 0, 0, 0}},
      {"", {0, 0, 0, 0}},
      {"x.1", {0, 0, 0, 0}},
      {"1.2.3.4.5", {1, 2, 3, 4}},
      {"a.B.c0.FFFFFFFF", {0xA, 0xB, 0xC0, 0xFFFFFFFF}},
      {"0x1A.2", {0x1A, 2, 0, 0}},
      {" 1. 2", {1, 2, 0, 0}},
      {"1 .2", {1, 0, 0, 0}},
      {"1..2", {1, 0, 0, 0}},
      {"123456789.1", {0x23456789, 1, 0, 0}},  // wraps at 32 bits
  };
  for (const Case& c : cases) {
    unsigned parts[4];
    ParseVersion(c.text, parts);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(parts[i], c.parts[i]) << c.text << " field " << i;
  }
}

TEST(IsOperatorTest, OnlyOperatorWordsOfTheirOwn) {
  EXPECT_EQ(IsOperator("= 1"), kOpEqual);
  EXPECT_EQ(IsOperator("<= 1"), kOpLessEqual);
  EXPECT_EQ(IsOperator("<\t1"), kOpLess);
  EXPECT_EQ(IsOperator(">="), kOpGreaterEqual);
  EXPECT_EQ(IsOperator("> x"), kOpGreater);
  EXPECT_EQ(IsOperator("<=1.0 x"), 0);
  EXPECT_EQ(IsOperator("Goto x"), 0);
  EXPECT_EQ(IsOperator("1.0 x"), 0);
}

TEST(ApplySenseTest, OnlyTheFirstLetterCounts) {
  EXPECT_TRUE(ApplySense(true, "x"));
  EXPECT_FALSE(ApplySense(true, "E"));
  EXPECT_FALSE(ApplySense(true, "else"));
  EXPECT_TRUE(ApplySense(false, "Exist"));
  EXPECT_FALSE(ApplySense(false, ""));
  EXPECT_FALSE(ApplySense(false, "xE"));
}

TEST(CompareWithTest, EveryOperatorAndNone) {
  const int ops[] = {kOpEqual, kOpLessEqual, kOpLess, kOpGreaterEqual, kOpGreater, 0};
  const bool less[] = {false, true, true, false, false, false};
  const bool equal[] = {true, true, false, true, false, false};
  const bool greater[] = {false, false, false, true, true, false};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(CompareWith(ops[i], -1), less[i]) << ops[i];
    EXPECT_EQ(CompareWith(ops[i], 0), equal[i]) << ops[i];
    EXPECT_EQ(CompareWith(ops[i], 1), greater[i]) << ops[i];
  }
}

}  // namespace
}  // namespace setup::testing
