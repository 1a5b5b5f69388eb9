// MakeDir, BinCopy and DiskCheck over the in-memory file system: what they
// create and copy, and every message the user sees.
#include "actions/file_actions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/script_engine.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup {
namespace {

using testing::FakeFileSystem;
using testing::FakeSystem;
using testing::RecordingUi;

// "D:\SETUP\Setup.Infの7行目に" in Shift-JIS: the start of the script errors.
#define AT_LINE_7                \
  "D:\\SETUP\\Setup.Inf\x82\xCC" \
  "7\x8Ds\x96\xDA\x82\xC9"
constexpr char kNoFolderName[] = "error: " AT_LINE_7
                                 "\x83"
                                 "f\x83"
                                 "B\x83\x8C\x83N\x83g\x83\x8A\x81[\x96\xBC"
                                 "\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
constexpr char kNoCopyDest[] = "error: " AT_LINE_7
                               "\x83R\x83s\x81[\x90\xE6\x82\xCC\x8Ew\x92\xE8"
                               "\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
constexpr char kNoTab[] = "error: " AT_LINE_7 "TAB\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
constexpr char kNoQuote[] = "error: " AT_LINE_7 "\"\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";

class FileActionsTest : public ::testing::Test {
 protected:
  FileActionsTest() {
    std::strcpy(engine->program_folder, "D:\\SETUP");
    std::strcpy(engine->script_path, "D:\\SETUP\\Setup.Inf");
    engine->line_number = 7;
    files.AddFolder("C:\\APP");
    files.AddFile("D:\\SETUP\\A.DLL", "new dll", 0, 100);
  }

  // Runs one command on a writable copy of its argument text.
  bool Run(bool (*command)(ScriptEngine&, char*), const std::string& arguments) {
    std::snprintf(line, sizeof line, "%s", arguments.c_str());
    return command(*engine, line);
  }

