// The terminal SetupUi driven through files standing in for the terminal:
// what it prints, how it reads answers, and the run it starts on OK.
#include "ui/terminal/terminal_ui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_system.h"

namespace setup::terminal {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class TerminalUiTest : public ::testing::Test {
 protected:
  ~TerminalUiTest() override {
    if (io_.in != nullptr) std::fclose(io_.in);
    if (io_.out != nullptr) std::fclose(io_.out);
  }

  // A UI whose standard input holds answers; code_page 932 unless given.
  TerminalUi& Start(const std::string& answers, int code_page = 932) {
    io_.in = std::tmpfile();
    io_.out = std::tmpfile();
    std::fwrite(answers.data(), 1, answers.size(), io_.in);
    std::rewind(io_.in);
    converter_ = std::make_unique<CodePageConverter>(code_page, "UTF-8");
    ui_ = std::make_unique<TerminalUi>(io_, *converter_, "setup");
    return *ui_;
  }

  // Everything printed so far.
  std::string Output() {
    std::fflush(io_.out);
    std::string text;
    std::rewind(io_.out);
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, io_.out)) > 0) text.append(chunk, n);
    return text;
  }

  // Answers not yet read.
  std::string Unread() {
    std::string rest;
    int c;
    while ((c = std::fgetc(io_.in)) != EOF) rest.push_back(static_cast<char>(c));
    return rest;
  }

  TerminalIo io_{nullptr, nullptr, false, false, 80};
  std::unique_ptr<CodePageConverter> converter_;
  std::unique_ptr<TerminalUi> ui_;
  SetupParams params_;
};

TEST_F(TerminalUiTest, DialogKeepsFoldersOnEmptyAnswersAndTakesTypedOnes) {
  params_.folder_count = 2;
  std::strcpy(params_.window_title, "Hanami Setup");
  std::strcpy(params_.label1, "Program folder");
  std::strcpy(params_.label2, "Data folder");
  std::string f1, f2;
  ASSERT_TRUE(Start("\nD:\\Data\\\nok\n").AskFolders(params_, "C:\\Hanami", "C:\\", &f1, &f2));
  EXPECT_EQ(f1, "C:\\Hanami");
  EXPECT_EQ(f2, "D:\\Data\\");  // taken as typed: the final backslash stays
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("+- Hanami Setup -"));
  EXPECT_THAT(out, HasSubstr("| Program folder: C:\\Hanami"));
  EXPECT_THAT(out, HasSubstr("| Data folder: C:\\"));
  EXPECT_THAT(out, HasSubstr("Program folder [C:\\Hanami]: \n"));  // the empty answer, echoed
  EXPECT_THAT(out, HasSubstr("Data folder [C:\\]: D:\\Data\\\n"));
  EXPECT_THAT(out, HasSubstr("OK or Cancel? [OK]: ok\n"));
}

TEST_F(TerminalUiTest, OneFolderRowAsksOnceAndKeepsTheSecondFolder) {
  std::string f1, f2;
  ASSERT_TRUE(Start("\n\nleft over\n").AskFolders(params_, "C:\\App", "C:\\", &f1, &f2));
  EXPECT_EQ(f1, "C:\\App");
  EXPECT_EQ(f2, "C:\\");
  EXPECT_THAT(Output(), Not(HasSubstr("Setup Directory: C:\\\n")));
  EXPECT_EQ(Unread(), "left over\n");
}

TEST_F(TerminalUiTest, CancelAndEndOfInputCancelTheDialog) {
  for (const char* answers : {"\ncancel\n", "\nno\n", "", "\n"}) {
    std::string f1, f2;
    EXPECT_FALSE(Start(answers).AskFolders(params_, "C:\\App", "C:\\", &f1, &f2)) << answers;
  }
  EXPECT_THAT(Output(), HasSubstr("(end of input)"));
}

TEST_F(TerminalUiTest, FolderLongerThan255BytesIsRefusedAndAskedAgain) {
  std::string too_long = "C:\\" + std::string(253, 'a');  // 256 bytes
  std::string longest = "C:\\" + std::string(252, 'b');   // 255 bytes
  std::string f1, f2;
  ASSERT_TRUE(
      Start(too_long + "\n" + longest + "\n\n").AskFolders(params_, "C:\\", "C:\\", &f1, &f2));
  EXPECT_EQ(f1, longest);
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("The folder is longer than 255 bytes."));
  EXPECT_EQ(out.find("The folder is longer"), out.rfind("The folder is longer"));
}

