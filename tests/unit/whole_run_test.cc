// Whole program runs over the fake machine: start-up from the medium, the
// setup dialog pressed OK, every control command and every If-command.
#include <string>

#include "engine/messages.h"
#include "tests/fakes/fake_components.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_version_info.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

class WholeRunTest : public EngineTest {
 protected:
  WholeRunTest() {
    system.program_path = "D:\\SETUP.EXE";
    platform.files = &files;
    platform.registry = &registry;
    platform.versions = &versions;
    platform.components = &components;
    Reset();
    ui.on_dialog = &PressOk;
    ui.dialog_context = this;
  }

  // The setup dialog: OK with the folders as shown (or as typed).
  static void PressOk(void* context, const char* folder1, const char* folder2) {
    auto* self = static_cast<WholeRunTest*>(context);
    if (!self->press_ok) return;
    StartRun(*self->engine, self->typed1.empty() ? folder1 : self->typed1.c_str(), folder2,
             kJapanese);
  }

  std::string Start(const std::string& script) {
    files.AddFile("D:\\Setup.Inf", script);
    result = engine->InitInstance();
    return ui.Transcript();
  }

  FakeFileSystem files;
  FakeRegistry registry;
  FakeVersionInfo versions;
  FakeComponents components;
  bool press_ok = true;
  std::string typed1;
  SetupResult result = SetupResult::kNotStarted;  // of the start-up
};

TEST_F(WholeRunTest, DialogShowsTheExpandedFoldersAndCancelRunsNothing) {
  press_ok = false;
  EXPECT_EQ(Start("SetupDir $$WINDOWS$$\\Fonts\nSetupDir2 $$FD$$\\x $$SETUPDIR$$\nMakeDir C:\\X\n"),
            "dialog: C:\\WINDOWS\\Fonts | D:\\x\n");
  EXPECT_STREQ(engine->params.label2, "$$SETUPDIR$$");  // labels are not expanded
  EXPECT_FALSE(files.Exists("C:\\X"));
  EXPECT_EQ(result, SetupResult::kCancelled);
}

TEST_F(WholeRunTest, ReadErrorWhileLoadingRunsNothing) {
  // The second read fails with the first 4096 bytes read: the line across
  // that byte would be cut to "MakeDir C:\Prog".
  std::string script;
  for (int i = 0; i < 40; ++i) script += "' " + std::string(97, 'x') + "\n";  // 4000 bytes
  script += "' " + std::string(4096 - 4000 - 3 - 15, 'x') + "\nMakeDir C:\\Program\n";
  files.FailOperation("Read", 2);
  EXPECT_EQ(Start(script), "error: Can't Open D:\\Setup.Inf file.\n");
  EXPECT_EQ(result, SetupResult::kNotStarted);
  EXPECT_FALSE(files.Exists("C:\\Prog"));
  EXPECT_FALSE(files.Exists("C:\\Program"));
}

