// What the shared file-system suite cannot say about the Win32 back end: the
// replacement's temporary lies beside its file, also when a name ends in a
// double-byte character whose second byte is 0x5C (code page 932, chosen by
// SETUP_EXPECT_ANSI_CODEPAGE=932 and the locale Wine runs in); and which
// files a replacement refuses, as fopen does, which Wine does not enforce.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/file_system_win32.h"
#include "tests/backend/backend.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace setup::testing {
namespace {

class Win32FileSystemTest : public ::testing::Test {
 protected:
  // True when a temporary ("~" and digits) is in folder.
  bool HasTemporary(const std::string& folder) {
    FileStatus status;
    return files_.GetStatus((folder + "\\~*").c_str(), &status);
  }

  // Writes bytes through a replacement of path and commits it.
  bool Replace(const std::string& path, const std::string& bytes) {
    FileHandle file = files_.CreateReplacement(path.c_str());
    if (file == kNoFile) return false;
    if (!files_.Write(file, bytes.data(), bytes.size())) {
      files_.AbandonReplacement(file);
      return false;
    }
    return files_.CommitReplacement(file);
  }

  FileSystem& files_ = RealFileSystem();
  ScratchFolder scratch_;
};

// fopen(path, "wb") is refused for a folder, a read-only file, and a hidden
// or system file; a replacement follows it.
TEST(Win32ReplaceRuleTest, WritesOverWhatFopenWould) {
  struct Case {
    DWORD attributes;
    bool writable;
  } cases[] = {
      {FILE_ATTRIBUTE_NORMAL, true},
      {FILE_ATTRIBUTE_ARCHIVE, true},
      {FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE, true},
      {FILE_ATTRIBUTE_READONLY, false},
      {FILE_ATTRIBUTE_HIDDEN, false},
      {FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, false},
      {FILE_ATTRIBUTE_DIRECTORY, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    EXPECT_EQ(win32::CanWriteOver(c.attributes), c.writable);
  }
}

TEST_F(Win32FileSystemTest, TemporaryLiesInTheDestinationsFolder) {
  ASSERT_EQ(files_.CreateFolder((scratch_ / "sub").c_str()), CreateFolderResult::kCreated);
  FileHandle file = files_.CreateReplacement((scratch_ / "sub\\a.txt").c_str());
  ASSERT_NE(file, kNoFile);

  EXPECT_TRUE(HasTemporary(scratch_ / "sub"));
  EXPECT_FALSE(HasTemporary(scratch_.path()));

  files_.AbandonReplacement(file);
  EXPECT_FALSE(HasTemporary(scratch_ / "sub"));
}

// A name ending in a backslash names a folder, never a file to write.
TEST_F(Win32FileSystemTest, ReplacementOfAFolderNameFails) {
  ASSERT_EQ(files_.CreateFolder((scratch_ / "folder").c_str()), CreateFolderResult::kCreated);

  EXPECT_EQ(files_.CreateReplacement((scratch_ / "folder\\").c_str()), kNoFile);
  EXPECT_EQ(files_.CreateReplacement((scratch_ / "new\\").c_str()), kNoFile);
  EXPECT_FALSE(HasTemporary(scratch_.path()));
  EXPECT_FALSE(HasTemporary(scratch_ / "folder"));
}

TEST_F(Win32FileSystemTest, ReplacementBesideANameWithTheByte5C) {
  const char* code_page = std::getenv("SETUP_EXPECT_ANSI_CODEPAGE");
  if (code_page == nullptr || std::strcmp(code_page, "932") != 0) {
    GTEST_SKIP() << "needs SETUP_EXPECT_ANSI_CODEPAGE=932";
  }
  const std::string folder = scratch_ / "\x95\x5C";  // one double-byte character
  ASSERT_EQ(files_.CreateFolder(folder.c_str()), CreateFolderResult::kCreated);

  // The file named after that character and "b.txt" has its temporary beside
  // it, not inside the folder.
  const std::string path = scratch_ /
                           "\x95\x5C"
                           "b.txt";
  FileHandle file = files_.CreateReplacement(path.c_str());
  ASSERT_NE(file, kNoFile);
  EXPECT_TRUE(HasTemporary(scratch_.path()));
  EXPECT_FALSE(HasTemporary(folder));
  ASSERT_TRUE(files_.Write(file, "made", 4));
  ASSERT_TRUE(files_.CommitReplacement(file));

  ASSERT_TRUE(Replace(folder + "\\a.txt", "made"));
  FileStatus status;
  EXPECT_TRUE(files_.GetStatus(path.c_str(), &status));
  EXPECT_TRUE(files_.GetStatus((folder + "\\a.txt").c_str(), &status));
  EXPECT_FALSE(HasTemporary(scratch_.path()));
}

}  // namespace
}  // namespace setup::testing
