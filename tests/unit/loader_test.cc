// Start-up and loading: the store, the pre-scan and the start-up sequence.
#include <string>

#include "engine/messages.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

using LoaderTest = EngineTest;

// Every stored line, in order.
std::vector<std::string> StoredLines(ScriptEngine& engine) {
  std::vector<std::string> all;
  char line[kStoredLineSize];
  bool too_long = false;
  engine.lines.cursor = 0;
  while (engine.NextLine(line, sizeof line, &too_long) != nullptr) all.push_back(line);
  return all;
}

TEST_F(LoaderTest, LineEndsAndTextMode) {
  ASSERT_TRUE(
      Load("a\r\nb\nc\rd\n\r\n\x1A"
           "after"));
  EXPECT_EQ(StoredLines(*engine), (std::vector<std::string>{"a", "b", "c\rd", ""}));
  EXPECT_EQ(engine->lines.line_count, 4);
}

TEST_F(LoaderTest, EmptyScript) {
  ASSERT_TRUE(Load(""));
  EXPECT_EQ(engine->lines.line_count, 0);
  char line[16];
  bool too_long = true;
  EXPECT_EQ(engine->NextLine(line, sizeof line, &too_long), nullptr);
  EXPECT_FALSE(too_long);
}

TEST_F(LoaderTest, LongTextLineIsStoredInPieces) {
  ASSERT_TRUE(Load(std::string(1500, 'x') + "\nend"));
  auto lines = StoredLines(*engine);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 1023u);
  EXPECT_EQ(lines[1].size(), 477u);
  EXPECT_EQ(lines[2], "end");
}

TEST_F(LoaderTest, ZeroByteEndsTheStoredLine) {
  ASSERT_TRUE(Load(std::string("ab\0cd\nx", 7)));
  EXPECT_EQ(StoredLines(*engine), (std::vector<std::string>{"ab", "x"}));
}

TEST_F(LoaderTest, ScriptThatDoesNotFitTheStoreIsRefused) {
  std::string line(1000, 'x');
  std::string script;
  for (int i = 0; i < 66; ++i) script += line + "\n";
  EXPECT_FALSE(Load(script));
  EXPECT_EQ(ui.Transcript(),
            "error: " + Format(kMsgScriptTooLarge, "D:\\Setup.Inf", 66, 65536) + "\n");
}

struct PrescanCase {
  const char* script;
  const char* title;
  const char* folder1;
  const char* label1;
  const char* folder2;
  int count;
};

TEST_F(LoaderTest, PrescanTable) {
  const PrescanCase cases[] = {
      {"", "Setup", "C:\\", "Setup Directory", "C:\\", 1},
      {"SetupDir D:\\A Label\nSetupDir E:\\B \"Second label\"\n", "Setup", "E:\\B", "Second label",
       "C:\\", 1},
      {"SetupDir2\n", "Setup", "C:\\", "Setup Directory", "", 2},
      {"WindowTitle \"My Tool\"  \n", "\"My Tool\"  ", "C:\\", "Setup Directory", "C:\\", 1},
      {"WindowTitle\n", "", "C:\\", "Setup Directory", "C:\\", 1},
      {"SetupDir \"C:\\Program Files\\Tool\" \"Install to\"\n", "Setup", "C:\\Program Files\\Tool",
       "Install to", "C:\\", 1},
      {"SetupDir C:\\Tool Two words\n", "Setup", "C:\\Tool", "Two", "C:\\", 1},
      {"SetupDir C:\\Tool\n", "Setup", "C:\\Tool", "Setup Directory", "C:\\", 1},
      {"SetupDir\n", "Setup", "", "Setup Directory", "C:\\", 1},
      {"SetupDir = C:\\X \n", "Setup", "C:\\X", "Setup Directory", "C:\\", 1},
      {"  setupdir $$WINDOWS$$\\Fonts\n", "Setup", "$$WINDOWS$$\\Fonts", "Setup Directory", "C:\\",
       1},
      {"Goto x\nSetupDir2 D:\\Two L2\n:x\n", "Setup", "C:\\", "Setup Directory", "D:\\Two", 2},
  };
  for (const PrescanCase& c : cases) {
    Reset();
    ASSERT_TRUE(Load(c.script)) << c.script;
    const SetupParams& p = engine->params;
    EXPECT_STREQ(p.window_title, c.title) << c.script;
    EXPECT_STREQ(p.folder1, c.folder1) << c.script;
    EXPECT_STREQ(p.label1, c.label1) << c.script;
    EXPECT_STREQ(p.folder2, c.folder2) << c.script;
    EXPECT_EQ(p.folder_count, c.count) << c.script;
  }
}

