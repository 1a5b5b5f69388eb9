// Whole scripts that install folders, binary files and bilingual text files,
// run by the interpreter over the in-memory file system.
#include <string>

#include "tests/fakes/fake_file_system.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

#define SJ_SETSUMEI "\x90\xe0\x96\xbe"  // 説明

class InstallScriptTest : public EngineTest {
 protected:
  InstallScriptTest() {
    platform.files = &files;
    Reset();
    files.AddFolder("C:\\APPS");
    files.AddFile("D:\\DISK1.TAG", "");
    files.AddFile("D:\\APP.EXE", "MZ binary", 0, 77);
    files.AddFile("D:\\HELP.HLP", "help");
    files.AddFile("D:\\README.TXT",
                  "Installed in $$SETUPDIR$$\n/* " SJ_SETSUMEI " $# Notes */\n/*$# English */\n");
    files.AddFile("D:\\NOTES.JA", "ja\n");
    files.AddFile("D:\\NOTES.EN", "en\n");
    files.AddFile("D:\\APP.INI", "[App]\r\nPath=$$SETUPDIR$$\r\n");
  }

  // Loads the script and runs it with folder 1 confirmed as C:\APPS\MYAPP.
  std::string Run(const std::string& script, LanguageMode mode) {
    engine->macros.count = 0;
    DefineMacro(engine->macros, "$$WINDOWS$$", "C:\\WINDOWS");
    DefineMacro(engine->macros, "$$SYSTEM$$", "C:\\WINDOWS\\system32");
    DefineMacro(engine->macros, "$$FD$$", "D:");
    EXPECT_TRUE(Load(script));
    std::strcpy(engine->params.folder1, "C:\\APPS\\MYAPP");
    ui.events.clear();
    completed = engine->RunScript(mode);
    return ui.Transcript();
  }

  FakeFileSystem files;
  bool completed = false;  // what the run returned
};

constexpr char kInstallScript[] =
    "' Install the application\n"
    "MakeDir $$SETUPDIR$$\n"
    "MakeDir \"$$SETUPDIR$$\\Help Files\"\n"
    "DiskCheck DISK1.TAG Disk 1\n"
    "BinCopy $$FD$$\\APP.EXE\t$$SETUPDIR$$\\APP.EXE\n"
    "BinCopy \"$$FD$$\\HELP.HLP\" \"$$SETUPDIR$$\\Help Files\\HELP.HLP\"\n"
    "TextCopy $$FD$$\\README.TXT $$SETUPDIR$$\\README.TXT\n"
    "JapanCopy $$FD$$\\NOTES.JA $$SETUPDIR$$\\NOTES.TXT\n"
    "EnglishCopy $$FD$$\\NOTES.EN $$SETUPDIR$$\\NOTES.TXT\n"
    "IfFileFind $$SETUPDIR$$\\APP.EXE x TextCopy $$FD$$\\APP.INI $$SETUPDIR$$\\APP.INI\n";

TEST_F(InstallScriptTest, JapaneseRunInstallsEverything) {
  EXPECT_EQ(Run(kInstallScript, kJapanese), "completed\n");
  EXPECT_TRUE(completed);
  EXPECT_TRUE(files.IsFolder("C:\\APPS\\MYAPP\\Help Files"));
  EXPECT_EQ(files.Contents("C:\\APPS\\MYAPP\\APP.EXE"), "MZ binary");
  EXPECT_EQ(files.Contents("C:\\APPS\\MYAPP\\Help Files\\HELP.HLP"), "help");
  EXPECT_EQ(files.Contents("C:\\APPS\\MYAPP\\README.TXT"),
            "Installed in C:\\APPS\\MYAPP\r\n/* " SJ_SETSUMEI " */\r\n");
  EXPECT_EQ(files.Contents("C:\\APPS\\MYAPP\\NOTES.TXT"), "ja\r\n");
  EXPECT_EQ(files.Contents("C:\\APPS\\MYAPP\\APP.INI"), "[App]\r\nPath=C:\\APPS\\MYAPP\r\n");
  EXPECT_EQ(files.OpenCount(), 0);
}

TEST_F(InstallScriptTest, EnglishRunTakesTheEnglishHalves) {
  EXPECT_EQ(Run(kInstallScript, kEnglish), "completed\n");
  EXPECT_EQ(files.Contents("C:\\APPS\\MYAPP\\README.TXT"),
            "Installed in C:\\APPS\\MYAPP\r\n/* Notes */\r\n/* English */\r\n");
  EXPECT_EQ(files.Contents("C:\\APPS\\MYAPP\\NOTES.TXT"), "en\r\n");
}

TEST_F(InstallScriptTest, PassedOverCopiesReadNoArguments) {
  // The copy of the other language is done at once, arguments or not.
  EXPECT_EQ(Run("EnglishCopy\nEnglishCopy \"unclosed\nMessage on\n", kJapanese),
            "info: on\ncompleted\n");
  Reset();  // one run per program
  EXPECT_EQ(Run("JapanCopy\nMessage on\n", kEnglish), "info: on\ncompleted\n");
}

TEST_F(InstallScriptTest, FailuresStopTheRun) {
  struct Case {
    const char* script;
    const char* transcript;
  } cases[] = {
      {"MakeDir C:\\APPS\\X\\Y\nMessage no\n",
       "error: The 'C:\\APPS\\X\\Y' directroy can not be make\n"},
      {"BinCopy $$FD$$\\NONE.EXE C:\\APPS\\NONE.EXE\nMessage no\n",
       "error: It failed in the copy form D:\\NONE.EXE to C:\\APPS\\NONE.EXE\n"},
      {"TextCopy $$FD$$\\NONE.TXT C:\\APPS\\NONE.TXT\nMessage no\n",
       "error: Can't open D:\\NONE.TXT file\n"},
      {"TextCopy $$FD$$\\README.TXT C:\\NOWHERE\\R.TXT\nMessage no\n",
       "error: Can't Create C:\\NOWHERE\\R.TXT file\n"},
      {"DiskCheck DISK2.TAG Disk 2\nMessage no\n",
       "disk: Cheng at 'Disk 2'\nerror: Making a setup was stopped.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Reset();
    ui.answers = {false};
    EXPECT_EQ(Run(c.script, kJapanese), c.transcript);
    EXPECT_FALSE(completed);
  }
  EXPECT_FALSE(files.Exists("C:\\APPS\\NONE.TXT"));
}

TEST_F(InstallScriptTest, CommentLeftOpenNamesTheCopiedFile) {
  files.AddFile("D:\\BAD.TXT", "ok\n/* open\n");
  files.AddFile("C:\\APPS\\BAD.TXT", "previous");
  EXPECT_EQ(
      Run("Message before\nTextCopy $$FD$$\\BAD.TXT C:\\APPS\\BAD.TXT\nMessage no\n", kJapanese),
      "info: before\nerror: D:\\BAD.TXT:(3) /* */ Syntax Error\n");
  EXPECT_EQ(files.Contents("C:\\APPS\\BAD.TXT"), "previous");
}

}  // namespace
}  // namespace setup::testing
