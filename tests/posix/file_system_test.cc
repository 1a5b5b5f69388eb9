// What the POSIX file system adds to the shared behaviour: failures that
// leave the old file whole, the read-only attribute for root, permissions,
// links, the order of wildcard matches and double-byte names.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/file_system_posix.h"
#include "tests/backend/backend.h"
#include "tests/posix/test_machine.h"

namespace setup::testing {
namespace {

size_t EntryCount(const ScratchFolder& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder.path()))) {
    (void)entry;
    ++count;
  }
  return count;
}

mode_t Mode(const std::string& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Lowers the file size limit for one test, so that writes fail with EFBIG
// part way, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  struct rlimit saved_;
  sighandler_t old_handler_;
};

// Over the machine of the scratch folders, so one lookup knows every change;
// its code page is Shift-JIS.
class PosixFileSystemTest : public ::testing::Test {
 protected:
  posix::PosixFileSystem files_{BackendMachine()};
  ScratchFolder scratch_;
};

TEST_F(PosixFileSystemTest, InterruptedCopyLeavesTheOldDestination) {
  std::string source = scratch_ / "big.bin";
  std::string dest = scratch_ / "dest.bin";
  ASSERT_TRUE(WriteFile(source, std::string(1 << 20, 'n')));
  ASSERT_TRUE(WriteFile(dest, "old"));
  {
    FileSizeLimit limit(64 * 1024);
    EXPECT_FALSE(files_.CopyFile(source.c_str(), dest.c_str()));
  }
  EXPECT_EQ(ReadFile(dest), "old");
  EXPECT_EQ(EntryCount(scratch_), 2u);  // no temporary left behind
}

TEST_F(PosixFileSystemTest, InterruptedReplacementLeavesTheOldFile) {
  std::string path = scratch_ / "file.txt";
  ASSERT_TRUE(WriteFile(path, "old"));
  FileHandle file = files_.CreateReplacement(path.c_str());
  ASSERT_NE(file, kNoFile);
  {
    FileSizeLimit limit(1024);
    std::string big(4096, 'x');
    EXPECT_FALSE(files_.Write(file, big.data(), big.size()));
  }
  files_.AbandonReplacement(file);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(EntryCount(scratch_), 1u);
}

TEST_F(PosixFileSystemTest, ReadOnlyDestinationStopsRootToo) {
  std::string source = scratch_ / "source.txt";
  std::string dest = scratch_ / "dest.txt";
  ASSERT_TRUE(WriteFile(source, "new"));
  ASSERT_TRUE(WriteFile(dest, "old"));
  ASSERT_TRUE(files_.SetAttributes(dest.c_str(), kAttrReadOnly));
  EXPECT_FALSE(files_.CopyFile(source.c_str(), dest.c_str()));
  EXPECT_EQ(files_.CreateReplacement(dest.c_str()), kNoFile);
  EXPECT_EQ(ReadFile(dest), "old");
  ASSERT_TRUE(files_.SetAttributes(dest.c_str(), 0));
  EXPECT_TRUE(files_.CopyFile(source.c_str(), dest.c_str()));
  EXPECT_EQ(ReadFile(dest), "new");
}

// BinCopy looks at its destination (ClearReadOnly) and copies onto it at
// once, over one opening of the destination's folder. That opening serves
// that copy alone: after any other call, a copy to another name or a wait,
// a folder moved out of the machine and replaced by a link is judged again.
TEST_F(PosixFileSystemTest, ALookAtADestinationServesOnlyTheCopyRightAfterIt) {
  struct Case {
    const char* between;
    void (*act)(posix::PosixFileSystem& files, const ScratchFolder& scratch);
  };
  const Case cases[] = {
      {"another call",
       [](posix::PosixFileSystem& files, const ScratchFolder& scratch) {
         EXPECT_EQ(files.CreateFolder((scratch / "c").c_str()), CreateFolderResult::kCreated);
       }},
      {"a copy to another name",
       [](posix::PosixFileSystem& files, const ScratchFolder& scratch) {
         EXPECT_TRUE(files.CopyFile((scratch / "source.txt").c_str(),
                                    (scratch / "a\\b\\other.txt").c_str()));
       }},
      {"a wait", [](posix::PosixFileSystem&, const ScratchFolder&) { usleep(300 * 1000); }},
      {"a second look between two waits",
       [](posix::PosixFileSystem& files, const ScratchFolder& scratch) {
         usleep(150 * 1000);
         FileStatus status;
         EXPECT_FALSE(files.GetStatus((scratch / "a\\b\\dest.txt").c_str(), &status));
         usleep(150 * 1000);
       }},
  };
  const std::filesystem::path outside =
      std::filesystem::temp_directory_path() / ("file_system_test_out_" + std::to_string(getpid()));
  TestMachine machine(932);  // no host access: the sandbox applies
  posix::PosixFileSystem files(machine);
  for (const Case& c : cases) {
    std::filesystem::remove_all(outside);
    std::filesystem::create_directories(outside);
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFile(scratch / "source.txt", "data"));
    ASSERT_EQ(files.CreateFolder((scratch / "a").c_str()), CreateFolderResult::kCreated);
    ASSERT_EQ(files.CreateFolder((scratch / "a\\b").c_str()), CreateFolderResult::kCreated);
    FileStatus status;
    EXPECT_FALSE(files.GetStatus((scratch / "a\\b\\dest.txt").c_str(), &status));
    c.act(files, scratch);
    const std::filesystem::path a = NativePath(scratch / "a");
    std::filesystem::rename(a, outside / "a");
    std::filesystem::create_directory_symlink(outside / "a", a);
    EXPECT_FALSE(
        files.CopyFile((scratch / "source.txt").c_str(), (scratch / "a\\b\\dest.txt").c_str()))
        << c.between;
    EXPECT_FALSE(std::filesystem::exists(outside / "a" / "b" / "dest.txt")) << c.between;
    std::filesystem::remove(a);
  }
  std::filesystem::remove_all(outside);
}

