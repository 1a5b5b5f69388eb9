// One table of line forms read by both users of the command table: the run
// (what the user is shown) and the medium check (what it reports), so that a
// line the check passes is one the run reads the same way.
#include "engine/command_table.h"

#include <memory>
#include <string>
#include <vector>

#include "check/checker.h"
#include "engine/messages.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/unit/engine_fixture.h"

namespace setup::testing {
namespace {

class Collected : public CheckReport {
 public:
  void Diagnostic(const char*, int line, int, Severity severity, const char* text) override {
    lines.push_back(std::to_string(line) +
                    (severity == Severity::kError ? ": error: " : ": warning: ") + text);
  }
  std::vector<std::string> lines;
};

struct LineForm {
  const char* line;
  std::string run;                 // the run's transcript
  std::vector<std::string> check;  // the check's diagnostics
};

class CommandTableTest : public EngineTest {
 protected:
  std::string Run(const std::string& script) {
    FakeFileSystem files;
    files.AddFile("D:\\a.txt", "a");
    platform.files = &files;
    Reset();
    DefineMacro(engine->macros, "$$FD$$", "D:");
    EXPECT_TRUE(Load(script));
    engine->RunScript(kJapanese);
    return ui.Transcript();
  }
  static std::vector<std::string> Check(const std::string& script) {
    FakeFileSystem medium;
    medium.AddFile("D:\\Setup.Inf", script);
    medium.AddFile("D:\\a.txt", "a");
    Collected report;
    auto checker = std::make_unique<Checker>(medium, CheckOptions{}, report);
    checker->Run();
    return report.lines;
  }
};

TEST_F(CommandTableTest, LineFormsReadAlikeByTheRunAndTheCheck) {
  const std::string no_tab = "error: " + Format(kMsgNoTab, "D:\\Setup.Inf", 1) + "\n";
  const std::string no_quote = "error: " + Format(kMsgNoQuote, "D:\\Setup.Inf", 1) + "\n";
  const LineForm forms[] = {
      // A quoted argument holds blanks; text right behind the closing quote is the next one.
      {"MessageBox \"two words\"\n", "message: two words\ncompleted\n", {}},
      {"IfString \"a b\"\"a b\" Then Message same\n",
       "completed\n",
       {"1: warning: without an operator the test is always false"}},
      {"IfString \"a b\" = \"a b\" Then Message same\n", "info: same\ncompleted\n", {}},
      // Lenient: unquoted, the first word; at the end of the line, the rest of it.
      {"MessageBox two words\n",
       "message: two\ncompleted\n",
       {"1: warning: only the first word of an unquoted MessageBox text is shown"}},
      {"MessageBox \"unclosed text\n", "message: unclosed text\ncompleted\n", {}},
      // Strict: the last word needs a blank behind it, a quote its closing quote.
      {"Regsvr D:\\a.txt\n",
       no_tab,
       {"1: error: the component 'D:\\a.txt' must be quoted or followed by a blank"}},
      {"BinCopy \"D:\\a.txt C:\\a.txt\n",
       no_quote,
       {"1: error: the quoted source has no closing quote"}},
      {"DeleteRegistry\n", no_tab, {"1: error: the registry path is missing"}},
      {"SetRegistry \"HKEY_CURRENT_USER\\S\\v\" data\n",
       no_tab,
       {"1: error: the data 'data' must be quoted or followed by a blank"}},
      // The operator is read only where one stands, then as a strict argument.
      {"IfString a <=\n",
       no_tab,
       {"1: error: the operator '<=' must be quoted or followed by a blank"}},
      {"IfString a =a Then Message glued\n",
       "completed\n",
       {"1: warning: '=a' is no operator: an operator must be followed by a blank"}},
      // The sense word is strict; the tail command follows it.
      {"IfFileFind \"D:\\a.txt\" Then\n",
       no_tab,
       {"1: error: the sense word 'Then' must be quoted or followed by a blank"}},
      {"IfFileFind \"D:\\a.txt\" Then  Goto END\nMessage no\n:END\n", "completed\n", {}},
      // A label behind one colon, quoted or not.
      {"Goto :\"END\"\nMessage no\n:END\n", "completed\n", {}},
      {"#define $$A$$\n",
       no_tab,
       {"1: error: the macro name '$$A$$' must be quoted or followed by a blank"}},
      // The rest of the line as it stands.
      {"#define $$A$$  x y \nMessage [$$A$$]\n",
       "info: [x y ]\ncompleted\n",
       {"1: warning: the value of '$$A$$' ends in blanks, which become part of it"}},
  };
  for (const LineForm& form : forms) {
    ui.events.clear();
    EXPECT_EQ(Run(form.line), form.run) << form.line;
    EXPECT_EQ(Check(form.line), form.check) << form.line;
  }
}

}  // namespace
}  // namespace setup::testing
