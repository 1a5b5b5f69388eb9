// MakeDir, BinCopy, DiskCheck and TextCopy over the real file system of the
// build: the bytes that land on disk and what a failed copy leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "actions/file_actions.h"
#include "actions/text_copier.h"
#include "engine/script_engine.h"
#include "tests/backend/backend.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup::testing {
namespace {

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class BackendInstallTest : public ::testing::Test {
 protected:
  BackendInstallTest() {
    platform.system = &system;
    platform.files = &RealFileSystem();
    engine = std::make_unique<ScriptEngine>(platform, ui);
    std::snprintf(engine->program_folder, kTextSize, "%s", medium.path().c_str());
    std::snprintf(engine->script_path, kTextSize, "%s\\Setup.Inf", medium.path().c_str());
  }

  // Runs a command on a writable copy of its arguments.
  bool Run(bool (*command)(ScriptEngine&, char*), const std::string& arguments) {
    std::snprintf(line, sizeof line, "%s", arguments.c_str());
    return command(*engine, line);
  }
  // Scratch paths may hold blanks, so arguments that may be quoted are.
  static std::string Q(const std::string& path) { return "\"" + path + "\""; }
  bool Copy(const std::string& arguments, LanguageMode selection) {
    std::snprintf(line, sizeof line, "%s", arguments.c_str());
    return TextCopyCommand(*engine, line, selection);
  }

  ScratchFolder medium;  // the distribution medium
  ScratchFolder target;
  FakeSystem system;
  RecordingUi ui;
  Platform platform;
  std::unique_ptr<ScriptEngine> engine;
  char line[kWorkLineSize];
};

TEST_F(BackendInstallTest, InstallsFoldersAndFiles) {
  const std::string binary("MZ\r\n\x1A\0\xFF", 7);
  ASSERT_TRUE(WriteFile(medium / "APP.EXE", binary));
  ASSERT_TRUE(
      WriteFile(medium / "README.TXT", "one\r\n/* \x90\xe0\x96\xbe $# Notes */\ntwo\x1Alost"));
  const std::string app = target / "App";
  EXPECT_TRUE(Run(MakeDirCommand, Q(app)));
  EXPECT_TRUE(Run(MakeDirCommand, Q(app)));  // already there
  EXPECT_TRUE(Run(BinCopyCommand, Q(medium / "APP.EXE") + " " + Q(app + "\\APP.EXE")));
  EXPECT_TRUE(Copy(Q(medium / "README.TXT") + " " + app + "\\README.TXT", kEnglish));
  EXPECT_EQ(ui.Transcript(), "");
  EXPECT_EQ(ReadFile(app + "\\APP.EXE"), binary);
  EXPECT_EQ(ReadFile(app + "\\README.TXT"), "one\r\n/* Notes */\r\ntwo");
  EXPECT_EQ(Names(app), (std::vector<std::string>{"APP.EXE", "README.TXT"}));
}

TEST_F(BackendInstallTest, BinCopyReplacesAReadOnlyFile) {
  ASSERT_TRUE(WriteFile(medium / "A.DLL", "new"));
  ASSERT_TRUE(WriteFile(target / "A.DLL", "old"));
  ASSERT_TRUE(RealFileSystem().SetAttributes((target / "A.DLL").c_str(), kAttrReadOnly));
  EXPECT_TRUE(Run(BinCopyCommand, Q(medium / "A.DLL") + " " + Q(target / "A.DLL")));
  EXPECT_EQ(ReadFile(target / "A.DLL"), "new");
}

// The read-only bit of an existing destination is cleared before the copy,
// a folder's too; the copy over the folder then fails as before.
TEST_F(BackendInstallTest, BinCopyOverAReadOnlyFolderClearsItsBit) {
  ASSERT_TRUE(WriteFile(medium / "A.DLL", "new"));
  ASSERT_EQ(RealFileSystem().CreateFolder((target / "A.DLL").c_str()),
            CreateFolderResult::kCreated);
  ASSERT_TRUE(RealFileSystem().SetAttributes((target / "A.DLL").c_str(), kAttrReadOnly));
  EXPECT_FALSE(Run(BinCopyCommand, Q(medium / "A.DLL") + " " + Q(target / "A.DLL")));
  EXPECT_EQ(ui.Transcript(), "error: It failed in the copy form " + (medium / "A.DLL") + " to " +
                                 (target / "A.DLL") + "\n");
  FileStatus status;
  ASSERT_TRUE(RealFileSystem().GetStatus((target / "A.DLL").c_str(), &status));
  EXPECT_EQ(status.attributes & (kAttrReadOnly | kAttrDirectory), kAttrDirectory);
}

TEST_F(BackendInstallTest, FailedTextCopyKeepsTheOldFile) {
  ASSERT_TRUE(WriteFile(medium / "BAD.TXT", "text\n/* never closed\n"));
  ASSERT_TRUE(WriteFile(target / "OUT.TXT", "old"));
  EXPECT_FALSE(Copy(Q(medium / "BAD.TXT") + " " + (target / "OUT.TXT"), kJapanese));
  EXPECT_FALSE(Copy(Q(medium / "NONE.TXT") + " " + (target / "OUT.TXT"), kJapanese));
  EXPECT_EQ(ui.Transcript(), "error: " + (medium / "BAD.TXT") + ":(3) /* */ Syntax Error\n" +
                                 "error: Can't open " + (medium / "NONE.TXT") + " file\n");
  EXPECT_EQ(ReadFile(target / "OUT.TXT"), "old");
  EXPECT_EQ(Names(target.path()), std::vector<std::string>{"OUT.TXT"});
}

TEST_F(BackendInstallTest, DiskCheckProbesTheProgramFolder) {
  ui.answers = {false};
  EXPECT_FALSE(Run(DiskCheckCommand, "DISK2.TAG Disk 2"));
  ASSERT_TRUE(WriteFile(medium / "DISK2.TAG", ""));
  EXPECT_TRUE(Run(DiskCheckCommand, "DISK2.TAG Disk 2"));
  EXPECT_EQ(ui.Transcript(), "disk: Cheng at 'Disk 2'\nerror: Making a setup was stopped.\n");
}

}  // namespace
}  // namespace setup::testing
