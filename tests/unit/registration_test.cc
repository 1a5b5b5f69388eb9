// Regsvr over recording fakes: which route registers a component, the
// command line and folder of the process route, the wait, and the message.
#include "actions/registration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/lexicon.h"
#include "engine/messages.h"
#include "engine/script_engine.h"
#include "tests/fakes/fake_components.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr long kStatusFail = -2147467259;  // E_FAIL, 0x80004005
constexpr long kStatusFalse = 1;           // S_FALSE

class RegistrationTest : public ::testing::Test {
 protected:
  RegistrationTest() : engine_(MakePlatform(), ui_) {}

  Platform MakePlatform() {
    Platform platform;
    platform.system = &system_;
    platform.components = &components_;
    return platform;
  }

  // Runs a Regsvr line's argument text as the interpreter hands it over.
  bool Regsvr(const std::string& arguments) {
    std::vector<char> buffer(arguments.begin(), arguments.end());
    buffer.push_back('\0');
    return RegsvrCommand(engine_, buffer.data());
  }

  // The engine's lead bytes as on a system with (or without) a double-byte
  // code page.
  void UseLeadBytes(bool japanese) {
    system_.japanese = japanese;
    for (int b = 0; b < 256; ++b) {
      engine_.lead_bytes.is_lead[b] = system_.IsLeadByte(static_cast<unsigned char>(b));
    }
  }

  static std::string CantRegister(const std::string& path) {
    return "topmost error:  '" + path + "' registration can't be done";
  }

  FakeSystem system_;
  FakeComponents components_;
  RecordingUi ui_;
  ScriptEngine engine_;
};

TEST_F(RegistrationTest, InProcessSuccessStartsNoProcess) {
  components_.modules["C:\\App\\a.dll"] = {true, 0};

  EXPECT_TRUE(Regsvr("C:\\App\\a.dll "));

  EXPECT_THAT(components_.events, ElementsAre("load C:\\App\\a.dll", "call DllRegisterServer -> 0",
                                              "free C:\\App\\a.dll"));
  EXPECT_THAT(ui_.events, IsEmpty());
}

// Every way the in-process route can fail leads to the process route, and
// a loaded module is always freed again.
struct InProcessFailure {
  const char* name;
  bool loadable;
  bool has_export;
  long status;
};

class InProcessFailureTest : public RegistrationTest,
                             public ::testing::WithParamInterface<InProcessFailure> {
 protected:
  void SetUp() override {
    const InProcessFailure& failure = GetParam();
    if (failure.loadable) {
      components_.modules["C:\\App\\a.dll"] = {failure.has_export, failure.status};
    }
  }
};

TEST_P(InProcessFailureTest, StartsTheFileAsProgramWhichRegistersIt) {
  components_.programs.insert("C:\\App\\a.dll");

  EXPECT_TRUE(Regsvr("C:\\App\\a.dll "));

  EXPECT_THAT(components_.Starts(),
              ElementsAre("start [\"C:\\App\\a.dll\" /regserver] in [C:\\App\\]"));
  EXPECT_EQ(components_.open_modules, 0);
  EXPECT_EQ(components_.open_processes, 0);
  EXPECT_THAT(ui_.events, IsEmpty());
}

TEST_P(InProcessFailureTest, ProgramThatCannotStartGivesTheMessageAndStops) {
  EXPECT_FALSE(Regsvr("C:\\App\\a.dll "));

  EXPECT_THAT(components_.Starts(),
              ElementsAre("start [\"C:\\App\\a.dll\" /regserver] in [C:\\App\\] failed"));
  EXPECT_EQ(components_.open_modules, 0);
  EXPECT_THAT(ui_.events, ElementsAre(CantRegister("C:\\App\\a.dll")));
}

INSTANTIATE_TEST_SUITE_P(
    Routes, InProcessFailureTest,
    ::testing::Values(InProcessFailure{"NotLoadable", false, false, 0},
                      InProcessFailure{"NoExport", true, false, 0},
                      InProcessFailure{"ErrorStatus", true, true, kStatusFail},
                      InProcessFailure{"PositiveStatus", true, true, kStatusFalse}),
    [](const ::testing::TestParamInfo<InProcessFailure>& info) { return info.param.name; });

TEST_F(RegistrationTest, ExecutableRunsQuotedInItsOwnFolderAndIsWaitedFor) {
  const char* path = "C:\\Program Files\\App\\app.exe";
  components_.modules[path] = {false, 0};
  components_.programs.insert(path);
  components_.polls_before_end = 3;

  EXPECT_TRUE(Regsvr("\"C:\\Program Files\\App\\app.exe\""));

  EXPECT_THAT(components_.events,
              ElementsAre("load C:\\Program Files\\App\\app.exe", "call DllRegisterServer missing",
                          "free C:\\Program Files\\App\\app.exe",
                          "start [\"C:\\Program Files\\App\\app.exe\" /regserver] in "
                          "[C:\\Program Files\\App\\]",
                          "close"));
  // The front end keeps its windows responsive and the thread sleeps 1 ms
  // for every poll that finds the program still running, and not once more.
  EXPECT_EQ(ui_.idle_count, 3);
  EXPECT_EQ(components_.sleep_count, 3);
  EXPECT_EQ(components_.slept_ms, 3u);
  EXPECT_THAT(ui_.events, IsEmpty());
}

