// The run: control flow, skip mode, tail commands, #define, messages and the
// stop and completion rules, checked on what the user sees.
#include <string>

#include "engine/messages.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

class InterpreterTest : public EngineTest {
 protected:
  // Loads the script with the start-up macros in place and runs it in mode.
  std::string Run(const std::string& script, LanguageMode mode = kJapanese) {
    engine->macros.count = 0;
    DefineMacro(engine->macros, "$$WINDOWS$$", "C:\\WINDOWS");
    DefineMacro(engine->macros, "$$SYSTEM$$", "C:\\WINDOWS\\system32");
    DefineMacro(engine->macros, "$$FD$$", "D:");
    EXPECT_TRUE(Load(script));
    ui.events.clear();
    completed = engine->RunScript(mode);
    return ui.Transcript();
  }
  std::string Macro(const char* name) {
    for (int i = 0; i < engine->macros.count; ++i) {
      if (std::strcmp(engine->macros.entries[i].name, name) == 0) {
        return engine->macros.entries[i].value;
      }
    }
    return "<undefined>";
  }
  bool completed = false;  // what the run returned
};

struct RunCase {
  const char* script;
  const char* transcript;
  bool completed;
};

TEST_F(InterpreterTest, ControlFlowTable) {
  const RunCase cases[] = {
      {"", "completed\n", true},
      {"Message Hello world\n", "info: Hello world\ncompleted\n", true},
      {"Message \"quoted\"\n", "info: \"quoted\"\ncompleted\n", true},
      {"\n  \n'comment\n:label\nSetupDir x\nWindowTitle t\n", "completed\n", true},
      {"Frobnicate now\n", "error: Setup script Error (Frobnicate now)\n", false},
      {"  = 1\n", "error: Setup script Error (1)\n", false},
      {"Registry x y\n", "error: Setup script Error (x y)\n", false},
      {"ErrorExit Disk   full \nMessage no\n", "error: Disk   full \n", false},
      // Goto skips every line up to the label, unread.
      {"Goto END\nFrobnicate\nMessage no\n:END\nMessage yes\n", "info: yes\ncompleted\n", true},
      {"Goto :END\n:END\nMessage yes\n", "info: yes\ncompleted\n", true},
      {"Goto \"END\"\n:END\nMessage yes\n", "info: yes\ncompleted\n", true},
      // Labels match byte for byte.
      {"Goto end\n:END\nMessage no\n",
       "error: Setup script Error. Nothing (end) label\ncompleted\n", true},
      // A label above the Goto is not searched.
      {":UP\nGoto UP\nMessage no\n", "error: Setup script Error. Nothing (UP) label\ncompleted\n",
       true},
      // Two labels of one name: execution resumes after the first.
      {"Goto L\n:L\nMessage one\n:L\nMessage two\n", "info: one\ninfo: two\ncompleted\n", true},
      // A label with trailing text: the label word alone counts.
      {"Goto L\n:L more\nMessage one\n", "info: one\ncompleted\n", true},
      // A label line without a name is harmless, except while skipping.
      {":\n: x\nMessage ok\n", "info: ok\ncompleted\n", true},
      {"Goto L\n: L\n:L\n",
       "error: D:\\Setup.Inf\x82\xCC"
       "2\x8Ds\x96\xDA\x82\xC9:\x82\xAA\x82\xA0"
       "\x82\xE9\x82\xCC\x82\xC9\x83\x89\x83x\x83\x8B\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1"
       "\n",
       false},
      {"Goto\n",
       "error: GOTO \x82\xC9\x83\x89\x83x\x83\x8B\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n",
       false},
      {"Goto :\n",
       "error: GOTO \x82\xC9\x83\x89\x83x\x83\x8B\x82\xAA\x97L\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n",
       false},
      // MessageBox: quoted whole, unquoted up to the first blank, 0x01 breaks lines.
      {"MessageBox Insert disk 2\n", "message: Insert\ncompleted\n", true},
      {"MessageBox \"Insert disk 2\"\n", "message: Insert disk 2\ncompleted\n", true},
      {"MessageBox \"one\x01two\"\n", "message: one\ntwo\ncompleted\n", true},
      {"MessageBox single\n", "message: single\ncompleted\n", true},
      // Tail commands and sense words.
      {"IfString a = a E Message no\nIfString a = a x Message yes\n", "info: yes\ncompleted\n",
       true},
      {"IfString a = a x IfString b < c x Message both\n", "info: both\ncompleted\n", true},
      {"IfString a = a x IfString b > c x Message both\n", "completed\n", true},
      {"IfString a = a x Goto L\nMessage no\n:L\n", "completed\n", true},
      {"IfString a = a x   \n", "completed\n", true},
      {"IfString a = a x :label\nIfString a = a x 'comment\n", "completed\n", true},
      {"IfString a = a x\n",
       "error: D:\\Setup.Inf\x82\xCC"
       "1\x8Ds\x96\xDA\x82\xC9TAB\x82\xAA\x97L"
       "\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n",
       false},
      {"IfString A <=B E Message inverted\n", "info: inverted\ncompleted\n", true},
      {"IfString a b E Message always\n", "info: always\ncompleted\n", true},
      {"IfString a = a x Frobnicate\n", "error: Setup script Error (Frobnicate)\n", false},
      // If-lines between a Goto and its label are skipped with their tails.
      {"Goto L\nIfString a = a x Message no\n:L\n", "completed\n", true},
  };
  for (const RunCase& c : cases) {
    Reset();
    EXPECT_EQ(Run(c.script), c.transcript) << c.script;
    EXPECT_EQ(completed, c.completed) << c.script;
  }
}

