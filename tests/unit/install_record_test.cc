// The install record of whole runs over the fake machine: what the record
// says about the changes, the folders, the messages with their lines and the
// result.
#include "record/install_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "tests/fakes/fake_components.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/fake_version_info.h"
#include "tests/fakes/recording_ui.h"

namespace setup::testing {
namespace {

// The record kept in a string; Open and Close as a file would do them.
class StringOutput : public RecordOutput {
 public:
  bool Open(const char*, RecordStart* start) override {
    std::strcpy(start->started, "2026-12-08T09:12:03Z");
    std::strcpy(start->machine, "code page 932");
    return !refuse;
  }
  bool Write(const char* data, std::size_t length) override {
    text.append(data, length);
    return true;
  }
  bool Close(bool whole) override {
    closed = whole;
    return true;
  }

  bool refuse = false;
  bool closed = false;
  std::string text;
};

// A machine of fakes, its recording platform and an engine over both.
struct RecordedRun {
  explicit RecordedRun(bool from_start = false) : recorder(ui, record, from_start) {
    system.program_path = "D:\\SETUP.EXE";
    engine = std::make_unique<ScriptEngine>(recording.platform(), recorder);
    recorder.Attach(engine.get());
    record.set_title(engine->params.window_title);
    ui.on_dialog = &PressOk;
    ui.dialog_context = this;
    registry.SetValueAt("HKEY_CURRENT_USER\\Software\\App", "Version", kRegSz,
                        std::string("1\0", 2));
    registry.AddKey("HKEY_USERS\\Locked");
    registry.MakeReadOnly("HKEY_USERS\\Locked");
  }

  static void PressOk(void* context, const char* folder1, const char* folder2) {
    auto* self = static_cast<RecordedRun*>(context);
    StartRun(*self->engine, folder1, folder2, kJapanese);
  }

  // The record of a run of script, after its header, as the front ends end it.
  std::string Run(const std::string& script) {
    files.AddFile("D:\\Setup.Inf", script);
    SetupResult result = engine->InitInstance();
    finished = record.Finish(
        result == SetupResult::kCompleted ? RecordResult::kCompleted : RecordResult::kStopped,
        engine->line_number);
    const std::string header =
        "title    Setup\nstarted  2026-12-08T09:12:03Z\nmachine  code page 932\n\n";
    EXPECT_EQ(output.text.substr(0, header.size()), header);
    return output.text.substr(std::min(header.size(), output.text.size()));
  }

  FakeSystem system;
  FakeFileSystem files;
  FakeRegistry registry;
  FakeVersionInfo versions;
  FakeComponents components;
  Platform machine{&system, &files, &registry, &versions, &components};
  StringOutput output;
  InstallRecord record{output};
  RecordingPlatform recording{machine, record};
  testing::RecordingUi ui;
  setup::RecordingUi recorder;
  std::unique_ptr<ScriptEngine> engine;
  bool finished = false;
};

TEST(InstallRecordTest, RunsEndingEachWay) {
  struct Case {
    const char* script;
    const char* record;  // after the header
  };
  const Case cases[] = {
      // Completed: the folders, each change, a replaced value with its
      // former data, the message with its line.
      {"SetupDir C:\\App\nMakeDir $$SETUPDIR$$\n"
       "SetRegistry \"HKEY_CURRENT_USER\\Software\\App\\Version\" \"2\"\n"
       "Message Done\x01twice\n",
       "setup folder            C:\\App\n"
       "folder created          C:\\App\n"
       "registry set            HKEY_CURRENT_USER\\Software\\App  Version = \"2\" (was \"1\")\n"
       "message, line 4         Done\\x01twice\n"
       "\nresult   completed\n"},
      // A failure the run goes on after: completed with errors, and the
      // error is there with its line.
      {"SetupDir C:\\App\nSetRegistry \"HKEY_USERS\\Locked\\V\" \"1\"\nMakeDir C:\\After\n",
       "setup folder            C:\\App\n"
       "error, line 2           Registry write error : (HKEY_USERS\\Locked\\V , 1)\n"
       "folder created          C:\\After\n"
       "\nresult   completed with errors\n"},
      // ErrorExit: the line and the message that stopped the run.
      {"MakeDir C:\\Half\nErrorExit The medium is damaged\nMakeDir C:\\Never\n",
       "setup folder            C:\\\n"
       "folder created          C:\\Half\n"
       "error, line 2           The medium is damaged\n"
       "\nresult   stopped at line 2\nmessage  The medium is damaged\n"},
      // A stop without a message (Cancel in a MessageBox): the line alone,
      // not the earlier error.
      {"SetRegistry \"HKEY_USERS\\Locked\\V\" \"1\"\nMessageBox \"Go on?\"\n",
       "setup folder            C:\\\n"
       "error, line 1           Registry write error : (HKEY_USERS\\Locked\\V , 1)\n"
       "question, line 2        Go on?\n"
       "\nresult   stopped at line 2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    RecordedRun run;
    run.ui.answers = {false};  // the MessageBox, where there is one
    EXPECT_EQ(run.Run(c.script), c.record);
    EXPECT_TRUE(run.finished);
    EXPECT_TRUE(run.output.closed);
  }
}

TEST(InstallRecordTest, DeletedValuesKeepTheirData) {
  RecordedRun run;
  FakeRegistry& registry = run.registry;
  registry.SetValueAt("HKEY_CURRENT_USER\\Software\\App", "Count", kRegDword,
                      std::string("\x01\x00\x00\x00", 4));
  registry.SetValueAt("HKEY_CURRENT_USER\\Software\\App", "Blob", kRegBinary, "\x0a\xff");
  registry.SetValueAt("HKEY_CURRENT_USER\\Software\\App", "Big", kRegBinary,
                      std::string(5000, 'x'));
  std::string text = run.Run(
      "DeleteRegistry \"HKEY_CURRENT_USER\\Software\\App\\Count\"\n"
      "DeleteRegistry \"HKEY_CURRENT_USER\\Software\\App\\Blob\"\n"
      "DeleteRegistry \"HKEY_CURRENT_USER\\Software\\App\\Big\"\n");
  EXPECT_EQ(
      text,
      "setup folder            C:\\\n"
      "registry value deleted  HKEY_CURRENT_USER\\Software\\App  Count (was dword:00000001)\n"
      "registry value deleted  HKEY_CURRENT_USER\\Software\\App  Blob (was hex:0a,ff)\n"
      "registry value deleted  HKEY_CURRENT_USER\\Software\\App  Big (was 5,000 bytes of data)\n"
      "\nresult   completed\n");
}

TEST(InstallRecordTest, AStartThatFailsIsNotedOnlyWhenAskedFor) {
  // The Linux program's record is of runs: nothing before one.
  const std::string missing = "Can't Open D:\\Missing\\Setup.Inf file.";
  RecordedRun of_runs;
  of_runs.system.program_path = "D:\\Missing\\SETUP.EXE";
  EXPECT_EQ(of_runs.Run(""), "\nresult   stopped\n");
  RecordedRun from_start(true);
  from_start.system.program_path = "D:\\Missing\\SETUP.EXE";
  EXPECT_EQ(from_start.Run(""), "error                   " + missing +
                                    "\n\nresult   stopped\nmessage  " + missing + "\n");
  // An output that cannot be opened: Finish says so.
  StringOutput refusing;
  refusing.refuse = true;
  InstallRecord lost(refusing);
  EXPECT_FALSE(lost.Finish(RecordResult::kCompleted, 0));
}

}  // namespace
}  // namespace setup::testing