TEST_F(WholeRunTest, EveryControlAndIfCommand) {
  files.AddFile("D:\\old.txt", "", 0, 100);
  files.AddFile("D:\\new.txt", "", 0, 200);
  files.AddFolder("D:\\DISK2");
  versions.AddFile("D:\\app.dll", "1.10.0.0", "2.0");
  registry.SetValueAt("HKEY_CURRENT_USER\\Software\\Acme", "Dir", kRegSz,
                      std::string("C:\\Acme\\\0", 9));
  registry.SetValueAt("HKEY_CURRENT_USER\\Software\\Acme", "Count", kRegDword,
                      std::string("\x41\x00\x00\x00", 4));
  const std::string script =
      "WindowTitle Acme Setup\n"
      "SetupDir C:\\Acme \"Install to\"\n"
      "' every If-command, true and false\n"
      "IfFileVersion $$FD$$\\app.dll >= 1.9 x Message version ok\n"
      "IfFileVersion $$FD$$\\app.dll = 1.10 x Message never\n"
      "IfProductVersion $$FD$$\\app.dll = 2.0 x Message product ok\n"
      "IfProductVersion $$FD$$\\missing.dll 1 E Message no version\n"
      "IfFileDate $$FD$$\\old.txt < $$FD$$\\new.txt x Message older\n"
      "IfFileDate $$FD$$\\gone.txt <= $$FD$$\\new.txt x Message missing is oldest\n"
      "IfFileFind $$FD$$\\*.TXT x Message found\n"
      "IfFileFind $$FD$$\\DISK2 x Message folder found\n"
      "IfFileFind $$FD$$\\a.dll E Goto SKIP\n"
      "Message not skipped\n"
      ":SKIP\n"
      "IfRegistryFind HKEY_CURRENT_USER\\Software\\Acme\\ x Message key\n"
      "IfRegistryFind HKEY_CURRENT_USER\\Software\\Nope x Message never\n"
      "IfString $$SETUPDIR$$ = C:\\Acme x Message dir as confirmed\n"
      "IfLanguage 0x11 x Message japanese\n"
      "#define_registry OLD HKEY_CURRENT_USER\\Software\\Acme\\Dir E Message OLD\n"
      "#define_registry CNT HKEY_CURRENT_USER\\Software\\Acme\\Count E Message CNT\n"
      "#define_registry NONE HKEY_CURRENT_USER\\Software\\Acme\\None x Message [NONE] empty\n"
      "Message OLD|CNT|[NONE]\n"
      "#define X $$SETUPROOT$$\n"
      "MessageBox \"root X\"\n"
      "Goto END\n"
      "ErrorExit never\n"
      ":END\n";
  std::string transcript = Start(script);
  EXPECT_EQ(result, SetupResult::kCompleted);
  EXPECT_EQ(transcript,
            "dialog: C:\\Acme | C:\\\n"
            "info: version ok\n"
            "info: product ok\n"
            "info: no version\n"
            "info: older\n"
            "info: missing is oldest\n"
            "info: found\n"
            "info: folder found\n"
            "info: key\n"
            "info: dir as confirmed\n"
            "info: japanese\n"
            // A tail is a piece of the line expanded before the macro existed.
            "info: OLD\n"
            "info: CNT\n"
            "info: [NONE] empty\n"
            "info: C:\\Acme\\|A|[]\n"
            "message: root C:\n"
            "completed\n");
  EXPECT_STREQ(engine->params.window_title, "Acme Setup");
  EXPECT_STREQ(engine->params.label1, "Install to");
}

TEST_F(WholeRunTest, FolderTypedByHandIsTakenAsTyped) {
  typed1 = "E:\\Typed\\";
  Start("SetupDir C:\\Acme\nMessage $$SETUPDIR$$|$$SETUPROOT$$\n");
  EXPECT_EQ(ui.events.at(1), "info: E:\\Typed\\|E:\\Typed");
}

TEST_F(WholeRunTest, RegistryFormOfSetupDir) {
  registry.SetValueAt("HKEY_LOCAL_MACHINE\\Software\\Acme", "Path", kRegSz,
                      std::string("E:\\\0", 4));
  press_ok = false;
  EXPECT_EQ(
      Start("SetupDir Registry HKEY_LOCAL_MACHINE\\Software\\Acme\\Path C:\\Default\\ Label\n"
            "SetupDir2 Registry HKEY_LOCAL_MACHINE\\Software\\Acme\\None $$FD$$\\Default\\ \n"),
      "dialog: E: | D:\\Default\\\n");
  EXPECT_STREQ(engine->params.label1, "Label");
}

TEST_F(WholeRunTest, IfFileDateWithoutOperatorIsFalse) {
  files.AddFile("D:\\a.txt", "", 0, 100);
  Start(
      "IfFileDate $$FD$$\\a.txt $$FD$$\\a.txt x Message no\n"
      "IfFileDate $$FD$$\\a.txt $$FD$$\\a.txt E Message inverted\n"
      "IfFileDate $$FD$$\\x.txt = $$FD$$\\y.txt x Message both missing\n");
  EXPECT_EQ(ui.events.at(1), "info: inverted");
  EXPECT_EQ(ui.events.at(2), "info: both missing");
}

TEST_F(WholeRunTest, StoppedRunShowsNoCompletionNotice) {
  EXPECT_EQ(Start("MakeDir C:\\A\\B\nMessage no\n"),
            "dialog: C:\\ | C:\\\nerror: The 'C:\\A\\B' directroy can not be make\n");
  EXPECT_EQ(result, SetupResult::kStopped);
}

TEST_F(WholeRunTest, SetRegistryFailureGoesOn) {
  Start("SetRegistry HKEY_NOWHERE\\x v \nMessage next\n");
  EXPECT_EQ(ui.Transcript(),
            "dialog: C:\\ | C:\\\n"
            "error: Registry write error : (HKEY_NOWHERE\\x , v)\n"
            "info: next\ncompleted\n");
}

}  // namespace
}  // namespace setup::testing
