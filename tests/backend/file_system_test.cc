// Behaviour of the file system that every back end shares, and the fake
// the unit tests use: folders, reading, replacing, copying, finding and
// attributes, in a scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/backend/backend.h"
#include "tests/fakes/fake_file_system.h"

namespace setup::testing {
namespace {

constexpr unsigned kKnownAttributes = kAttrReadOnly | kAttrDirectory;
// 2001-09-09 01:46:40 UTC, far from the time the tests run.
constexpr std::int64_t kOldTime = 1000000000;

// Bytes that text-mode I/O would change.
const std::string kBinary("line\r\nnext\n\x1A\0end\xFF\0", 18);

// One file system under test, with an empty folder for the test and the
// means to look at files from outside it.
class FileWorld {
 public:
  virtual ~FileWorld() = default;
  virtual FileSystem& files() = 0;
  // The test's folder in Windows form, without a final backslash.
  virtual std::string scratch() const = 0;
  virtual bool WriteFile(const std::string& path, const std::string& bytes) = 0;
  // The whole file, or "<missing>".
  virtual std::string ReadFile(const std::string& path) = 0;
  virtual bool SetLastWriteTime(const std::string& path, std::int64_t seconds) = 0;
  // The names of the entries in folder, as they were created, in any order.
  virtual std::vector<std::string> Names(const std::string& folder) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Keeps path open as another program would (appending when writing) until
  // Release; false when it cannot.
  virtual bool HoldOpen(const std::string& path, bool writing) = 0;
  virtual void Release() = 0;
};

// This build's back end, seen through the C library.
class RealWorld : public FileWorld {
 public:
  ~RealWorld() override { Release(); }
  FileSystem& files() override { return RealFileSystem(); }
  std::string scratch() const override { return scratch_.path(); }
  bool WriteFile(const std::string& path, const std::string& bytes) override {
    return testing::WriteFile(path, bytes);
  }
  std::string ReadFile(const std::string& path) override { return testing::ReadFile(path); }
  bool SetLastWriteTime(const std::string& path, std::int64_t seconds) override {
    return testing::SetLastWriteTime(path, seconds);
  }
  std::vector<std::string> Names(const std::string& folder) override {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  bool RemoveFile(const std::string& path) override {
    return std::remove(NativePath(path).c_str()) == 0;
  }
  bool HoldOpen(const std::string& path, bool writing) override {
    std::FILE* file = std::fopen(NativePath(path).c_str(), writing ? "ab" : "rb");
    if (file != nullptr) held_.push_back(file);
    return file != nullptr;
  }
  void Release() override {
    for (std::FILE* file : held_) std::fclose(file);
    held_.clear();
  }

 private:
  ScratchFolder scratch_;
  std::vector<std::FILE*> held_;
};

// The unit tests' fake, seen through its own inspection calls.
class FakeWorld : public FileWorld {
 public:
  FakeWorld() { fake_.AddFolder(kScratch); }
  FileSystem& files() override { return fake_; }
  std::string scratch() const override { return kScratch; }
  bool WriteFile(const std::string& path, const std::string& bytes) override {
    // As fopen: into an existing folder, never over a folder or a read-only file.
    if (!fake_.IsFolder(FakeFileSystem::Parent(path)) || fake_.IsFolder(path) ||
        (fake_.Attributes(path) & kAttrReadOnly) != 0) {
      return false;
    }
    fake_.AddFile(path, bytes, 0, fake_.clock);
    return true;
  }
  std::string ReadFile(const std::string& path) override {
    return fake_.Exists(path) && !fake_.IsFolder(path) ? fake_.Contents(path) : "<missing>";
  }
  bool SetLastWriteTime(const std::string& path, std::int64_t seconds) override {
    return fake_.SetLastWriteTime(path, seconds);
  }
  std::vector<std::string> Names(const std::string& folder) override { return fake_.Names(folder); }
  bool RemoveFile(const std::string& path) override { return fake_.Remove(path); }
  // Nothing else runs in the fake's world: a held file is merely one that exists.
  bool HoldOpen(const std::string& path, bool) override { return fake_.Exists(path); }
  void Release() override {}

