// The fake version resources: what engine tests rely on beyond the
// behaviour shared with the real back ends.
#include "tests/fakes/fake_version_info.h"

#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace setup::testing {
namespace {

class FakeVersionInfoTest : public ::testing::Test {
 protected:
  // Reads path's block as the engine does; false when there is none.
  bool Load(const char* path) {
    unsigned size = fake_.GetSize(path);
    if (size == 0) return false;
    block_.assign(size, 0xCC);
    return fake_.Read(path, size, block_.data());
  }
  bool Query(const char* sub_block, std::string* bytes) {
    const void* value = nullptr;
    unsigned length = 0;
    if (!fake_.Query(block_.data(), sub_block, &value, &length)) return false;
    bytes->assign(static_cast<const char*>(value), length);
    return true;
  }

  FakeVersionInfo fake_;
  std::vector<unsigned char> block_;
};

TEST_F(FakeVersionInfoTest, AddFileGivesTranslationAndBothStrings) {
  fake_.AddFile("C:\\App\\A.DLL", "1.0", "2.0", 0x0409, 0x04B0);
  ASSERT_TRUE(Load("c:\\app\\a.dll"));  // paths match without regard to case
  std::string bytes;
  ASSERT_TRUE(Query("\\VarFileInfo\\Translation", &bytes));
  EXPECT_EQ(bytes, std::string("\x09\x04\xB0\x04", 4));
  ASSERT_TRUE(Query("\\StringFileInfo\\040904B0\\FileVersion", &bytes));
  EXPECT_EQ(bytes, std::string("1.0\0", 4));
  ASSERT_TRUE(Query("\\\\stringfileinfo\\040904b0\\productversion", &bytes));
  EXPECT_EQ(bytes, std::string("2.0\0", 4));
  EXPECT_FALSE(Query("\\StringFileInfo\\041103A4\\FileVersion", &bytes));
  EXPECT_EQ(fake_.queries.size(), 4u);
}

TEST_F(FakeVersionInfoTest, EmptyTextLeavesTheStringOut) {
  fake_.AddFile("C:\\a.dll", "", "3.0");
  ASSERT_TRUE(Load("C:\\a.dll"));
  std::string bytes;
  EXPECT_FALSE(Query("\\StringFileInfo\\041103A4\\FileVersion", &bytes));
  EXPECT_TRUE(Query("\\StringFileInfo\\041103A4\\ProductVersion", &bytes));
}

TEST_F(FakeVersionInfoTest, TranslationsAndValuesCanBeShaped) {
  fake_.AddFile("C:\\a.dll", "1.0", "1.0");
  fake_.SetTranslations("C:\\a.dll", {0x0411});  // two bytes: too short for a pair
  fake_.RemoveValue("C:\\a.dll", "\\StringFileInfo\\041103A4\\FileVersion");
  ASSERT_TRUE(Load("C:\\a.dll"));
  std::string bytes;
  ASSERT_TRUE(Query("\\VarFileInfo\\Translation", &bytes));
  EXPECT_EQ(bytes.size(), 2u);
  EXPECT_FALSE(Query("\\StringFileInfo\\041103A4\\FileVersion", &bytes));
}

TEST_F(FakeVersionInfoTest, ReadFailsWhereVersionDllWould) {
  fake_.AddFile("C:\\a.dll", "1.0", "1.0");
  EXPECT_EQ(fake_.GetSize("C:\\b.dll"), 0u);
  std::vector<unsigned char> block(fake_.GetSize("C:\\a.dll"));
  EXPECT_FALSE(fake_.Read("C:\\a.dll", static_cast<unsigned>(block.size() - 1), block.data()));
  fake_.fail_read = true;
  EXPECT_FALSE(fake_.Read("C:\\a.dll", static_cast<unsigned>(block.size()), block.data()));
  EXPECT_EQ(fake_.get_size_calls, 2);
  EXPECT_EQ(fake_.read_calls, 2);
}

TEST_F(FakeVersionInfoTest, QueryRejectsABlockItDidNotWrite) {
  std::vector<unsigned char> garbage(64, 0);
  const void* value = nullptr;
  unsigned length = 0;
  EXPECT_FALSE(fake_.Query(garbage.data(), "\\VarFileInfo\\Translation", &value, &length));
}

}  // namespace
}  // namespace setup::testing