TEST_F(TerminalUiTest, TypedFolderIsConvertedToTheAnsiCodePageAndMeasuredThere) {
  const std::string nichi_utf8 = "\xE6\x97\xA5";  // 日: three bytes in UTF-8, two in Shift-JIS
  std::string fits;
  for (int i = 0; i < 126; ++i) fits += nichi_utf8;  // 3 + 252 = 255 bytes in Shift-JIS
  std::string f1, f2;
  ASSERT_TRUE(Start("C:\\" + fits + nichi_utf8 + "\nC:\\" + fits + "\n\n")
                  .AskFolders(params_, "C:\\", "C:\\", &f1, &f2));
  ASSERT_EQ(f1.size(), 255u);
  EXPECT_EQ(f1.substr(0, 5), "C:\\\x93\xFA");
  EXPECT_THAT(Output(), HasSubstr("longer than 255 bytes"));
}

TEST_F(TerminalUiTest, TextTheCodePageCannotHoldIsAFolderInputError) {
  std::string f1, f2;
  ASSERT_TRUE(
      Start("C:\\\xE6\x97\xA5\nC:\\Plain\n\n", 1252).AskFolders(params_, "C:\\", "C:\\", &f1, &f2));
  EXPECT_EQ(f1, "C:\\Plain");
  EXPECT_THAT(Output(), HasSubstr("| Folder input error"));
}

TEST_F(TerminalUiTest, ControlCharactersInATypedFolderAreRefused) {
  std::string f1, f2;
  using namespace std::string_literals;  // the answers hold a NUL byte
  ASSERT_TRUE(
      Start("C:\\a\x1b[2Jb\nC:\\a\0b\nC:\\ok\n\n"s).AskFolders(params_, "C:\\", "C:\\", &f1, &f2));
  EXPECT_EQ(f1, "C:\\ok");
  std::string out = Output();
  EXPECT_EQ(out.find("Folder input error"), out.find("| Folder input error") + 2);
  EXPECT_NE(out.find("Folder input error", out.find("Folder input error") + 1), std::string::npos);
  EXPECT_EQ(out.find('\x1b'), std::string::npos);  // not even in the echo
}

TEST_F(TerminalUiTest, ShiftJisTextIsShownInUtf8) {
  std::strcpy(params_.label1,
              "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x90\xE6");  // インストール先
  std::string f1, f2;
  ASSERT_TRUE(Start("\n\n").AskFolders(params_, "C:\\\x95\x5C", "C:\\", &f1, &f2));
  EXPECT_EQ(f1, "C:\\\x95\x5C");  // the default keeps its bytes exactly
  EXPECT_THAT(Output(),
              HasSubstr("\xE3\x82\xA4\xE3\x83\xB3\xE3\x82\xB9\xE3\x83\x88\xE3\x83\xBC\xE3\x83\xAB"
                        "\xE5\x85\x88 [C:\\\xE8\xA1\xA8]: "));
}

TEST_F(TerminalUiTest, DiskPromptAnswers) {
  struct Case {
    const char* answers;
    bool ok;
    int questions;
  } cases[] = {{"ok\n", true, 1},        {"\n", true, 1}, {"cancel\n", false, 1},
               {"maybe\nc\n", false, 2}, {"", false, 1},  {"what\n", false, 2}};
  for (const Case& c : cases) {
    TerminalUi& ui = Start(c.answers);
    EXPECT_EQ(ui.PromptDisk("Cheng at 'Disk 2'"), c.ok) << c.answers;
    std::string out = Output();
    EXPECT_THAT(out, HasSubstr("+- Setup -"));  // the window title is the caption
    EXPECT_THAT(out, HasSubstr("| Cheng at 'Disk 2'"));
    int asked = 0;
    for (size_t at = 0; (at = out.find("OK or Cancel?", at)) != std::string::npos; ++at) ++asked;
    EXPECT_EQ(asked, c.questions) << c.answers;
  }
}

TEST_F(TerminalUiTest, ScriptMessageCentresEachLineWithoutCaption) {
  TerminalUi& ui = Start("yes\n");
  EXPECT_TRUE(ui.AskScriptMessage("Welcome\nto the Hanami setup"));
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("\n+--------------------------------------------+\n"));
  EXPECT_THAT(out, HasSubstr("|                  Welcome                   |\n"));
  EXPECT_THAT(out, HasSubstr("|            to the Hanami setup             |\n"));
}

TEST_F(TerminalUiTest, PipedNoticesDoNotTakeAnswers) {
  TerminalUi& ui = Start("cancel\n");
  ui.ShowError("It failed in the copy form a to b");
  ui.ShowTopmostError(" 'x.dll' registration can't be done");
  ui.ShowInformation("Installing");
  EXPECT_FALSE(ui.PromptDisk("Cheng at ''"));  // the one answer is still there
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("+- setup -"));
  EXPECT_THAT(out, HasSubstr("| (!) It failed in the copy form a to b"));
  EXPECT_THAT(out, HasSubstr("| (!)  'x.dll' registration can't be done"));
  EXPECT_THAT(out, HasSubstr("| (i) Installing"));
  EXPECT_THAT(out, Not(HasSubstr("Press Enter")));
}

