// The Win32 FileSystem on real files: reading, replacing a file through a
// temporary beside it, folders, copies, status and attributes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/file_system_win32.h"
#include "tests/backend/scratch_folder.h"

namespace setup::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

class Win32FileSystemTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (scratch_ / name).string(); }

  // The names in a folder, sorted: shows that no temporary is left behind.
  std::vector<std::string> Names(const std::string& folder = "") const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(scratch_.path() / folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static bool IsReadOnly(const std::string& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
  }

  // Writes bytes through a replacement of path and commits it.
  bool Replace(const std::string& path, const std::string& bytes) {
    FileHandle file = files_->CreateReplacement(path.c_str());
    if (file == kNoFile) return false;
    if (!files_->Write(file, bytes.data(), bytes.size())) {
      files_->AbandonReplacement(file);
      return false;
    }
    return files_->CommitReplacement(file);
  }

  ScratchFolder scratch_;
  std::unique_ptr<FileSystem> files_ = win32::NewFileSystem();
};

TEST_F(Win32FileSystemTest, ReadsAFileToItsEnd) {
  WriteFile(Path("a.txt"), std::string("line\r\n\x1A\0tail", 12));
  FileHandle file = files_->OpenRead(Path("a.txt").c_str());
  ASSERT_NE(file, kNoFile);

  char buffer[8];
  std::string bytes;
  long count;
  while ((count = files_->Read(file, buffer, sizeof buffer)) > 0) bytes.append(buffer, count);
  files_->Close(file);

  EXPECT_EQ(count, 0);
  // Bytes come as they are: no text-mode translation here.
  EXPECT_EQ(bytes, std::string("line\r\n\x1A\0tail", 12));
}

TEST_F(Win32FileSystemTest, MissingFileCannotBeOpened) {
  EXPECT_EQ(files_->OpenRead(Path("none.txt").c_str()), kNoFile);
  EXPECT_EQ(files_->OpenRead(scratch_.path().string().c_str()), kNoFile);
}

TEST_F(Win32FileSystemTest, CommittedReplacementTakesThePlaceOfTheFile) {
  WriteFile(Path("a.txt"), "old contents that are longer");

  ASSERT_TRUE(Replace(Path("a.txt"), "new"));

  EXPECT_EQ(ReadFile(Path("a.txt")), "new");
  EXPECT_THAT(Names(), ElementsAre("a.txt"));
}

TEST_F(Win32FileSystemTest, ReplacementCreatesAMissingFile) {
  ASSERT_TRUE(Replace(Path("new.txt"), "made"));

  EXPECT_EQ(ReadFile(Path("new.txt")), "made");
  EXPECT_THAT(Names(), ElementsAre("new.txt"));
}

TEST_F(Win32FileSystemTest, TemporaryLiesInTheDestinationsFolder) {
  fs::create_directory(scratch_ / "sub");
  FileHandle file = files_->CreateReplacement(Path("sub\\a.txt").c_str());
  ASSERT_NE(file, kNoFile);

  EXPECT_EQ(Names("sub").size(), 1u);
  EXPECT_THAT(Names(), ElementsAre("sub"));
  files_->AbandonReplacement(file);
}

// Abandoning, or closing without a commit, leaves the file as it was and
// removes the temporary.
TEST_F(Win32FileSystemTest, AbandonedReplacementLeavesTheFileAsItWas) {
  WriteFile(Path("a.txt"), "old");
  for (bool close : {false, true}) {
    FileHandle file = files_->CreateReplacement(Path("a.txt").c_str());
    ASSERT_NE(file, kNoFile);
    ASSERT_TRUE(files_->Write(file, "new", 3));

    if (close) {
      files_->Close(file);
    } else {
      files_->AbandonReplacement(file);
    }

    EXPECT_EQ(ReadFile(Path("a.txt")), "old");
    EXPECT_THAT(Names(), ElementsAre("a.txt"));
  }
}