TEST_F(RegistrationTest, ProgramThatHasEndedAtOnceIsNotWaitedFor) {
  components_.programs.insert("C:\\app.exe");
  components_.polls_before_end = 0;

  EXPECT_TRUE(Regsvr("C:\\app.exe "));

  EXPECT_EQ(ui_.idle_count, 0);
  EXPECT_EQ(components_.sleep_count, 0);
  EXPECT_EQ(components_.open_processes, 0);
}

TEST_F(RegistrationTest, FrontEndKeepsRespondingDuringTheWait) {
  components_.programs.insert("C:\\app.exe");
  components_.polls_before_end = 2;
  std::vector<int> seen_open;
  ui_.on_idle = [&] { seen_open.push_back(components_.open_processes); };

  EXPECT_TRUE(Regsvr("C:\\app.exe "));

  // Each call happened while the program was still held open.
  EXPECT_THAT(seen_open, ElementsAre(1, 1));
}

// The working folder is the drive and folder part of the path, separator
// kept; without one the program starts in the installer's current folder.
struct FolderCase {
  const char* path;
  bool japanese;
  const char* folder;
};

class FolderTest : public RegistrationTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(FolderTest, ProgramStartsInTheFolderPartOfItsPath) {
  const FolderCase& c = GetParam();
  UseLeadBytes(c.japanese);
  components_.programs.insert(c.path);

  EXPECT_TRUE(RegisterComponent(engine_, c.path));

  EXPECT_THAT(components_.Starts(), ElementsAre(std::string("start [\"") + c.path +
                                                "\" /regserver] in [" + c.folder + "]"));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FolderTest,
    ::testing::Values(FolderCase{"app.exe", true, ""}, FolderCase{"C:app.exe", true, "C:"},
                      FolderCase{"\\app.exe", true, "\\"},
                      FolderCase{"sub\\app.exe", true, "sub\\"},
                      FolderCase{"C:/dir/app.exe", true, "C:/dir/"},
                      FolderCase{"C:\\a\\b\\\\app.exe", true, "C:\\a\\b\\\\"},
                      // Shift-JIS 0x95 0x5C ends in a byte that looks like a
                      // backslash; it is no separator in a double-byte code
                      // page, and is one in a single-byte code page.
                      FolderCase{"C:\\\x95\x5C"
                                 "app.exe",
                                 true, "C:\\"},
                      FolderCase{"C:\\\x95\x5C\\app.exe", true, "C:\\\x95\x5C\\"},
                      FolderCase{"C:\\\x95\x5C"
                                 "app.exe",
                                 false, "C:\\\x95\x5C"}));

TEST_F(RegistrationTest, MissingFileNamesThePathAsWrittenAndFails) {
  EXPECT_FALSE(Regsvr("..\\bin\\gone.dll "));

  EXPECT_THAT(components_.events,
              ElementsAre("load ..\\bin\\gone.dll failed",
                          "start [\"..\\bin\\gone.dll\" /regserver] in [..\\bin\\] failed"));
  EXPECT_THAT(ui_.events, ElementsAre(CantRegister("..\\bin\\gone.dll")));
}

TEST_F(RegistrationTest, TextBehindThePathIsIgnored) {
  components_.modules["C:\\a.dll"] = {true, 0};

  EXPECT_TRUE(Regsvr("C:\\a.dll\tand more words"));

  EXPECT_THAT(components_.events,
              ElementsAre("load C:\\a.dll", "call DllRegisterServer -> 0", "free C:\\a.dll"));
}

// The path is read strictly: an unquoted path must be followed by a blank,
// a quoted one must be closed. NextArg reports it; nothing is touched.
TEST_F(RegistrationTest, MalformedPathIsReportedOnceAndNothingIsLoaded) {
  for (const char* arguments : {"C:\\a.dll", "\"C:\\a.dll ", ""}) {
    SCOPED_TRACE(arguments);
    ui_.events.clear();
    components_.modules["C:\\a.dll"] = {true, 0};

    EXPECT_FALSE(Regsvr(arguments));

    EXPECT_THAT(components_.events, IsEmpty());
    ASSERT_EQ(ui_.events.size(), 1u);
    EXPECT_EQ(ui_.events[0].compare(0, 7, "error: "), 0) << ui_.events[0];
  }
}

TEST_F(RegistrationTest, FolderPartOf255BytesIsUsed) {
  std::string folder = "C:\\" + std::string(251, 'f') + "\\";
  ASSERT_EQ(folder.size(), 255u);
  std::string path = folder + "app.exe";
  components_.programs.insert(path);

  EXPECT_TRUE(RegisterComponent(engine_, path.c_str()));

  EXPECT_THAT(components_.Starts(),
              ElementsAre("start [\"" + path + "\" /regserver] in [" + folder + "]"));
}