TEST_F(PosixFileSystemTest, CopyOntoItselfFailsAndKeepsTheFile) {
  std::string path = scratch_ / "same.txt";
  ASSERT_TRUE(WriteFile(path, "data"));
  EXPECT_FALSE(files_.CopyFile(path.c_str(), (scratch_ / "SAME.TXT").c_str()));
  EXPECT_EQ(ReadFile(path), "data");
  EXPECT_EQ(EntryCount(scratch_), 1u);
}

TEST_F(PosixFileSystemTest, ReadOnlyIsTheOwnersWriteBit) {
  std::string path = scratch_ / "file.txt";
  ASSERT_TRUE(WriteFile(path, "x"));
  chmod(NativePath(path).c_str(), 0664);
  ASSERT_TRUE(files_.SetAttributes(path.c_str(), kAttrReadOnly));
  EXPECT_EQ(Mode(path), 0444u);
  ASSERT_TRUE(files_.SetAttributes(path.c_str(), 0));
  EXPECT_EQ(Mode(path), 0644u);
  chmod(NativePath(path).c_str(), 0466);  // others may write, the owner may not
  FileStatus status;
  ASSERT_TRUE(files_.GetStatus(path.c_str(), &status));
  EXPECT_EQ(status.attributes, kAttrReadOnly);
}

// Installed files never take the source's whole mode: a new one gets 0666
// and the source's execute bits under the umask, a replaced one (here 6775)
// keeps its own bits without setuid and setgid, and a read-only source takes
// every write bit away. A text copy (source 0) has no source mode to follow.
TEST_F(PosixFileSystemTest, InstalledFilesGetSaneModes) {
  struct Case {
    mode_t umask;
    mode_t source;  // 0: a text copy through CreateReplacement
    bool replaced;
    mode_t expected;
  } cases[] = {
      {022, 04777, false, 0755}, {022, 04777, true, 0775}, {022, 0666, false, 0644},
      {022, 0666, true, 0775},   {022, 0444, false, 0444}, {022, 0444, true, 0555},
      {022, 0755, false, 0755},  {022, 0755, true, 0775},  {077, 04777, false, 0700},
      {077, 04777, true, 0775},  {077, 0666, false, 0600}, {077, 0444, false, 0400},
      {077, 0444, true, 0555},   {077, 0755, false, 0700}, {022, 0, false, 0644},
      {077, 0, false, 0600},     {077, 0, true, 0775},
  };
  std::string source = scratch_ / "source";
  std::string dest = scratch_ / "dest";
  ASSERT_TRUE(WriteFile(source, "new"));
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::oct << "umask " << c.umask << ", source " << c.source
                                      << (c.replaced ? ", replaced" : ", new"));
    std::remove(NativePath(dest).c_str());
    if (c.replaced) {
      ASSERT_TRUE(WriteFile(dest, "old"));
      ASSERT_EQ(chmod(NativePath(dest).c_str(), 06775), 0);
    }
    ASSERT_EQ(chmod(NativePath(source).c_str(), c.source == 0 ? 0644 : c.source), 0);
    mode_t old_mask = umask(c.umask);
    bool ok;
    if (c.source == 0) {
      FileHandle file = files_.CreateReplacement(dest.c_str());
      ok = file != kNoFile && files_.CommitReplacement(file);
    } else {
      ok = files_.CopyFile(source.c_str(), dest.c_str());
    }
    umask(old_mask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Mode(dest), c.expected);
    chmod(NativePath(dest).c_str(), 0644);  // so the next case may remove it
  }
}

TEST_F(PosixFileSystemTest, ReplacementIsAHiddenTemporaryInTheSameFolder) {
  std::string path = scratch_ / "Setup.log";
  FileHandle file = files_.CreateReplacement(path.c_str());
  ASSERT_NE(file, kNoFile);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(scratch_.path()))) {
    names.push_back(entry.path().filename().string());
  }
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].compare(0, 11, ".Setup.log."), 0) << names[0];
  files_.AbandonReplacement(file);
  EXPECT_EQ(EntryCount(scratch_), 0u);
}