TEST_F(LoaderTest, StoredLineIsKeptAsWritten) {
  ASSERT_TRUE(Load("  SetupDir \"C:\\A B\" Label\n"));
  EXPECT_EQ(StoredLines(*engine), std::vector<std::string>{"  SetupDir \"C:\\A B\" Label"});
}

TEST_F(LoaderTest, LongSettingsAreCutOrRefused) {
  std::string long_text(300, 'T');
  ASSERT_TRUE(Load("WindowTitle " + long_text + "\nSetupDir C:\\ " + long_text + "\n"));
  EXPECT_EQ(std::string(engine->params.window_title), long_text.substr(0, 255));
  EXPECT_EQ(std::string(engine->params.label1), long_text.substr(0, 255));

  Reset();
  EXPECT_FALSE(Load("'x\nSetupDir C:\\" + long_text + "\n"));
  EXPECT_EQ(ui.Transcript(), "error: " + Format(kMsgFolderTooLong, "D:\\Setup.Inf", 2, 255) + "\n");
}

TEST_F(LoaderTest, LongMessagesAreCutWholeCharactersAtATime) {
  engine->ReportError("%s", std::string(300, 'x').c_str());
  EXPECT_EQ(ui.events.back(), "error: " + std::string(255, 'x'));
  // 254 single bytes and a double-byte character that would need 256.
  engine->ReportError("%s\x82\xA0", std::string(254, 'x').c_str());
  EXPECT_EQ(ui.events.back(), "error: " + std::string(254, 'x'));
}

// The start-up sequence over the fake machine.
class StartUpTest : public EngineTest {
 protected:
  static void Capture(void* context, const char* folder1, const char* folder2) {
    auto* self = static_cast<StartUpTest*>(context);
    self->shown1 = folder1;
    self->shown2 = folder2;
  }
  std::string shown1, shown2;
};

TEST_F(StartUpTest, MissingScriptNamesTheFullPath) {
  system.program_path = "D:\\Setup\\SETUP.EXE";
  Reset();
  // No file system is wired: opening fails as for a missing file.
  struct NoFiles : FileSystem {
    FileHandle OpenRead(const char*) override { return kNoFile; }
    long Read(FileHandle, void*, unsigned long) override { return -1; }
    bool Write(FileHandle, const void*, unsigned long) override { return false; }
    void Close(FileHandle) override {}
    FileHandle CreateReplacement(const char*) override { return kNoFile; }
    bool CommitReplacement(FileHandle) override { return false; }
    void AbandonReplacement(FileHandle) override {}
    CreateFolderResult CreateFolder(const char*) override { return CreateFolderResult::kFailed; }
    bool CopyFile(const char*, const char*) override { return false; }
    bool GetStatus(const char*, FileStatus*) override { return false; }
    bool SetAttributes(const char*, unsigned) override { return false; }
  } no_files;
  platform.files = &no_files;
  Reset();
  EXPECT_EQ(engine->InitInstance(), SetupResult::kNotStarted);
  EXPECT_STREQ(engine->program_folder, "D:\\Setup");
  EXPECT_EQ(ui.Transcript(), "error: Can't Open D:\\Setup\\Setup.Inf file.\n");
  EXPECT_EQ(engine->macros.count, 3);
  EXPECT_STREQ(engine->macros.entries[2].value, "D:\\Setup");
}

TEST_F(StartUpTest, ProgramFolderForms) {
  struct Case {
    const char* path;
    const char* folder;
  } cases[] = {
      {"D:\\Setup\\SETUP.EXE", "D:\\Setup"},
      {"D:\\SETUP.EXE", "D:"},
      {"SETUP.EXE", ""},
      {"\\\\server\\share\\setup.exe", "\\\\server\\share"},
  };
  for (const Case& c : cases) {
    system.program_path = c.path;
    Reset();
    ASSERT_TRUE(engine->FindProgramFolder());
    EXPECT_STREQ(engine->program_folder, c.folder) << c.path;
  }
}

TEST_F(StartUpTest, MissingWindowsFolderEndsTheProgram) {
  system.windows_dir = "";
  Reset();
  EXPECT_EQ(engine->InitInstance(), SetupResult::kNotStarted);
  EXPECT_EQ(ui.Transcript(), std::string("error: ") + kMsgNoWindows + "\n");
  system.windows_dir = "C:\\WINDOWS";
  system.system_dir = std::string(300, 's');  // does not fit the 256-byte buffer
  ui.events.clear();
  Reset();
  EXPECT_EQ(engine->InitInstance(), SetupResult::kNotStarted);
  EXPECT_EQ(ui.Transcript(), std::string("error: ") + kMsgNoWindows + "\n");
}

}  // namespace
}  // namespace setup::testing