TEST_F(Win32FileSystemTest, ReplacementFailsWhereTheFileCannotBeWritten) {
  WriteFile(Path("locked.txt"), "keep");
  fs::permissions(Path("locked.txt"), fs::perms::owner_write, fs::perm_options::remove);
  fs::create_directory(scratch_ / "folder");

  for (const char* name : {"missing\\a.txt", "locked.txt", "folder", "folder\\"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(files_->CreateReplacement(Path(name).c_str()), kNoFile);
  }
  EXPECT_EQ(ReadFile(Path("locked.txt")), "keep");
  EXPECT_THAT(Names(), ElementsAre("folder", "locked.txt"));
}

TEST_F(Win32FileSystemTest, CreateFolderMakesTheLastLevelOnly) {
  WriteFile(Path("file"), "");

  EXPECT_EQ(files_->CreateFolder(Path("new").c_str()), CreateFolderResult::kCreated);
  EXPECT_TRUE(fs::is_directory(Path("new")));
  EXPECT_EQ(files_->CreateFolder(Path("new").c_str()), CreateFolderResult::kAlreadyExists);
  // The system answers "already exists" for a file of that name too.
  EXPECT_EQ(files_->CreateFolder(Path("file").c_str()), CreateFolderResult::kAlreadyExists);
  EXPECT_EQ(files_->CreateFolder(Path("a\\b").c_str()), CreateFolderResult::kFailed);
  EXPECT_FALSE(fs::exists(Path("a")));
}

TEST_F(Win32FileSystemTest, CopyFileOverwritesAndKeepsTheSourceTime) {
  WriteFile(Path("src.bin"), std::string("\0\x01\xFF", 3));
  WriteFile(Path("dst.bin"), "older and longer");
  fs::last_write_time(Path("src.bin"),
                      fs::last_write_time(Path("src.bin")) - std::chrono::hours(48));

  ASSERT_TRUE(files_->CopyFile(Path("src.bin").c_str(), Path("dst.bin").c_str()));

  EXPECT_EQ(ReadFile(Path("dst.bin")), std::string("\0\x01\xFF", 3));
  FileStatus source;
  FileStatus dest;
  ASSERT_TRUE(files_->GetStatus(Path("src.bin").c_str(), &source));
  ASSERT_TRUE(files_->GetStatus(Path("dst.bin").c_str(), &dest));
  EXPECT_EQ(dest.last_write_time, source.last_write_time);
}

TEST_F(Win32FileSystemTest, CopyFileFailsForAMissingSourceOrFolder) {
  WriteFile(Path("src.bin"), "x");

  EXPECT_FALSE(files_->CopyFile(Path("none.bin").c_str(), Path("dst.bin").c_str()));
  EXPECT_FALSE(files_->CopyFile(Path("src.bin").c_str(), Path("none\\dst.bin").c_str()));
  EXPECT_THAT(Names(), ElementsAre("src.bin"));
}

TEST_F(Win32FileSystemTest, StatusGivesTheLastWriteTimeInSecondsSince1970) {
  WriteFile(Path("a.txt"), "x");
  std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));

  FileStatus status;
  ASSERT_TRUE(files_->GetStatus(Path("a.txt").c_str(), &status));

  EXPECT_NEAR(static_cast<double>(status.last_write_time), static_cast<double>(now), 120.0);
  EXPECT_EQ(status.attributes & (kAttrDirectory | kAttrReadOnly), 0u);
}

TEST_F(Win32FileSystemTest, OlderFileHasTheSmallerTime) {
  WriteFile(Path("old.txt"), "x");
  WriteFile(Path("new.txt"), "x");
  fs::last_write_time(Path("old.txt"),
                      fs::last_write_time(Path("new.txt")) - std::chrono::hours(1));

  FileStatus old_status;
  FileStatus new_status;
  ASSERT_TRUE(files_->GetStatus(Path("old.txt").c_str(), &old_status));
  ASSERT_TRUE(files_->GetStatus(Path("new.txt").c_str(), &new_status));

  EXPECT_NEAR(static_cast<double>(new_status.last_write_time - old_status.last_write_time), 3600.0,
              2.0);
}