TEST_F(InterpreterTest, MessageBoxCancelStopsWithoutAFurtherMessage) {
  ui.answers = {false};
  EXPECT_EQ(Run("MessageBox \"Go on?\"\nMessage no\n"), "message: Go on?\n");
  EXPECT_FALSE(completed);
}

TEST_F(InterpreterTest, RunTimeMacrosAndRoots) {
  struct Case {
    const char* folder;
    const char* root;
  } cases[] = {
      {"C:\\Program Files\\Tool", "C:\\Program Files"}, {"C:\\Tool", "C:"}, {"C:\\", "C:"},
      {"D:\\Apps\\Tool\\", "D:\\Apps\\Tool"},           {"Tool", ""},       {"D:/a/b", "D:/a"},
  };
  for (const Case& c : cases) {
    Reset();
    std::strcpy(engine->params.folder1, c.folder);
    std::strcpy(engine->params.folder2, "E:\\Two\\Dir");
    Run("");
    EXPECT_EQ(Macro("$$SETUPDIR$$"), c.folder);
    EXPECT_EQ(Macro("$$SETUPROOT$$"), c.root) << c.folder;
    EXPECT_EQ(Macro("$$SETUPDIR2$$"), "E:\\Two\\Dir");
    EXPECT_EQ(Macro("$$SETUPROOT2$$"), "E:\\Two");
    EXPECT_EQ(engine->macros.count, 7);
  }
}

TEST_F(InterpreterTest, SetupDir2IsExpandedAsItselfNotAsSetupDir) {
  std::strcpy(engine->params.folder1, "C:\\One");
  std::strcpy(engine->params.folder2, "C:\\Two");
  EXPECT_EQ(Run("Message $$SETUPDIR2$$|$$SETUPROOT2$$|$$SETUPDIR$$|$$FD$$\n"),
            "info: C:\\Two|C:|C:\\One|D:\ncompleted\n");
}

TEST_F(InterpreterTest, DefineTakesTheRestOfTheExpandedLine) {
  EXPECT_EQ(Run("#define NAME \"My App\"  \nMessage [NAME]\n#define DIR $$FD$$\\x\nMessage DIR\n"),
            "info: [\"My App\"  ]\ninfo: D:\\x\ncompleted\n");
}

TEST_F(InterpreterTest, SecondDefineOfANameDefinesItsValue) {
  EXPECT_EQ(Run("#define A 1\n#define A 2\nMessage A\nMessage 1\n"),
            "info: 1\ninfo: 2\ncompleted\n");
  EXPECT_EQ(Macro("A"), "1");
  EXPECT_EQ(Macro("1"), "2");
}

TEST_F(InterpreterTest, DefineFailures) {
  std::string script;
  for (int i = 0; i < 43; ++i) script += "#define M" + std::to_string(i) + "_ x\n";
  script += "#define ONE_TOO_MANY x\nMessage no\n";
  EXPECT_EQ(Run(script), "error: " + Format(kMsgTooManyMacros, 50) + "\n");
  EXPECT_FALSE(completed);

  Reset();
  EXPECT_EQ(Run("#define A\n"), "error: " + Format(kMsgNoTab, "D:\\Setup.Inf", 1) + "\n");
  Reset();
  std::string long_value(300, 'v');
  EXPECT_EQ(Run("#define A " + long_value + "\n"),
            "error: " + Format(kMsgMacroTooLong, "D:\\Setup.Inf", 1, 299) + "\n");
}

TEST_F(InterpreterTest, ProgressFollowsTheLineNumber) {
  Run("Message a\n\nGoto X\nMessage b\n:X\n");
  EXPECT_EQ(ui.progress_range, 5);
  EXPECT_EQ(ui.progress_positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 5}));
}

