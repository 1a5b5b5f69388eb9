// Drive mapping of the simulated machine: Windows-form paths to host paths
// and back.
#include "platform/posix/machine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/posix/test_machine.h"

namespace setup::testing {
namespace {

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TestMachineRoot();
    drive_c_ = root_ + "/drive_c";
  }
  // Expected host paths are written "C|rest" for <drive_c>rest.
  std::string Expand(const std::string& expected) const {
    return expected.compare(0, 2, "C|") == 0 ? drive_c_ + expected.substr(2) : expected;
  }
  std::string Map(const std::string& windows) {
    std::string host;
    return machine_.ToHostPath(windows.c_str(), &host) ? host : "<fails>";
  }
  std::string ToWindowsPath(const std::string& host) { return machine_.ToWindowsPath(host); }

  TestMachine machine_;
  std::string root_;
  std::string drive_c_;
};

TEST_F(MachineTest, MachineFolderHoldsWindowsAndSystem32) {
  struct stat st;
  EXPECT_EQ(stat((drive_c_ + "/Windows/System32").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(MachineTest, MapsDrivesRootsAndSeparators) {
  struct Case {
    const char* windows;
    const char* host;
  } cases[] = {
      {"C:\\", "C|"},
      {"c:", "C|"},
      {"C:\\Windows\\System32", "C|/Windows/System32"},
      {"C:\\WINDOWS\\system32\\new.dll", "C|/Windows/System32/new.dll"},  // case found
      {"C:/Program Files/App", "C|/Program Files/App"},
      {"C:\\a\\\\b\\", "C|/a/b"},
      {"C:name", "C|/name"},
      {"\\Program Files\\App", "C|/Program Files/App"},  // rooted: drive C:
      {"/x", "C|/x"},
      {"Z:\\home\\me\\medium", "/home/me/medium"},
      {"z:\\", "/"},
      {"Z:", "/"},
      {"D:\\Setup", "<fails>"},
      {"\\\\server\\share\\file", "<fails>"},
      {"\\\\?\\C:\\x", "<fails>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.windows);
    EXPECT_EQ(Map(c.windows), Expand(c.host));
  }
}

TEST_F(MachineTest, DotsResolveByNameAndNeverLeaveTheDrive) {
  struct Case {
    const char* windows;
    const char* host;
  } cases[] = {
      {"C:\\a\\.\\b", "C|/a/b"},
      {"C:\\a\\..\\b", "C|/b"},
      {"C:\\..\\..\\etc\\passwd", "C|/etc/passwd"},
      {"\\..\\registry.reg", "C|/registry.reg"},
      {"Z:\\..\\tmp", "/tmp"},
      {"C:\\name.", "C|/name"},
      {"C:\\name. . ", "C|/name"},
      {"C:\\dir.\\file", "C|/dir/file"},
      {"C:\\...\\x", "C|/x"},
      {"C:\\.hidden", "C|/.hidden"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.windows);
    EXPECT_EQ(Map(c.windows), Expand(c.host));
  }
}

TEST_F(MachineTest, NamesWithCharactersWindowsForbidsFail) {
  for (const char* windows : {"C:\\a*b", "C:\\dir?\\x", "C:\\a|b", "C:\\a\"b", "C:\\a<b", "C:\\a>b",
                              "C:\\a:b", "C:\\tab\there"}) {
    SCOPED_TRACE(windows);
    EXPECT_EQ(Map(windows), "<fails>");
  }
}

TEST_F(MachineTest, RelativePathsFollowTheCurrentFolder) {
  std::string folder = drive_c_ + "/work";
  mkdir(folder.c_str(), 0777);
  CurrentFolderScope in_work(folder);
  // Contained, the current folder is the medium, whatever the process's.
  EXPECT_EQ(Map("file.txt"), "<fails>");  // no medium yet: no current folder
  ASSERT_TRUE(machine_.SetMedium("/tmp"));
  EXPECT_EQ(Map("sub\\file.txt"), "/tmp/sub/file.txt");
  EXPECT_EQ(Map("..\\..\\x"), "/x");  // stops at Z:'s root
  // With host access, it is the process's.
  machine_.set_host_access(true);
  EXPECT_EQ(Map("sub\\file.txt"), drive_c_ + "/work/sub/file.txt");
  EXPECT_EQ(Map(".\\file.txt"), drive_c_ + "/work/file.txt");
  EXPECT_EQ(Map("..\\..\\..\\file.txt"), drive_c_ + "/file.txt");  // stops at C:'s root
  EXPECT_EQ(Map(""), drive_c_ + "/work");
  CurrentFolderScope in_tmp("/tmp");
  EXPECT_EQ(Map("..\\..\\x"), "/x");
}

TEST_F(MachineTest, MissingCaseIsFoundCaseInsensitively) {
  mkdir((drive_c_ + "/Mixed").c_str(), 0777);
  mkdir((drive_c_ + "/Mixed/Foo").c_str(), 0777);
  mkdir((drive_c_ + "/Mixed/FOO").c_str(), 0777);
  EXPECT_EQ(Map("C:\\MIXED\\Foo"), drive_c_ + "/Mixed/Foo");  // the exact name wins
  EXPECT_EQ(Map("C:\\mixed\\foo"), drive_c_ + "/Mixed/FOO");  // else the first in byte order
  EXPECT_EQ(Map("C:\\mixed\\new\\file"), drive_c_ + "/Mixed/new/file");  // missing: as written
}

// The lookup remembers what it read of a folder; every change must still show.
TEST_F(MachineTest, CaseInsensitiveLookupSeesEveryChange) {
  std::string folder = drive_c_ + "/Cached";
  mkdir(folder.c_str(), 0777);
  EXPECT_EQ(Map("C:\\Cached\\Name"), folder + "/Name");  // read: no such entry
  // Made elsewhere, past the bookkeeping: the folder is read again.
  mkdir((folder + "/NAME").c_str(), 0777);
  EXPECT_EQ(Map("C:\\Cached\\name"), folder + "/NAME");
  mkdir((folder + "/Another").c_str(), 0777);
  EXPECT_EQ(Map("C:\\Cached\\ANOTHER"), folder + "/Another");
  // Made by the back end, inside the bookkeeping: known without reading.
  posix::Machine::FolderChange change = machine_.BeginFolderChange(folder + "/Third");
  mkdir((folder + "/Third").c_str(), 0777);
  machine_.EndFolderChange(change, folder + "/Third");
  EXPECT_EQ(Map("C:\\Cached\\THIRD"), folder + "/Third");
  // An earlier name in byte order made elsewhere takes over.
  mkdir((folder + "/NAMe").c_str(), 0777);
  EXPECT_EQ(Map("C:\\Cached\\name"), folder + "/NAME");
  mkdir((folder + "/Aaa").c_str(), 0777);
  mkdir((folder + "/AAA").c_str(), 0777);
  EXPECT_EQ(Map("C:\\Cached\\aaa"), folder + "/AAA");
}

// The mapping remembers the folders it resolved; a folder renamed, replaced
// or moved between two lookups must be resolved again, and one that now
// leads out of the machine refused.
TEST_F(MachineTest, RememberedFoldersFollowEveryChange) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/setup-outside-XXXXXX";  // on the machine's file system, as /tmp is
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path outside = pattern;
  struct Case {
    const char* change;
    const char* path;    // below C:\Remembered\<row>
    const char* before;  // where it leads first, below drive_c/Remembered/<row>
    void (*act)(const fs::path& row, const fs::path& outside);
    const char* after;  // where it leads then; nullptr: refused
  } cases[] = {
      {"folder renamed, another in its place", "A\\sub\\f.txt", "A/Sub/f.txt",
       [](const fs::path& row, const fs::path&) {
         fs::rename(row / "A/Sub", row / "A/Old");
         fs::create_directory(row / "A/SUB");
       },
       "A/SUB/f.txt"},
      {"parent renamed in case", "A\\Sub\\f.txt", "A/Sub/f.txt",
       [](const fs::path& row, const fs::path&) { fs::rename(row / "A", row / "a"); },
       "a/Sub/f.txt"},
      {"folder moved out, a link to it in its place", "A\\Sub\\f.txt", "A/Sub/f.txt",
       [](const fs::path& row, const fs::path& out) {
         fs::rename(row / "A/Sub", out / "Sub");
         fs::create_directory_symlink(out / "Sub", row / "A/Sub");
       },
       nullptr},
      {"folder replaced by a link out", "A\\Sub\\f.txt", "A/Sub/f.txt",
       [](const fs::path& row, const fs::path& out) {
         fs::rename(row / "A/Sub", row / "A/Old");
         fs::create_directory_symlink(out, row / "A/Sub");
       },
       nullptr},
      {"file replaced by a link out", "A\\Sub\\f.txt", "A/Sub/f.txt",
       [](const fs::path& row, const fs::path& out) {
         fs::remove(row / "A/Sub/f.txt");
         fs::create_symlink(out / "secret.txt", row / "A/Sub/f.txt");
       },
       nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    fs::path top = fs::path(drive_c_) / "Remembered";
    fs::path row = top / std::to_string(n);
    fs::path out = outside / std::to_string(n++);
    fs::create_directories(row / "A/Sub");
    fs::create_directories(out);
    std::ofstream(row / "A/Sub/f.txt") << "file";
    std::ofstream(out / "secret.txt") << "secret";
    std::string windows = "C:\\Remembered\\" + row.filename().string() + "\\" + c.path;
    std::string host;
    ASSERT_TRUE(machine_.MapFor(posix::Machine::Access::kWrite, windows.c_str(), &host));
    EXPECT_EQ(host, (row / c.before).string());
    c.act(row, out);
    bool mapped = machine_.MapFor(posix::Machine::Access::kWrite, windows.c_str(), &host);
    EXPECT_EQ(mapped ? host : "<refused>", c.after ? (row / c.after).string() : "<refused>");
  }
  fs::remove_all(outside);
  fs::remove_all(fs::path(drive_c_) / "Remembered");
}

TEST_F(MachineTest, DoubleByteNamesAreNotSplitAtTheirSecondByte) {
  machine_.set_code_page(932);
  // 0x83 0x5C is KATAKANA SO, 0x95 0x5C is the kanji for "table", 0x83 0x7C is PO.
  EXPECT_EQ(Map("C:\\\x83\x5C\\x"), drive_c_ + "/\xE3\x82\xBD/x");
  EXPECT_EQ(Map("C:\\\x95\x5C\\"), drive_c_ + "/\xE8\xA1\xA8");
  EXPECT_EQ(Map("C:\\\x83\x7C"), drive_c_ + "/\xE3\x83\x9D");
  EXPECT_EQ(Map("C:\\ab\\\x83\x5C."), drive_c_ + "/ab/\xE3\x82\xBD");
}

TEST_F(MachineTest, SingleByteCodePagesSplitAtEveryBackslash) {
  machine_.set_code_page(1252);
  // 0x83 is the small f with hook in 1252; the 0x5C after it separates.
  EXPECT_EQ(Map("C:\\\x83\x5C\x78"), drive_c_ + "/\xC6\x92/x");
  EXPECT_EQ(Map("C:\\caf\xE9"), drive_c_ + "/caf\xC3\xA9");
}

// One machine mapping under one code page, then another: every name is
// read with the code page in use at the time.
TEST_F(MachineTest, NamesFollowTheCodePageInUse) {
  struct Case {
    unsigned code_page;
    const char* windows;
    const char* host;
  } cases[] = {
      {932, "C:\\\x83\x5C\\x", "C|/\xE3\x82\xBD/x"},
      {1252, "C:\\\x83\x5C\\x", "C|/\xC6\x92/x"},
      {932, "C:\\\x83\x5C\\x", "C|/\xE3\x82\xBD/x"},
      {1252, "C:\\caf\xE9", "C|/caf\xC3\xA9"},
      {932, "C:\\caf\xE9", "C|/caf\xE9"},  // a lead byte at the end: kept as it is
      {1252, "C:\\caf\xE9\\x", "C|/caf\xC3\xA9/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.code_page) + " " + c.windows);
    machine_.set_code_page(c.code_page);
    EXPECT_EQ(Map(c.windows), Expand(c.host));
  }
}

// Below a component that does not exist nothing exists either, but the
// path must still be judged by where it leads: through a dangling link out
// of the machine it is refused, however deep.
TEST_F(MachineTest, PathsBelowAMissingNameLeadWhereTheirLinksGo) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/setup-outside-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path outside = pattern;
  const fs::path below = fs::path(drive_c_) / "Below";
  fs::create_directories(below / "Mixed");
  fs::create_directory_symlink(outside / "nothing", below / "Dangling");
  fs::create_directory_symlink(below / "NotYet", below / "Inward");
  std::ofstream(below / "plain.txt") << "file";
  fs::create_directories(outside / "medium");
  ASSERT_TRUE(machine_.SetMedium((outside / "medium").string()));
  using Access = posix::Machine::Access;
  struct Case {
    const char* windows;
    Access access;
    const char* host;  // below drive_c/Below ("B|"), the medium ("M|") or as is
  } cases[] = {
      {"C:\\Below\\Gone\\deeper\\f.txt", Access::kWrite, "B|/Gone/deeper/f.txt"},
      {"C:\\Below\\Gone", Access::kWrite, "B|/Gone"},
      {"C:\\Below\\MIXED\\gone\\f.txt", Access::kWrite, "B|/Mixed/gone/f.txt"},
      {"C:\\Below\\Gone\\..\\Mixed\\f.txt", Access::kWrite, "B|/Mixed/f.txt"},
      {"C:\\Below\\Dangling\\new\\f.txt", Access::kWrite, "<refused>"},
      {"C:\\Below\\Dangling\\new\\f.txt", Access::kRead, "<refused>"},
      {"C:\\Below\\Dangling\\f.txt", Access::kWrite, "<refused>"},
      {"C:\\Below\\Inward\\new\\f.txt", Access::kWrite, "B|/Inward/new/f.txt"},
      {"C:\\Below\\plain.txt\\x", Access::kWrite, "<refused>"},
      {"gone\\f.txt", Access::kRead, "M|/gone/f.txt"},
      {"gone\\f.txt", Access::kWrite, "<refused>"},
      {"Z:\\nothing-here\\gone\\f.txt", Access::kRead, "<refused>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.windows);
    std::string expected = c.host;
    if (expected.compare(0, 2, "B|") == 0) expected = below.string() + expected.substr(2);
    if (expected.compare(0, 2, "M|") == 0)
      expected = (outside / "medium").string() + expected.substr(2);
    std::string host;
    EXPECT_EQ(machine_.MapFor(c.access, c.windows, &host) ? host : "<refused>", expected);
  }
  fs::remove_all(outside);
  fs::remove_all(below);
}

TEST_F(MachineTest, HostPathsBackToWindowsForm) {
  machine_.set_code_page(932);
  struct Case {
    const char* host;
    const char* windows;
  } cases[] = {
      {"C|", "C:\\"},
      {"C|/", "C:\\"},
      {"C|/Windows/System32", "C:\\Windows\\System32"},
      {"C|/a/../b/./c/", "C:\\b\\c"},
      {"/home/me/medium", "Z:\\home\\me\\medium"},
      {"/", "Z:\\"},
      {"//tmp//x", "Z:\\tmp\\x"},
      {"C|/\xE3\x82\xBD", "C:\\\x83\x5C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(ToWindowsPath(Expand(c.host)), c.windows);
  }
  EXPECT_EQ(ToWindowsPath(root_ + "/drive_cx"),
            "Z:" + ToWindowsPath(root_).substr(2) + "\\drive_cx");
  CurrentFolderScope in_tmp("/tmp");
  EXPECT_EQ(ToWindowsPath("medium/setup"), "Z:\\tmp\\medium\\setup");
}

TEST_F(MachineTest, WindowsPathsSurviveTheRoundTrip) {
  machine_.set_code_page(932);
  for (const char* windows :
       {"C:\\Windows", "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67", "Z:\\tmp\\\x95\x5C"}) {
    SCOPED_TRACE(windows);
    std::string host;
    ASSERT_TRUE(machine_.ToHostPath(windows, &host));
    EXPECT_EQ(ToWindowsPath(host), windows);
  }
}

// The first run records the code page (the requested one, else the one in
// use); every later run takes the record and refuses another requested one.
TEST(MachineCodePageTest, TheRecordInTheMachineFolderWins) {
  struct Case {
    const char* record;  // the file code_page before the run; nullptr: none
    unsigned in_use;     // the locale's code page
    unsigned requested;  // --code-page; 0 when not given
    unsigned expected;   // the code page afterwards; 0 when the run is refused
    const char* record_after;
  } cases[] = {
      {nullptr, 932, 0, 932, "932\n"},   {nullptr, 1252, 932, 932, "932\n"},
      {"932\n", 1252, 0, 932, "932\n"},  {"1252\n", 932, 1252, 1252, "1252\n"},
      {"932", 1252, 0, 932, "932"},      {"932\n", 932, 1252, 0, "932\n"},
      {"cp932\n", 932, 0, 0, "cp932\n"},
  };
  std::string root = TestMachineRoot() + "/code_page_test";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.record != nullptr ? c.record : "(none)") + " " +
                 std::to_string(c.in_use) + " " + std::to_string(c.requested));
    std::filesystem::remove_all(root);
    posix::Machine machine(c.in_use);
    ASSERT_TRUE(machine.SetRoot(root));
    if (c.record != nullptr) std::ofstream(root + "/code_page") << c.record;
    std::string error;
    bool refused = false;
    bool used = machine.UseRecordedCodePage(c.requested, &error, &refused);
    EXPECT_EQ(used, c.expected != 0) << error;
    if (used) {
      EXPECT_EQ(machine.code_page(), c.expected);
    }
    EXPECT_EQ(refused, !used && c.requested != 0);
    std::ifstream in(root + "/code_page");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.record_after);
  }
  std::filesystem::remove_all(root);
}

TEST(SplitLastComponentTest, CutsAtTheLastSeparator) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  } cases[] = {
      {"C:\\a\\b*", "C:\\a", "b*"},
      {"C:\\b", "C:\\", "b"},
      {"\\b", "\\", "b"},
      {"b", "", "b"},
      {"C:b", "C:", "b"},
      {"C:\\a\\", "C:\\a", ""},
      {"C:/a/b?", "C:/a", "b?"},
      {"C:\\\x83\x5C", "C:\\", "\x83\x5C"},
      {"C:\\\x83\x5C\\*", "C:\\\x83\x5C", "*"},
      {"C:\\Program Files\\Long Folder Name\\file name.txt", "C:\\Program Files\\Long Folder Name",
       "file name.txt"},
      {"x", "", "x"},  // after a longer path: nothing of it left in the strings
  };
  // The strings are reused from row to row, as a caller that keeps them does.
  std::string folder = "stale", name = "stale";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    posix::SplitLastComponent(932, c.path, &folder, &name);
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(name, c.name);
  }
}

}  // namespace
}  // namespace setup::testing