// Wildcards match, folders count, and nothing matching is false.
TEST_F(Win32FileSystemTest, StatusFindsTheFirstMatch) {
  WriteFile(Path("setup.inf"), "x");
  fs::create_directory(scratch_ / "Folder");
  FileStatus status;

  EXPECT_TRUE(files_->GetStatus(Path("*.inf").c_str(), &status));
  EXPECT_TRUE(files_->GetStatus(Path("set??.INF").c_str(), &status));
  EXPECT_FALSE(files_->GetStatus(Path("*.none").c_str(), &status));
  EXPECT_FALSE(files_->GetStatus(Path("missing.inf").c_str(), &status));
  ASSERT_TRUE(files_->GetStatus(Path("folder").c_str(), &status));
  EXPECT_NE(status.attributes & kAttrDirectory, 0u);
}

TEST_F(Win32FileSystemTest, SetAttributesSetsAndClearsReadOnly) {
  WriteFile(Path("a.txt"), "x");
  FileStatus status;

  ASSERT_TRUE(files_->SetAttributes(Path("a.txt").c_str(), kAttrReadOnly));
  ASSERT_TRUE(files_->GetStatus(Path("a.txt").c_str(), &status));
  EXPECT_NE(status.attributes & kAttrReadOnly, 0u);
  EXPECT_TRUE(IsReadOnly(Path("a.txt")));

  ASSERT_TRUE(files_->SetAttributes(Path("a.txt").c_str(), status.attributes & ~kAttrReadOnly));
  ASSERT_TRUE(files_->GetStatus(Path("a.txt").c_str(), &status));
  EXPECT_EQ(status.attributes & kAttrReadOnly, 0u);
  EXPECT_FALSE(IsReadOnly(Path("a.txt")));

  EXPECT_FALSE(files_->SetAttributes(Path("none.txt").c_str(), 0));
}

// In code page 932 the second byte of a double-byte character may be 0x5C;
// the temporary must still go to the right folder.
TEST_F(Win32FileSystemTest, ReplacementBesideANameWithTheByte5C) {
  const char* code_page = std::getenv("SETUP_EXPECT_ANSI_CODEPAGE");
  if (code_page == nullptr || std::strcmp(code_page, "932") != 0) {
    GTEST_SKIP() << "needs SETUP_EXPECT_ANSI_CODEPAGE=932";
  }
  const std::string folder = Path("\x95\x5C");  // a folder named with one character
  ASSERT_EQ(files_->CreateFolder(folder.c_str()), CreateFolderResult::kCreated);

  // The temporary of a file named after the folder's character plus "b.txt"
  // lies beside it, not inside the folder.
  const std::string path = Path(
      "\x95\x5C"
      "b.txt");
  FileHandle file = files_->CreateReplacement(path.c_str());
  ASSERT_NE(file, kNoFile);
  FileStatus status;
  EXPECT_TRUE(files_->GetStatus(Path("stp*.tmp").c_str(), &status));
  EXPECT_FALSE(files_->GetStatus((folder + "\\stp*.tmp").c_str(), &status));
  ASSERT_TRUE(files_->Write(file, "made", 4));
  ASSERT_TRUE(files_->CommitReplacement(file));

  ASSERT_TRUE(Replace(folder + "\\a.txt", "made"));
  EXPECT_TRUE(files_->GetStatus(path.c_str(), &status));
  EXPECT_TRUE(files_->GetStatus((folder + "\\a.txt").c_str(), &status));
  EXPECT_EQ(Names().size(), 2u);
}

}  // namespace
}  // namespace setup::testing