 private:
  static constexpr char kScratch[] = "C:\\scratch";
  FakeFileSystem fake_;
};

struct World {
  const char* name;
  std::unique_ptr<FileWorld> (*make)();
};
void PrintTo(const World& world, std::ostream* out) { *out << world.name; }

// A Windows-form folder that joins names as ScratchFolder does.
class Folder {
 public:
  explicit Folder(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

class BackendFileSystemTest : public ::testing::TestWithParam<World> {
 protected:
  bool WriteFile(const std::string& path, const std::string& bytes) {
    return world_->WriteFile(path, bytes);
  }
  std::string ReadFile(const std::string& path) { return world_->ReadFile(path); }
  bool SetLastWriteTime(const std::string& path, std::int64_t seconds) {
    return world_->SetLastWriteTime(path, seconds);
  }
  // The names in a folder, so that tests see temporaries left behind.
  std::vector<std::string> Names(const Folder& folder) { return world_->Names(folder.path()); }
  bool RemoveFile(const std::string& path) { return world_->RemoveFile(path); }
  // The known attribute bits of path, or -1 when GetStatus finds nothing.
  int Attributes(const std::string& path) {
    FileStatus status;
    if (!files_.GetStatus(path.c_str(), &status)) return -1;
    return static_cast<int>(status.attributes & kKnownAttributes);
  }

  std::unique_ptr<FileWorld> world_ = GetParam().make();
  FileSystem& files_ = world_->files();
  Folder scratch_{world_->scratch()};
};

TEST_P(BackendFileSystemTest, CreateFolderMakesTheLastLevelOnly) {
  std::string folder = scratch_ / "new";
  EXPECT_EQ(files_.CreateFolder(folder.c_str()), CreateFolderResult::kCreated);
  EXPECT_EQ(Attributes(folder), static_cast<int>(kAttrDirectory));
  EXPECT_EQ(files_.CreateFolder(folder.c_str()), CreateFolderResult::kAlreadyExists);
  std::string two_levels = scratch_ / "missing\\below";
  EXPECT_EQ(files_.CreateFolder(two_levels.c_str()), CreateFolderResult::kFailed);
  EXPECT_EQ(Attributes(scratch_ / "missing"), -1);
}

TEST_P(BackendFileSystemTest, CreateFolderOnAFileReportsItExists) {
  ASSERT_TRUE(WriteFile(scratch_ / "file", "x"));
  EXPECT_EQ(files_.CreateFolder((scratch_ / "file").c_str()), CreateFolderResult::kAlreadyExists);
  EXPECT_EQ(ReadFile(scratch_ / "file"), "x");
}

TEST_P(BackendFileSystemTest, CreateFolderAcceptsAFinalBackslash) {
  EXPECT_EQ(files_.CreateFolder((scratch_ / "dir\\").c_str()), CreateFolderResult::kCreated);
  EXPECT_EQ(Attributes(scratch_ / "dir"), static_cast<int>(kAttrDirectory));
}

TEST_P(BackendFileSystemTest, ReadGivesTheBytesUnchanged) {
  ASSERT_TRUE(WriteFile(scratch_ / "data.bin", kBinary));
  FileHandle file = files_.OpenRead((scratch_ / "data.bin").c_str());
  ASSERT_NE(file, kNoFile);
  char buffer[64];
  std::string bytes;
  long got;
  while ((got = files_.Read(file, buffer, 5)) > 0) bytes.append(buffer, got);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(bytes, kBinary);
  files_.Close(file);
}

TEST_P(BackendFileSystemTest, OpenReadFailsForMissingFilesAndFolders) {
  EXPECT_EQ(files_.OpenRead((scratch_ / "missing").c_str()), kNoFile);
  EXPECT_EQ(files_.OpenRead(scratch_.path().c_str()), kNoFile);
}

TEST_P(BackendFileSystemTest, CommittedReplacementTakesThePlaceOfTheFile) {
  std::string path = scratch_ / "target.txt";
  ASSERT_TRUE(WriteFile(path, "old contents that are longer"));
  FileHandle file = files_.CreateReplacement(path.c_str());
  ASSERT_NE(file, kNoFile);
  ASSERT_TRUE(files_.Write(file, kBinary.data(), kBinary.size()));
  EXPECT_EQ(ReadFile(path), "old contents that are longer");  // untouched until the commit
  EXPECT_TRUE(files_.CommitReplacement(file));
  EXPECT_EQ(ReadFile(path), kBinary);
  EXPECT_EQ(Names(scratch_), std::vector<std::string>{"target.txt"});
}

TEST_P(BackendFileSystemTest, ReplacementCreatesAMissingFile) {
  std::string path = scratch_ / "new.txt";
  FileHandle file = files_.CreateReplacement(path.c_str());
  ASSERT_NE(file, kNoFile);
  ASSERT_TRUE(files_.Write(file, "abc", 3));
  EXPECT_TRUE(files_.CommitReplacement(file));
  EXPECT_EQ(ReadFile(path), "abc");
  EXPECT_EQ(Attributes(path), 0);
}

TEST_P(BackendFileSystemTest, AbandonedOrClosedReplacementLeavesTheOldFile) {
  std::string path = scratch_ / "keep.txt";
  ASSERT_TRUE(WriteFile(path, "old"));
  FileHandle abandoned = files_.CreateReplacement(path.c_str());
  ASSERT_NE(abandoned, kNoFile);
  ASSERT_TRUE(files_.Write(abandoned, "new", 3));
  files_.AbandonReplacement(abandoned);
  FileHandle closed = files_.CreateReplacement(path.c_str());
  ASSERT_NE(closed, kNoFile);
  ASSERT_TRUE(files_.Write(closed, "new", 3));
  files_.Close(closed);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(Names(scratch_), std::vector<std::string>{"keep.txt"});
}

TEST_P(BackendFileSystemTest, ReplacementFailsWhereTheFileCannotBeWritten) {
  ASSERT_TRUE(WriteFile(scratch_ / "locked.txt", "old"));
  ASSERT_TRUE(files_.SetAttributes((scratch_ / "locked.txt").c_str(), kAttrReadOnly));
  ASSERT_EQ(files_.CreateFolder((scratch_ / "folder").c_str()), CreateFolderResult::kCreated);
  for (const std::string& path :
       {scratch_ / "missing\\file.txt", scratch_ / "locked.txt", scratch_ / "folder"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(files_.CreateReplacement(path.c_str()), kNoFile);
  }
  EXPECT_EQ(ReadFile(scratch_ / "locked.txt"), "old");
  EXPECT_TRUE(files_.SetAttributes((scratch_ / "locked.txt").c_str(), 0));
}

// As fopen does: a file another program holds open for writing is read, and
// a destination held open (without delete sharing, as fopen holds it) is
// replaced; on Windows the commit then writes over it in place.
TEST_P(BackendFileSystemTest, FilesHeldOpenElsewhereAreReadAndReplaced) {
  const std::string log = scratch_ / "log.txt";
  const std::string dest = scratch_ / "dest.txt";
  ASSERT_TRUE(WriteFile(log, "logged"));
  ASSERT_TRUE(WriteFile(dest, "old and longer"));
  ASSERT_TRUE(world_->HoldOpen(log, true));
  ASSERT_TRUE(world_->HoldOpen(dest, false));

  FileHandle file = files_.OpenRead(log.c_str());
  ASSERT_NE(file, kNoFile);
  char buffer[16];
  EXPECT_EQ(files_.Read(file, buffer, sizeof buffer), 6);
  files_.Close(file);
  file = files_.CreateReplacement(dest.c_str());
  ASSERT_NE(file, kNoFile);
  ASSERT_TRUE(files_.Write(file, "new", 3));
  EXPECT_TRUE(files_.CommitReplacement(file));

  world_->Release();
  EXPECT_EQ(ReadFile(dest), "new");
  std::vector<std::string> names = Names(scratch_);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dest.txt", "log.txt"}));
}

// Every destination path that fits MAX_PATH (259 bytes and the end) can be
// replaced: the temporary beside it fits too.
TEST_P(BackendFileSystemTest, ReplacementOfTheLongestPath) {
  const std::string folder = scratch_ / std::string(200, 'd');
  ASSERT_EQ(files_.CreateFolder(folder.c_str()), CreateFolderResult::kCreated);
  for (size_t name_length : {1u, 20u}) {
    SCOPED_TRACE(name_length);
    std::string path = folder + "\\" + std::string(name_length, 'n');
    path.insert(folder.size() + 1, 259 - path.size(), 'p');
    ASSERT_EQ(path.size(), 259u);
    ASSERT_TRUE(WriteFile(path, "old"));
    FileHandle file = files_.CreateReplacement(path.c_str());
    ASSERT_NE(file, kNoFile);
    ASSERT_TRUE(files_.Write(file, "new", 3));
    EXPECT_TRUE(files_.CommitReplacement(file));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(Names(scratch_).size(), 1u);
    ASSERT_TRUE(RemoveFile(path));
  }
}

TEST_P(BackendFileSystemTest, CopyOverwritesAndKeepsTheTime) {
  std::string source = scratch_ / "source.bin";
  std::string dest = scratch_ / "dest.bin";
  ASSERT_TRUE(WriteFile(source, kBinary));
  ASSERT_TRUE(WriteFile(dest, "an older and longer destination"));
  ASSERT_TRUE(SetLastWriteTime(source, kOldTime));
  EXPECT_TRUE(files_.CopyFile(source.c_str(), dest.c_str()));
  EXPECT_EQ(ReadFile(dest), kBinary);
  FileStatus status;
  ASSERT_TRUE(files_.GetStatus(dest.c_str(), &status));
  EXPECT_EQ(status.last_write_time, kOldTime);
  EXPECT_EQ(status.attributes & kKnownAttributes, 0u);
}

// CopyFileA gives the copy the source's attributes, whether the destination
// existed or not (Wine's own CopyFileA drops them when it overwrites).
TEST_P(BackendFileSystemTest, CopyKeepsReadOnly) {
  std::string source = scratch_ / "source.txt";
  ASSERT_TRUE(WriteFile(source, "x"));
  ASSERT_TRUE(WriteFile(scratch_ / "existing.txt", "old"));
  ASSERT_TRUE(files_.SetAttributes(source.c_str(), kAttrReadOnly));
  for (const std::string& dest : {scratch_ / "new.txt", scratch_ / "existing.txt"}) {
    SCOPED_TRACE(dest);
    EXPECT_TRUE(files_.CopyFile(source.c_str(), dest.c_str()));
    EXPECT_EQ(ReadFile(dest), "x");
    EXPECT_EQ(Attributes(dest), static_cast<int>(kAttrReadOnly));
  }
}

TEST_P(BackendFileSystemTest, CopyFailsWithoutSourceOrDestinationFolder) {
  ASSERT_TRUE(WriteFile(scratch_ / "dest.txt", "old"));
  ASSERT_TRUE(WriteFile(scratch_ / "source.txt", "new"));
  struct Case {
    std::string source, dest;
  } cases[] = {
      {scratch_ / "missing.txt", scratch_ / "dest.txt"},
      {scratch_ / "source.txt", scratch_ / "no folder\\dest.txt"},
      {scratch_.path(), scratch_ / "copy of folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.dest);
    EXPECT_FALSE(files_.CopyFile(c.source.c_str(), c.dest.c_str()));
  }
  EXPECT_EQ(ReadFile(scratch_ / "dest.txt"), "old");
  EXPECT_EQ(Attributes(scratch_ / "copy of folder"), -1);
}

TEST_P(BackendFileSystemTest, GetStatusFindsFilesAndFolders) {
  ASSERT_TRUE(WriteFile(scratch_ / "ReadMe.txt", "x"));
  ASSERT_TRUE(SetLastWriteTime(scratch_ / "ReadMe.txt", kOldTime));
  ASSERT_EQ(files_.CreateFolder((scratch_ / "Sub").c_str()), CreateFolderResult::kCreated);
  FileStatus status;
  ASSERT_TRUE(files_.GetStatus((scratch_ / "README.TXT").c_str(), &status));
  EXPECT_EQ(status.attributes & kKnownAttributes, 0u);
  EXPECT_EQ(status.last_write_time, kOldTime);
  EXPECT_EQ(Attributes(scratch_ / "sub"), static_cast<int>(kAttrDirectory));
  EXPECT_EQ(Attributes(scratch_.path()), static_cast<int>(kAttrDirectory));
  EXPECT_EQ(Attributes(scratch_ / "missing.txt"), -1);
  EXPECT_EQ(Attributes(scratch_ / "missing\\ReadMe.txt"), -1);
}

TEST_P(BackendFileSystemTest, GetStatusMatchesWildcardsCaseInsensitively) {
  ASSERT_TRUE(WriteFile(scratch_ / "ReadMe.txt", "x"));
  ASSERT_TRUE(SetLastWriteTime(scratch_ / "ReadMe.txt", kOldTime));
  ASSERT_EQ(files_.CreateFolder((scratch_ / "Data").c_str()), CreateFolderResult::kCreated);
  struct Case {
    const char* pattern;
    int attributes;  // -1: nothing matches
  } cases[] = {
      {"*.TXT", 0},      {"readme.*", 0}, {"r?adm?.txt", 0},      {"*ME*", 0},
      {"re?me.txt", -1}, {"*.doc", -1},   {"d*", kAttrDirectory}, {"DAT?", kAttrDirectory},
      {"x*", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Attributes(scratch_ / c.pattern), c.attributes);
  }
  FileStatus status;
  ASSERT_TRUE(files_.GetStatus((scratch_ / "*.txt").c_str(), &status));
  EXPECT_EQ(status.last_write_time, kOldTime);
}

TEST_P(BackendFileSystemTest, SetAttributesTogglesReadOnly) {
  std::string path = scratch_ / "file.txt";
  ASSERT_TRUE(WriteFile(path, "x"));
  EXPECT_TRUE(files_.SetAttributes(path.c_str(), kAttrReadOnly));
  EXPECT_EQ(Attributes(path), static_cast<int>(kAttrReadOnly));
  EXPECT_TRUE(files_.SetAttributes(path.c_str(), 0));
  EXPECT_EQ(Attributes(path), 0);
  EXPECT_FALSE(files_.SetAttributes((scratch_ / "missing.txt").c_str(), kAttrReadOnly));
}

std::unique_ptr<FileWorld> MakeRealWorld() { return std::make_unique<RealWorld>(); }
std::unique_ptr<FileWorld> MakeFakeWorld() { return std::make_unique<FakeWorld>(); }

INSTANTIATE_TEST_SUITE_P(, BackendFileSystemTest,
                         ::testing::Values(World{"Real", MakeRealWorld},
                                           World{"Fake", MakeFakeWorld}),
                         [](const ::testing::TestParamInfo<World>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace setup::testing
