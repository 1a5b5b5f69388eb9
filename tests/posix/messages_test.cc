// The engine's Japanese messages are the Shift-JIS bytes of their texts:
// each constant is checked against iconv's conversion of the UTF-8 text.
#include "engine/messages.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace setup {
namespace {

std::string ToShiftJis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(utf8.size() * 2 + 1, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* dest = out.data();
  size_t out_left = out.size();
  EXPECT_NE(iconv(cd, &in, &in_left, &dest, &out_left), static_cast<size_t>(-1)) << utf8;
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

TEST(MessagesTest, JapaneseMessagesAreTheShiftJisOfTheirTexts) {
  struct Case {
    const char* constant;
    const char* utf8;
  } cases[] = {
      {kMsgNoQuote, "%sの%d行目に\"が有りません"},
      {kMsgNoTab, "%sの%d行目にTABが有りません"},
      {kMsgTooManyMacros, "置換語句が多すぎます %d以下にして下さい"},
      {kMsgGotoNoLabel, "GOTO にラベルが有りません"},
      {kMsgColonNoLabel, "%sの%d行目に:があるのにラベルが有りません"},
      {kMsgNoFolderName, "%sの%d行目にディレクトリー名が有りません"},
      {kMsgNoCopyDest, "%sの%d行目にコピー先の指定が有りません"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string(c.constant), ToShiftJis(c.utf8)) << c.utf8;
}

}  // namespace
}  // namespace setup