TEST_F(InterpreterTest, StoppedRunKeepsTheProgressAtItsLine) {
  Run("Message a\nErrorExit x\nMessage b\n");
  EXPECT_EQ(ui.progress_positions, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(completed);
}

TEST_F(InterpreterTest, ThereIsOnlyOneRunPerProgram) {
  Run("Message once\n");
  ui.events.clear();
  EXPECT_TRUE(engine->run_started());
  EXPECT_FALSE(engine->RunScript(kJapanese));
  EXPECT_TRUE(ui.events.empty());
}

// What the front ends hand over on OK: a folder over 255 bytes starts
// nothing and leaves the settings as they were; so does a second start.
TEST_F(InterpreterTest, StartRunChecksTheFoldersFirst) {
  const std::string fits(255, 'f');
  const std::string too_long(256, 'f');
  struct Case {
    const std::string& folder1;
    const std::string& folder2;
    RunResult result;
  } cases[] = {
      {too_long, fits, RunResult::kFolder1TooLong},
      {fits, too_long, RunResult::kFolder2TooLong},
      {too_long, too_long, RunResult::kFolder1TooLong},
  };
  ASSERT_TRUE(Load("Message $$SETUPDIR$$\n"));
  for (const Case& c : cases) {
    EXPECT_EQ(StartRun(*engine, c.folder1.c_str(), c.folder2.c_str(), kJapanese), c.result);
    EXPECT_STREQ(engine->params.folder1, "C:\\");
    EXPECT_STREQ(engine->params.folder2, "C:\\");
    EXPECT_FALSE(engine->run_started());
  }
  EXPECT_EQ(StartRun(*engine, fits.c_str(), "D:\\", kJapanese), RunResult::kCompleted);
  EXPECT_EQ(ui.Transcript(), "info: " + fits + "\ncompleted\n");
  EXPECT_STREQ(engine->params.folder2, "D:\\");
  EXPECT_EQ(StartRun(*engine, "E:\\", "E:\\", kJapanese), RunResult::kAlreadyStarted);
  EXPECT_STREQ(engine->params.folder1, fits.c_str());
  EXPECT_EQ(ui.Transcript(), "info: " + fits + "\ncompleted\n");
}

TEST_F(InterpreterTest, StoppedRunSaysSo) {
  ASSERT_TRUE(Load("ErrorExit no\n"));
  EXPECT_EQ(StartRun(*engine, "C:\\", "C:\\", kJapanese), RunResult::kStopped);
  EXPECT_EQ(ui.Transcript(), "error: no\n");
}

TEST_F(InterpreterTest, EmptyScriptCompletesAtOnce) {
  EXPECT_EQ(Run(""), "completed\n");
  EXPECT_EQ(ui.progress_range, 0);
  EXPECT_EQ(ui.progress_positions, (std::vector<int>{0, 0}));
}

TEST_F(InterpreterTest, CopyLinesOfTheOtherLanguageAreNotRead) {
  EXPECT_EQ(Run("EnglishCopy\nMessage ok\n", kJapanese), "info: ok\ncompleted\n");
  Reset();
  EXPECT_EQ(Run("JapanCopy \"unclosed\nMessage ok\n", kEnglish), "info: ok\ncompleted\n");
}

TEST_F(InterpreterTest, LimitsAreScriptErrors) {
  EXPECT_EQ(Run("Message " + std::string(600, 'x') + "\n"),
            "error: " + Format(kMsgLineTooLong, "D:\\Setup.Inf", 1, 511) + "\n");
  EXPECT_FALSE(completed);

  Reset();
  std::string value(250, 'v');
  EXPECT_EQ(Run("#define V " + value + "\nMessage VVV\n"),
            "error: " + Format(kMsgExpansionTooLong, "D:\\Setup.Inf", 2, 511) + "\n");

  Reset();
  EXPECT_EQ(Run("Goto " + std::string(64, 'L') + "\n"),
            "error: " + Format(kMsgLabelTooLong, "D:\\Setup.Inf", 1, 63) + "\n");
  Reset();
  std::string label(63, 'L');
  EXPECT_EQ(Run("Goto " + label + "\n:" + label + "\nMessage ok\n"), "info: ok\ncompleted\n");
}

TEST_F(InterpreterTest, LanguageTests) {
  system.lang_id = 0x0411;
  const RunCase cases[] = {
      {"IfLanguage 17 x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfLanguage 0x11 x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfLanguage 0X11 x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfLanguage 0x0411 x Message no\n", "completed\n", true},
      {"IfLanguage 9 x Message no\n", "completed\n", true},
      {"IfLanguage 9 E Message yes\n", "info: yes\ncompleted\n", true},
      {"IfLanguage 0x E Message yes\n", "info: yes\ncompleted\n", true},
      {"IfLanguage 17abc x Message yes\n", "info: yes\ncompleted\n", true},
  };
  for (const RunCase& c : cases) {
    Reset();
    EXPECT_EQ(Run(c.script), c.transcript) << c.script;
  }
}

TEST_F(InterpreterTest, StringComparisons) {
  const RunCase cases[] = {
      {"IfString ABC < abc x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfString ab < abc x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfString abc >= abc x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfString \"a b\" = \"a b\" x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfString \x82\xA0 > a x Message yes\n", "info: yes\ncompleted\n", true},
      {"IfString b <= a x Message no\n", "completed\n", true},
      {"IfString a > b E Message yes\n", "info: yes\ncompleted\n", true},
  };
  for (const RunCase& c : cases) {
    Reset();
    EXPECT_EQ(Run(c.script), c.transcript) << c.script;
  }
}

}  // namespace
}  // namespace setup::testing
