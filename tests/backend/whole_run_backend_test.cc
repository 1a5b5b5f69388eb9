// One script with every control command and every If-command, run from
// start-up over the real back end of this build: the user must see the same
// messages on the simulated machine and on Windows.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/script_engine.h"
#include "test_pe_files.h"
#include "tests/backend/backend.h"
#include "tests/backend/registry_backend.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup::testing {
namespace {

std::unique_ptr<VersionInfo> RealVersionInfo() { return NewRealVersionInfo(); }

std::string PePath(const char* name) {
  std::string path = std::string("Z:") + SETUP_TEST_PE_DIR + "/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

struct ScriptRun {
  ScriptEngine* engine = nullptr;
  RunResult result = RunResult::kAlreadyStarted;
  static void PressOk(void* context, const char* folder1, const char* folder2) {
    ScriptRun* run = static_cast<ScriptRun*>(context);
    run->result = StartRun(*run->engine, folder1, folder2, kJapanese);
  }
};

TEST(WholeRunBackendTest, EveryCommandGivesTheSameMessagesOnEveryBackEnd) {
  if (!SETUP_TEST_PE_AVAILABLE) GTEST_SKIP() << "no mingw-w64 for the test PE files";
  ScratchFolder medium;
  ScratchFolder target;
  RealRegistry keys;
  ASSERT_TRUE(WriteFile(medium / "old.txt", "old"));
  ASSERT_TRUE(WriteFile(medium / "new.txt", "new"));
  ASSERT_TRUE(SetLastWriteTime(medium / "old.txt", 1000000000));
  ASSERT_TRUE(SetLastWriteTime(medium / "new.txt", 1100000000));
  ASSERT_TRUE(WriteFile(medium / "readme.txt", "a /* \x93\xfa\x96\x7b $# en */ b\n/*$# gone */\n"));
  const std::string k = keys.base;
  const std::string pe = PePath("version_ja.dll");
  const std::string script =
      "WindowTitle Back end run\n"
      "SetupDir \"" +
      target.path() +
      "\\App\" Folder\n"
      "MakeDir \"$$SETUPDIR$$\"\n"
      "BinCopy \"$$FD$$\\old.txt\" \"$$SETUPDIR$$\\old.txt\"\n"
      "TextCopy \"$$FD$$\\readme.txt\" $$SETUPDIR$$\\readme.txt\n"
      "IfFileFind \"$$SETUPDIR$$\\*.TXT\" x Message found\n"
      "IfFileFind \"$$SETUPDIR$$\" x Message folder\n"
      "IfFileFind \"$$SETUPDIR$$\\none.dll\" E Goto SKIP\n"
      "Message not skipped\n"
      ":SKIP\n"
      "IfFileDate \"$$FD$$\\old.txt\" < \"$$FD$$\\new.txt\" x Message older\n"
      "IfFileDate \"$$SETUPDIR$$\\old.txt\" = \"$$FD$$\\old.txt\" x Message copy keeps time\n"
      "IfFileVersion \"" +
      pe +
      "\" >= 1.2 x Message version\n"
      "IfFileVersion \"" +
      pe +
      "\" = 1.2.3.4 x Message exact\n"
      "IfProductVersion \"" +
      pe +
      "\" = 2.0 x Message product\n"
      "IfProductVersion \"$$FD$$\\old.txt\" 1 E Message no version\n"
      "SetRegistry \"" +
      k +
      "\\Sub\\Name\" \"value\" \n"
      "IfRegistryFind \"" +
      k +
      "\\Sub\" x Message key\n"
      "#define_registry V \"" +
      k +
      "\\Sub\\Name\" E Message defined\n"
      "Message [V]\n"
      "DeleteRegistry \"" +
      k +
      "\\Sub\\Name\" \n"
      "#define_registry W \"" +
      k +
      "\\Sub\\Name\" x Message gone\n"
      "IfString a < b x IfLanguage 17 x Message chained\n"
      "DiskCheck old.txt Disk 2\n"
      "MessageBox \"done\x01ok\"\n";
  ASSERT_TRUE(WriteFile(medium / "Setup.Inf", script));

  FakeSystem system;
  system.program_path = medium / "SETUP.EXE";
  std::unique_ptr<VersionInfo> versions = RealVersionInfo();
  Platform platform;
  platform.system = &system;
  platform.files = &RealFileSystem();
  platform.registry = &keys.registry();
  platform.versions = versions.get();
  RecordingUi ui;
  auto engine = std::make_unique<ScriptEngine>(platform, ui);
  ScriptRun run;
  run.engine = engine.get();
  ui.on_dialog = &ScriptRun::PressOk;
  ui.dialog_context = &run;

  EXPECT_EQ(engine->InitInstance(), SetupResult::kCompleted);
  EXPECT_EQ(run.result, RunResult::kCompleted);
  EXPECT_EQ(ui.Transcript(), "dialog: " + target.path() +
                                 "\\App | C:\\\n"
                                 "info: found\n"
                                 "info: folder\n"
                                 "info: older\n"
                                 "info: copy keeps time\n"
                                 "info: version\n"
                                 "info: exact\n"
                                 "info: product\n"
                                 "info: no version\n"
                                 "info: key\n"
                                 "info: defined\n"
                                 "info: [value]\n"
                                 "info: gone\n"
                                 "info: chained\n"
                                 "message: done\nok\n"
                                 "completed\n");
  EXPECT_EQ(ReadFile(target / "App\\old.txt"), "old");
  EXPECT_EQ(ReadFile(target / "App\\readme.txt"), "a /* \x93\xfa\x96\x7b */ b\r\n");
}

}  // namespace
}  // namespace setup::testing