// A folder part that does not fit 255 bytes is not cut to another folder:
// the program is not started, and the user is told.
TEST_F(RegistrationTest, FolderPartLongerThan255BytesIsNotStarted) {
  std::string path = "C:\\" + std::string(252, 'f') + "\\app.exe";
  components_.programs.insert(path);

  EXPECT_FALSE(RegisterComponent(engine_, path.c_str()));

  EXPECT_THAT(components_.Starts(), IsEmpty());
  ASSERT_EQ(ui_.events.size(), 1u);
  // The message is cut to 255 bytes like every other.
  EXPECT_EQ(ui_.events[0], std::string("topmost error: ") +
                               (" '" + path + "' registration can't be done").substr(0, 255));
}

TEST_F(RegistrationTest, LongMessageIsNotCutInsideADoubleByteCharacter) {
  // " '" and 252 bytes put the 255-byte limit between the two bytes of 0x95
  // 0x5C, which must then be left out whole.
  std::string path = std::string(252, 'x') + "\x95\x5C" + "yyyy";

  EXPECT_FALSE(RegisterComponent(engine_, path.c_str()));

  ASSERT_EQ(ui_.events.size(), 1u);
  EXPECT_EQ(ui_.events[0], "topmost error:  '" + std::string(252, 'x'));
}

TEST_F(RegistrationTest, RunAndWaitQuotesAProgramWithoutArguments) {
  components_.programs.insert("C:\\p.exe");

  EXPECT_TRUE(RunAndWait(engine_, "C:\\p.exe", "C:\\", ""));

  EXPECT_THAT(components_.Starts(), ElementsAre("start [\"C:\\p.exe\"] in [C:\\]"));
}

TEST_F(RegistrationTest, RunAndWaitRefusesACommandLineThatWouldBeCut) {
  std::string program = "C:\\" + std::string(kWorkLineSize, 'p');
  components_.programs.insert(program);

  EXPECT_FALSE(RunAndWait(engine_, program.c_str(), "", "/regserver"));

  EXPECT_THAT(components_.Starts(), IsEmpty());
}

TEST_F(RegistrationTest, PathOfAWholeWorkLineStillFitsTheCommandLine) {
  std::string program = "C:\\" + std::string(kWorkLineSize - 4, 'p');
  components_.programs.insert(program);

  EXPECT_TRUE(RunAndWait(engine_, program.c_str(), "", "/regserver"));

  EXPECT_EQ(components_.Starts().size(), 1u);
}

// --- Regsvr inside a run ---

class RegsvrRunTest : public RegistrationTest {
 protected:
  // Loads script and runs it; the transcript of what the user saw.
  std::string Run(const std::string& script) {
    std::strcpy(engine_.script_path, "D:\\Setup.Inf");
    DefineMacro(engine_.macros, "$$FD$$", "D:");
    EXPECT_TRUE(engine_.LoadScriptText(script.data(), static_cast<int>(script.size())));
    ui_.events.clear();
    completed_ = engine_.RunScript(kJapanese);
    return ui_.Transcript();
  }
  bool completed_ = false;
};

TEST_F(RegsvrRunTest, RegisteredComponentLetsTheRunGoOn) {
  components_.modules["D:\\a.dll"] = {true, 0};

  EXPECT_EQ(Run("Regsvr $$FD$$\\a.dll \nMessage next\n"), "info: next\ncompleted\n");
  EXPECT_TRUE(completed_);
}

TEST_F(RegsvrRunTest, MissingComponentStopsTheRunWithTheExpandedPath) {
  EXPECT_EQ(Run("Regsvr \"$$FD$$\\gone.dll\"\nMessage not reached\n"),
            CantRegister("D:\\gone.dll") + "\n");
  EXPECT_FALSE(completed_);
}

TEST_F(RegsvrRunTest, MalformedPathStopsTheRunWithTheLexiconsMessage) {
  char expected[kTextSize];
  std::snprintf(expected, sizeof expected, kMsgNoTab, "D:\\Setup.Inf", 1);

  EXPECT_EQ(Run("Regsvr D:\\a.dll\nMessage not reached\n"),
            std::string("error: ") + expected + "\n");
  EXPECT_FALSE(completed_);
  EXPECT_THAT(components_.events, IsEmpty());
}

// While Regsvr waits, the setup dialog's buttons can be clicked; OK then
// asks for a run again, which must do nothing to the run in progress.
TEST_F(RegsvrRunTest, RunRequestedDuringTheWaitDoesNothing) {
  components_.programs.insert("D:\\app.exe");
  components_.polls_before_end = 2;
  std::vector<RunResult> nested_results;
  ui_.on_idle = [&] { nested_results.push_back(StartRun(engine_, "C:\\", "C:\\", kJapanese)); };

  EXPECT_EQ(Run("Regsvr D:\\app.exe \nMessage after\n"), "info: after\ncompleted\n");

  EXPECT_TRUE(completed_);
  EXPECT_THAT(nested_results, ElementsAre(RunResult::kAlreadyStarted, RunResult::kAlreadyStarted));
  EXPECT_EQ(components_.Starts().size(), 1u);
  EXPECT_TRUE(engine_.run_started());
}

}  // namespace
}  // namespace setup::testing