TEST_F(TerminalUiTest, NoticesWaitForEnterFromAPerson) {
  io_.input_is_terminal = true;
  TerminalUi& ui = Start("\nok\n");
  ui.ShowError("Disk full");
  EXPECT_THAT(Output(), HasSubstr("[OK] Press Enter: "));
  EXPECT_EQ(Unread(), "ok\n");
}

TEST_F(TerminalUiTest, ProgressIsDrawnOnlyOnATerminal) {
  TerminalUi& piped = Start("");
  piped.SetProgressRange(10);
  piped.SetProgressPos(3);
  EXPECT_EQ(Output(), "");

  io_.output_is_terminal = true;
  io_.width = 40;
  TerminalUi& ui = Start("");
  ui.SetProgressRange(10);
  ui.SetProgressPos(5);
  ui.ShowError("stop");
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("\r[#########---------]  50%  line 5 of 10\n\n+- setup"));
  EXPECT_EQ(std::string("\r[#########---------]  50%  line 5 of 10").size(), 40u);
}

TEST_F(TerminalUiTest, ProgressRangeIsTakenModulo65536) {
  io_.output_is_terminal = true;
  TerminalUi& ui = Start("");
  ui.SetProgressRange(65537);
  ui.SetProgressPos(70000);
  EXPECT_THAT(Output(), HasSubstr("100%  line 1 of 1"));
}

// The program's own Japanese is read as Shift-JIS and the rest in the
// machine's code page, when the two differ.
TEST(ReadableMessageTest, ConvertsEachPartFromItsOwnCodePage) {
  struct Case {
    std::vector<std::pair<std::string, bool>> parts;  // bytes, and whether they are own
    unsigned code_page;
    std::string readable;
  };
  const std::string no = "\x82\xCC";  // "の"
  const Case cases[] = {
      {{{"C:\\Caf\xE9", false}, {no + "1", true}},
       1252,
       "C:\\Caf\xC3\xA9\xE3\x81\xAE"
       "1"},
      {{{"C:\\\x95\x5C", false}, {no, true}}, 932, ""},               // right as it is
      {{{"Can't Create ", true}, {"C:\\Caf\xE9", false}}, 1252, ""},  // ASCII of its own
      // A byte with no counterpart in the code page shows as "?".
      {{{"\x81", false}, {no, true}}, 1253, "?\xE3\x81\xAE"},
  };
  for (const Case& c : cases) {
    std::string text;
    std::vector<char> own;
    for (const auto& [bytes, is_own] : c.parts) {
      text += bytes;
      own.insert(own.end(), bytes.size(), is_own);
    }
    own.push_back(false);
    bool marks[kTextSize];
    for (size_t i = 0; i < own.size(); ++i) marks[i] = own[i] != 0;
    EXPECT_EQ(ReadableMessage(EngineError{text.c_str(), marks, "", 1}, c.code_page), c.readable)
        << text;
  }
}

// The whole dialog with an engine behind it.
class TerminalRunTest : public TerminalUiTest {
 protected:
  // Starts the program on script (D:\Setup.Inf) with the answers typed,
  // on a machine of code_page.
  SetupResult Run(const std::string& script, const std::string& answers, int code_page = 932) {
    TerminalUi& ui = Start(answers, code_page);
    system_.japanese = code_page == 932;
    files_.AddFile("D:\\Setup.Inf", script);
    platform_.system = &system_;
    platform_.files = &files_;
    engine_ = std::make_unique<ScriptEngine>(platform_, ui);
    ui.Attach(engine_.get());
    return engine_->InitInstance();
  }

  setup::testing::FakeSystem system_;
  setup::testing::FakeFileSystem files_;
  Platform platform_;
  std::unique_ptr<ScriptEngine> engine_;
};

TEST_F(TerminalRunTest, OkStoresTheFoldersAndRunsTheScript) {
  const std::string script =
      "WindowTitle Hanami Setup\n"
      "SetupDir C:\\Hanami \"Program folder\"\n"
      "SetupDir2 C:\\Data\n"
      "Message $$SETUPDIR$$ and $$SETUPDIR2$$\n";
  EXPECT_EQ(Run(script, "C:\\Typed\n\nok\n"), SetupResult::kCompleted);
  EXPECT_STREQ(engine_->params.folder1, "C:\\Typed");
  EXPECT_STREQ(engine_->params.folder2, "C:\\Data");
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("| (i) C:\\Typed and C:\\Data"));
  EXPECT_THAT(out, HasSubstr("+- Hanami Setup -"));
  EXPECT_THAT(out, HasSubstr("Setup completed."));
}

