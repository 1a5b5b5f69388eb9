// The in-memory file system keeps the Windows rules the engine's tests rely on.
#include "tests/fakes/fake_file_system.h"

#include <gtest/gtest.h>

namespace setup::testing {
namespace {

TEST(FakeFileSystemTest, StatusWithWildcardsIgnoresCase) {
  FakeFileSystem files;
  files.AddFile("C:\\App\\zeta.dll", "", 0, 2);
  files.AddFile("C:\\App\\Alpha.DLL", "", kAttrReadOnly, 1);
  files.AddFolder("C:\\App\\Sub");
  FileStatus status;
  ASSERT_TRUE(files.GetStatus("c:\\app\\*.dll", &status));
  EXPECT_EQ(status.last_write_time, 1);  // the first in name order
  EXPECT_EQ(status.attributes, kAttrReadOnly);
  EXPECT_TRUE(files.GetStatus("C:/APP/ZETA.???", &status));
  EXPECT_EQ(status.last_write_time, 2);
  EXPECT_TRUE(files.GetStatus("C:\\APP\\S*", &status));
  EXPECT_EQ(status.attributes, kAttrDirectory);
  EXPECT_FALSE(files.GetStatus("C:\\APP\\*.exe", &status));
  EXPECT_FALSE(files.GetStatus("C:\\*.dll", &status));  // no recursion into folders
}

TEST(FakeFileSystemTest, ReplacementShowsOnlyWhenCommitted) {
  FakeFileSystem files;
  files.AddFile("C:\\A\\F.TXT", "old");
  FileHandle file = files.CreateReplacement("C:\\A\\F.TXT");
  ASSERT_NE(file, kNoFile);
  EXPECT_TRUE(files.Write(file, "new", 3));
  EXPECT_EQ(files.Contents("C:\\A\\F.TXT"), "old");
  EXPECT_EQ(files.Listing().size(), 3u);  // the temporary sits beside it
  files.AbandonReplacement(file);
  EXPECT_EQ(files.Contents("C:\\A\\F.TXT"), "old");
  EXPECT_EQ(files.Listing().size(), 2u);

  file = files.CreateReplacement("c:\\a\\f.txt");
  EXPECT_TRUE(files.Write(file, "new", 3));
  EXPECT_TRUE(files.CommitReplacement(file));
  EXPECT_EQ(files.Contents("C:\\A\\F.TXT"), "new");
  EXPECT_EQ(files.Listing(), (std::vector<std::string>{"C:\\A\\", "C:\\A\\F.TXT"}));
  EXPECT_EQ(files.OpenCount(), 0);

  EXPECT_EQ(files.CreateReplacement("C:\\MISSING\\F.TXT"), kNoFile);
  EXPECT_EQ(files.CreateReplacement("C:\\A"), kNoFile);  // a folder
}

TEST(FakeFileSystemTest, FoldersOneLevelAtATime) {
  FakeFileSystem files;
  EXPECT_EQ(files.CreateFolder("C:\\A\\B"), CreateFolderResult::kFailed);
  EXPECT_EQ(files.CreateFolder("C:\\A"), CreateFolderResult::kCreated);
  EXPECT_EQ(files.CreateFolder("c:\\a\\"), CreateFolderResult::kAlreadyExists);
  EXPECT_EQ(files.CreateFolder("C:\\A\\B"), CreateFolderResult::kCreated);
  EXPECT_EQ(files.CreateFolder("C:\\"), CreateFolderResult::kAlreadyExists);
}

TEST(FakeFileSystemTest, CopyKeepsTimeAndAttributes) {
  FakeFileSystem files;
  files.AddFile("D:\\S.DLL", "bytes", 0x20, 99);
  files.AddFolder("C:\\A");
  EXPECT_TRUE(files.CopyFile("D:\\S.DLL", "C:\\A\\S.DLL"));
  FileStatus status;
  ASSERT_TRUE(files.GetStatus("C:\\A\\S.DLL", &status));
  EXPECT_EQ(status.last_write_time, 99);
  EXPECT_EQ(status.attributes, 0x20u);
  files.AddFile("C:\\A\\RO.DLL", "keep", kAttrReadOnly);
  EXPECT_FALSE(files.CopyFile("D:\\S.DLL", "C:\\A\\RO.DLL"));
  EXPECT_EQ(files.Contents("C:\\A\\RO.DLL"), "keep");
}

TEST(FakeFileSystemTest, FailsTheNthOperation) {
  FakeFileSystem files;
  files.AddFile("D:\\F", "x");
  files.FailOperation("OpenRead", 2);
  FileHandle first = files.OpenRead("D:\\F");
  EXPECT_NE(first, kNoFile);
  EXPECT_EQ(files.OpenRead("D:\\F"), kNoFile);
  EXPECT_NE(files.OpenRead("D:\\F"), kNoFile);
  char buffer[4];
  EXPECT_EQ(files.Read(first, buffer, sizeof buffer), 1);
  EXPECT_EQ(files.Read(first, buffer, sizeof buffer), 0);

  FakeFileSystem counted;
  counted.fail_at = 2;
  EXPECT_EQ(counted.CreateFolder("C:\\A"), CreateFolderResult::kCreated);
  EXPECT_EQ(counted.CreateFolder("C:\\B"), CreateFolderResult::kFailed);
  EXPECT_EQ(counted.CreateFolder("C:\\B"), CreateFolderResult::kCreated);
  EXPECT_EQ(counted.log.back(), "CreateFolder C:\\B -> ok");
}

}  // namespace
}  // namespace setup::testing