  FakeSystem system;
  FakeFileSystem files;
  RecordingUi ui;
  Platform platform{&system, &files, nullptr, nullptr, nullptr};
  std::unique_ptr<ScriptEngine> engine = std::make_unique<ScriptEngine>(platform, ui);
  char line[kWorkLineSize];
};

// ---- MakeDir ----

TEST_F(FileActionsTest, MakeDirCreatesOneLevel) {
  files.AddFile("C:\\APP\\FILE", "x");
  struct Case {
    const char* arguments;
    bool done;
    const char* made;  // folder that must exist afterwards, or nullptr
    const char* message;
  } cases[] = {
      {"C:\\APP\\NEW", true, "C:\\APP\\NEW", ""},
      {"C:\\APP", true, "C:\\APP", ""},              // already there
      {"C:\\APP\\FILE", true, nullptr, ""},          // a file of that name counts as there
      {"C:\\APP\\NEW\\", true, "C:\\APP\\NEW", ""},  // exists by now
      {"C:\\APP\\X\\Y", false, nullptr, "error: The 'C:\\APP\\X\\Y' directroy can not be make\n"},
      {"C:\\Other Folder", true, "C:\\Other", ""},  // unquoted: up to the blank
      {"\"C:\\My Folder\" rest", true, "C:\\My Folder", ""},
      {"\"C:\\Open Quote", true, "C:\\Open Quote", ""},  // quiet: the rest of the line
      {"C:\\TRAILING  ", true, "C:\\TRAILING", ""},
      {"\"\"", false, nullptr, kNoFolderName},
      {"", false, nullptr, kNoFolderName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ui.events.clear();
    EXPECT_EQ(Run(MakeDirCommand, c.arguments), c.done);
    EXPECT_EQ(ui.Transcript(), c.message);
    if (c.made != nullptr) {
      EXPECT_TRUE(files.IsFolder(c.made));
    }
  }
  EXPECT_FALSE(files.Exists("C:\\Other Folder"));
  EXPECT_FALSE(files.IsFolder("C:\\APP\\FILE"));
  EXPECT_FALSE(files.Exists("C:\\APP\\X"));
}

TEST_F(FileActionsTest, MakeDirParentFirst) {
  EXPECT_FALSE(Run(MakeDirCommand, "C:\\A\\B"));
  EXPECT_TRUE(Run(MakeDirCommand, "C:\\A"));
  EXPECT_TRUE(Run(MakeDirCommand, "C:\\A\\B"));
  EXPECT_TRUE(files.IsFolder("C:\\A\\B"));
  EXPECT_EQ(ui.events.size(), 1u);
}

// ---- BinCopy ----

TEST_F(FileActionsTest, BinCopyOverwritesEvenReadOnly) {
  files.AddFile("C:\\APP\\A.DLL", "old dll", kAttrReadOnly, 5);
  EXPECT_TRUE(Run(BinCopyCommand, "D:\\SETUP\\A.DLL\tC:\\APP\\A.DLL"));
  EXPECT_EQ(files.Contents("C:\\APP\\A.DLL"), "new dll");
  EXPECT_EQ(files.Attributes("C:\\APP\\A.DLL") & kAttrReadOnly, 0u);
  EXPECT_EQ(ui.Transcript(), "");
}

TEST_F(FileActionsTest, BinCopyArguments) {
  struct Case {
    const char* arguments;
    bool done;
    const char* copied;  // destination that must hold the source's bytes, or nullptr
    const char* message;
  } cases[] = {
      {"D:\\SETUP\\A.DLL C:\\APP\\B.DLL extra words", true, "C:\\APP\\B.DLL", ""},
      {"D:\\SETUP\\A.DLL \"C:\\APP\\With Blank.DLL\"", true, "C:\\APP\\With Blank.DLL", ""},
      {"D:\\SETUP\\A.DLL C:\\APP\\C.DLL", true, "C:\\APP\\C.DLL", ""},
      {"\"D:\\SETUP\\A.DLL\"C:\\APP\\D.DLL", true, "C:\\APP\\D.DLL", ""},
      {"D:\\SETUP\\A.DLL   ", false, nullptr, kNoCopyDest},
      {"D:\\SETUP\\A.DLL \"\"", false, nullptr, kNoCopyDest},
      {"D:\\SETUP\\A.DLL", false, nullptr, kNoTab},
      {"\"D:\\SETUP\\A.DLL C:\\APP\\E.DLL", false, nullptr, kNoQuote},
      {"", false, nullptr, kNoTab},
      {"D:\\SETUP\\MISSING.DLL C:\\APP\\F.DLL", false, nullptr,
       "error: It failed in the copy form D:\\SETUP\\MISSING.DLL to C:\\APP\\F.DLL\n"},
      {"D:\\SETUP\\A.DLL C:\\NOWHERE\\G.DLL", false, nullptr,
       "error: It failed in the copy form D:\\SETUP\\A.DLL to C:\\NOWHERE\\G.DLL\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ui.events.clear();
    EXPECT_EQ(Run(BinCopyCommand, c.arguments), c.done);
    EXPECT_EQ(ui.Transcript(), c.message);
    if (c.copied != nullptr) {
      EXPECT_EQ(files.Contents(c.copied), "new dll");
    }
  }
  EXPECT_FALSE(files.Exists("C:\\APP\\B.DLL extra words"));
  EXPECT_FALSE(files.Exists("C:\\APP\\E.DLL"));
  EXPECT_FALSE(files.Exists("C:\\NOWHERE"));
}

TEST_F(FileActionsTest, BinCopyFailuresLeaveTheOldFile) {
  struct Case {
    const char* name;
    const char* arguments;
    const char* fail_op;  // nullptr: none
    bool lock;
  } cases[] = {
      {"missing source", "D:\\SETUP\\NONE.DLL C:\\APP\\A.DLL", nullptr, false},
      {"destination in use", "D:\\SETUP\\A.DLL C:\\APP\\A.DLL", nullptr, true},
      {"copy fails", "D:\\SETUP\\A.DLL C:\\APP\\A.DLL", "CopyFile", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fresh;
    fresh.AddFile("D:\\SETUP\\A.DLL", "new dll");
    fresh.AddFile("C:\\APP\\A.DLL", "old dll");
    if (c.lock) fresh.Lock("C:\\APP\\A.DLL");
    if (c.fail_op != nullptr) fresh.FailOperation(c.fail_op);
    platform.files = &fresh;
    auto copier = std::make_unique<ScriptEngine>(platform, ui);
    std::snprintf(line, sizeof line, "%s", c.arguments);
    EXPECT_FALSE(BinCopyCommand(*copier, line));
    EXPECT_EQ(fresh.Contents("C:\\APP\\A.DLL"), "old dll");
  }
}

TEST_F(FileActionsTest, BinCopyGoesOnWhenTheStatusCannotBeRead) {
  files.AddFile("C:\\APP\\A.DLL", "old dll");
  files.FailOperation("GetStatus");
  EXPECT_TRUE(Run(BinCopyCommand, "D:\\SETUP\\A.DLL C:\\APP\\A.DLL"));
  EXPECT_EQ(files.Contents("C:\\APP\\A.DLL"), "new dll");
  EXPECT_EQ(ui.Transcript(), "");
}

TEST_F(FileActionsTest, ClearReadOnlyTouchesOnlyTheBit) {
  files.AddFile("C:\\APP\\RO.TXT", "x", kAttrReadOnly | 0x20, 42);
  EXPECT_TRUE(ClearReadOnly(*engine, "C:\\APP\\RO.TXT"));
  EXPECT_EQ(files.Attributes("C:\\APP\\RO.TXT"), 0x20u);
  FileStatus status;
  ASSERT_TRUE(files.GetStatus("C:\\APP\\RO.TXT", &status));
  EXPECT_EQ(status.last_write_time, 42);
  EXPECT_TRUE(ClearReadOnly(*engine, "C:\\APP\\MISSING.TXT"));  // nothing to do
  files.AddFile("C:\\APP\\RO2.TXT", "x", kAttrReadOnly);
  files.FailOperation("SetAttributes", 2);
  EXPECT_FALSE(ClearReadOnly(*engine, "C:\\APP\\RO2.TXT"));
}

// ---- DiskCheck ----

TEST_F(FileActionsTest, DiskCheckFindsTheFileAtOnce) {
  EXPECT_TRUE(Run(DiskCheckCommand, "A.DLL Disk 2"));
  EXPECT_EQ(ui.Transcript(), "");
  EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(FileActionsTest, DiskCheckCancelled) {
  ui.answers = {false};
  EXPECT_FALSE(Run(DiskCheckCommand, "DISK2.TAG \t\"Disk 2\"\tplease "));
  // The prompt is the whole rest of the line, quotes and blanks included.
  EXPECT_EQ(ui.Transcript(),
            "disk: Cheng at '\"Disk 2\"\tplease '\n"
            "error: Making a setup was stopped.\n");
}

TEST_F(FileActionsTest, DiskCheckAskedUntilTheFileAppears) {
  struct World {
    FakeFileSystem* files;
    int prompts = 0;
  } world{&files};
  ui.on_prompt = [](void* context) {
    World* w = static_cast<World*>(context);
    if (++w->prompts == 3) w->files->AddFile("D:\\SETUP\\DISK2.TAG", "");
  };
  ui.prompt_context = &world;
  EXPECT_TRUE(Run(DiskCheckCommand, "DISK2.TAG Disk 2"));
  EXPECT_EQ(ui.Transcript(),
            "disk: Cheng at 'Disk 2'\n"
            "disk: Cheng at 'Disk 2'\n"
            "disk: Cheng at 'Disk 2'\n");
  EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(FileActionsTest, DiskCheckPromptsAndArguments) {
  files.AddFile("C:\\ABS.TAG", "");
  files.AddFolder("D:\\SETUP\\DIR.TAG");
  struct Case {
    const char* arguments;
    const char* transcript;  // the user cancels the first prompt
  } cases[] = {
      {"DISK2.TAG   ", "disk: Cheng at ''\nerror: Making a setup was stopped.\n"},
      // The name is always put behind the program folder.
      {"C:\\ABS.TAG x", "disk: Cheng at 'x'\nerror: Making a setup was stopped.\n"},
      // A folder cannot be opened as a file.
      {"DIR.TAG x", "disk: Cheng at 'x'\nerror: Making a setup was stopped.\n"},
      {"DISK2.TAG", kNoTab},
      {"\"DISK2.TAG x", kNoQuote},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ui.events.clear();
    ui.answers = {false};
    EXPECT_FALSE(Run(DiskCheckCommand, c.arguments));
    EXPECT_EQ(ui.Transcript(), c.transcript);
  }
}

TEST_F(FileActionsTest, DiskCheckProbePathTooLong) {
  // The path would need more than 255 bytes; the cut form must not be taken
  // for the file, even when a file of that name exists.
  std::string folder = "D:\\" + std::string(200, 'F');
  std::string name = std::string(100, 'n');
  std::snprintf(engine->program_folder, kTextSize, "%s", folder.c_str());
  files.AddFile((folder + "\\" + name).substr(0, 255), "");
  files.AddFile(folder + "\\" + name, "");
  ui.answers = {true, false};
  EXPECT_FALSE(Run(DiskCheckCommand, name + " Disk 3"));
  EXPECT_EQ(ui.Transcript(),
            "disk: Cheng at 'Disk 3'\ndisk: Cheng at 'Disk 3'\n"
            "error: Making a setup was stopped.\n");
  for (const std::string& entry : files.log) EXPECT_NE(entry.rfind("OpenRead", 0), 0u) << entry;
  // Exactly 255 bytes still fits.
  std::string fits = std::string(255 - folder.size() - 1, 'm');
  files.AddFile(folder + "\\" + fits, "");
  ui.events.clear();
  EXPECT_TRUE(Run(DiskCheckCommand, fits + " Disk 3"));
  EXPECT_EQ(ui.Transcript(), "");
}

TEST_F(FileActionsTest, DiskCheckLongPromptIsNotOverrun) {
  std::string prompt(kWorkLineSize - 20, 'p');
  ui.answers = {false};
  EXPECT_FALSE(Run(DiskCheckCommand, "DISK9.TAG " + prompt));
  EXPECT_EQ(ui.events.at(0), "disk: Cheng at '" + prompt + "'");
}

}  // namespace
}  // namespace setup