TEST_F(TerminalRunTest, CancelRunsNothing) {
  EXPECT_EQ(Run("Message should not be seen\n", "\ncancel\n"), SetupResult::kCancelled);
  std::string out = Output();
  EXPECT_THAT(out, Not(HasSubstr("should not be seen")));
  EXPECT_THAT(out, Not(HasSubstr("Setup completed.")));
  EXPECT_THAT(out, HasSubstr("Nothing was installed."));
}

TEST_F(TerminalRunTest, StoppedRunShowsItsMessageAndNoCompletionNotice) {
  EXPECT_EQ(Run("ErrorExit The product is already installed\nMessage after\n", "\n\n"),
            SetupResult::kStopped);
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("| (!) The product is already installed"));
  EXPECT_THAT(out, Not(HasSubstr("after")));
  EXPECT_THAT(out, Not(HasSubstr("Setup completed.")));
}

// Each error the engine shows is explained in compiler form at the line it
// concerns, and its box shows the program's Japanese readable whatever the
// machine's code page.
TEST_F(TerminalRunTest, ErrorsAreExplainedAndTheirJapaneseReadsOnEveryCodePage) {
  struct Case {
    int code_page;
    std::string script;
    std::string box;          // in the box, as UTF-8
    std::string explanation;  // on the explanation stream
  };
  const Case cases[] = {
      // "%sの%d行目に"が有りません": the Japanese converted from Shift-JIS, the
      // path from code page 1252.
      {1252, "BinCopy \"$$FD$$\\Caf\xE9 C:\\x\n",
       "(!) D:\\Setup.Inf\xE3\x81\xAE"
       "1\xE8\xA1\x8C\xE7\x9B\xAE\xE3\x81\xAB\"",
       "D:\\Setup.Inf:1: error: the quoted source has no closing quote\n"},
      // Under code page 932 the bytes show as they are.
      {932, "\nBinCopy \"$$FD$$\\a.dll\"\n",
       "(!) D:\\Setup.Inf\xE3\x81\xAE"
       "2\xE8\xA1\x8C\xE7\x9B\xAE",
       "D:\\Setup.Inf:2: error: the destination is missing\n"},
      {1252, "Goto Fnish\nMessage skipped\n:Finish\n",
       "(!) Setup script Error. Nothing (Fnish) label",
       "D:\\Setup.Inf:1: error: label 'Fnish' is not found below this line\n"},
      {1252, "IfString a = a Then MkDir x\n", "(!) Setup script Error (MkDir x)",
       "D:\\Setup.Inf:1: error: unknown command 'MkDir'; did you mean 'MakeDir'?\n"},
      {932, "TextCopy $$FD$$\\ReadMe.txt C:\\ReadMe.txt\n",
       "(!) D:\\ReadMe.txt:(4) /* */ Syntax Error",
       "D:\\ReadMe.txt:3: error: /* */ syntax error: a comment is not closed\n"
       "D:\\Setup.Inf:1: note: the text is copied by this line\n"},
      {1252, "ErrorExit Already installed\n", "(!) Already installed",
       "D:\\Setup.Inf:1: error: ErrorExit ends the run here\n"},
      {1252, "\n\nGoto " + std::string(70, 'L') + "\n", "(!) D:\\Setup.Inf(3): Setup script Error",
       "D:\\Setup.Inf:3: error: the label is longer than 63 bytes\n"},
      {1252, "TextCopy $$FD$$\\None.txt C:\\n.txt\n", "(!) Can't open D:\\None.txt file",
       "D:\\Setup.Inf:1: error: 'D:\\None.txt' cannot be opened\n"},
      {1252, "DiskCheck Disk2.id Insert disk 2\n", "(!) Making a setup was stopped.",
       "D:\\Setup.Inf:1: error: the disk prompt was cancelled: the run stops here\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    files_ = setup::testing::FakeFileSystem();
    files_.AddFile("D:\\ReadMe.txt", "one\ntwo\n/* open\n");
    FILE* explain = std::tmpfile();
    io_.explain = explain;
    Run(c.script, "\nok\n", c.code_page);
    EXPECT_THAT(Output(), HasSubstr(c.box));
    std::string said(4096, '\0');
    std::rewind(explain);
    said.resize(std::fread(said.data(), 1, said.size(), explain));
    std::fclose(explain);
    EXPECT_EQ(said, c.explanation);
    std::fclose(io_.in);
    std::fclose(io_.out);
    io_.in = io_.out = nullptr;
  }
}

TEST_F(TerminalRunTest, ScriptMessageCancelStopsTheRun) {
  EXPECT_EQ(Run("MessageBox \"Continue?\x01Really?\"\nMessage after\n", "\n\ncancel\n"),
            SetupResult::kStopped);
  std::string out = Output();
  EXPECT_THAT(out, HasSubstr("Continue?"));
  EXPECT_THAT(out, HasSubstr("Really?"));
  EXPECT_THAT(out, Not(HasSubstr("after")));
}

}  // namespace
}  // namespace setup::terminal