TEST_F(PosixFileSystemTest, WritingThroughALinkKeepsTheLink) {
  ASSERT_TRUE(WriteFile(scratch_ / "real.txt", "old"));
  ASSERT_TRUE(WriteFile(scratch_ / "source.txt", "copied"));
  ASSERT_EQ(symlink("real.txt", NativePath(scratch_ / "link.txt").c_str()), 0);
  ASSERT_TRUE(files_.CopyFile((scratch_ / "source.txt").c_str(), (scratch_ / "link.txt").c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(NativePath(scratch_ / "link.txt")));
  EXPECT_EQ(ReadFile(scratch_ / "real.txt"), "copied");
}

TEST_F(PosixFileSystemTest, WildcardsFindTheFirstNameInCaseInsensitiveOrder) {
  for (const char* name : {"b.txt", "C.txt", "A.txt"}) {
    ASSERT_TRUE(WriteFile(scratch_ / name, "x"));
  }
  ASSERT_TRUE(SetLastWriteTime(scratch_ / "A.txt", 1000000000));
  FileStatus status;
  ASSERT_TRUE(files_.GetStatus((scratch_ / "*.txt").c_str(), &status));
  EXPECT_EQ(status.last_write_time, 1000000000);
}

TEST_F(PosixFileSystemTest, WildcardSpecialCases) {
  ASSERT_EQ(files_.CreateFolder((scratch_ / "empty").c_str()), CreateFolderResult::kCreated);
  ASSERT_TRUE(WriteFile(scratch_ / "README", "x"));
  ASSERT_TRUE(WriteFile(scratch_ / "setup", "x"));
  struct Case {
    const char* pattern;
    bool found;
  } cases[] = {
      {"empty\\*", false},                       // "." and ".." are no matches
      {"empty\\*.*", false}, {"READ*.*", true},  // ".*" also matches a name without a dot
      {"setup.*", true},     {"setu?.*", true},
      {"setup.?", false},    {"*\\README", false},  // wildcards only in the last component
      {"se*p", true},        {"s*x*", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    FileStatus status;
    EXPECT_EQ(files_.GetStatus((scratch_ / c.pattern).c_str(), &status), c.found);
  }
}

TEST_F(PosixFileSystemTest, QuestionMarkMatchesOneWholeCharacter) {
  ASSERT_EQ(files_.CreateFolder((scratch_ / "\x83\x5C\x83\x74\x83\x67").c_str()),
            CreateFolderResult::kCreated);  // "software" in katakana
  FileStatus status;
  EXPECT_TRUE(files_.GetStatus((scratch_ / "?\x83\x74?").c_str(), &status));
  EXPECT_EQ(status.attributes, kAttrDirectory);
  EXPECT_TRUE(files_.GetStatus((scratch_ / "\x83\x5C*").c_str(), &status));
  EXPECT_FALSE(files_.GetStatus((scratch_ / "??").c_str(), &status));
}

TEST_F(PosixFileSystemTest, DoubleByteNamesEndingIn5CStayWhole) {
  std::string folder = scratch_ / "\x95\x5C";  // the kanji for "table"
  EXPECT_EQ(files_.CreateFolder(folder.c_str()), CreateFolderResult::kCreated);
  ASSERT_TRUE(WriteFile(folder + "\\\x83\x5C.txt", "so"));
  FileStatus status;
  EXPECT_TRUE(files_.GetStatus((folder + "\\\x83\x5C.txt").c_str(), &status));
  EXPECT_TRUE(files_.CopyFile((folder + "\\\x83\x5C.txt").c_str(), (folder + "\\copy").c_str()));
  EXPECT_EQ(ReadFile(folder + "\\copy"), "so");
  EXPECT_TRUE(
      std::filesystem::exists(NativePath(scratch_.path()) + "/\xE8\xA1\xA8/\xE3\x82\xBD.txt"));
}

TEST_F(PosixFileSystemTest, PathsNamingNoEntryFindNothing) {
  ASSERT_EQ(files_.CreateFolder((scratch_ / "dir").c_str()), CreateFolderResult::kCreated);
  FileStatus status;
  for (const std::string& path :
       {scratch_ / "dir\\", std::string("C:\\"), std::string("Q:\\x"), scratch_ / "a|b"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(files_.GetStatus(path.c_str(), &status));
  }
  EXPECT_EQ(files_.CreateFolder("Q:\\x"), CreateFolderResult::kFailed);
  EXPECT_FALSE(files_.CopyFile("Q:\\x", (scratch_ / "x").c_str()));
  EXPECT_EQ(files_.OpenRead("Q:\\x"), kNoFile);
}

}  // namespace
}  // namespace setup::testing
