// The install record: the text of what a run did, the same from both
// programs. The Linux program keeps one per run in the machine folder
// (platform/posix/record_file.h), setup.exe writes one where /LOG= says:
//
//   title    Hanami Notes 1.2 Setup
//   started  2026-12-08T09:12:03Z
//   machine  code page 932 (names below converted to UTF-8)
//
//   setup folder            C:\Program Files\Hanami Notes
//   second folder           D:\Hanami Data
//   folder created          C:\Program Files\Hanami Notes
//   ...                     (the change lines of change_record.h, in order)
//   message, line 14        Please close Hanami Notes first.
//   error, line 21          Can't write registry HKEY_LOCAL_MACHINE\...
//
//   result   completed | completed with errors | stopped | stopped at line 30 | cancelled
//   message  The medium is damaged
//
// The folders are the ones the run started with; each message the user was
// shown (or would have been, in a silent run) is there with the script line
// it came from ("error", "message" for Message, "question" for MessageBox,
// "disk prompt"), and a stopped run names the line it stopped at and the
// message that said why, when there was one. Control bytes come out as \xNN.
// The record is written as it goes; its output puts it in place at the end.
#pragma once

#include <cstddef>

#include "engine/script_engine.h"
#include "record/change_record.h"

namespace setup {

enum class MessageKind { kError, kMessage, kQuestion, kDiskPrompt };
enum class RecordResult { kCompleted, kStopped, kCancelled };

class InstallRecord : public ChangeSink {
 public:
  explicit InstallRecord(RecordOutput& output) : output_(output) {}
  InstallRecord(const InstallRecord&) = delete;
  InstallRecord& operator=(const InstallRecord&) = delete;

  // Where the window title is read when the record begins (the engine's
  // settings; set once the script is loaded). Null: "Setup".
  void set_title(const char* title) { title_ = title; }

  // Appends a change line; the first line of any kind begins the record.
  void Changed(const char* line) override;
  // The folders the run started with; folder2 null when the script has one.
  void NoteFolders(const char* folder1, const char* folder2);
  // A message shown (or, in a silent run, not shown) while script line
  // `line` ran or was read; 0: before the script was read.
  void NoteMessage(MessageKind kind, int line, const char* text);

  // Adds the result and puts the record in place (begun now when nothing
  // came before). line: the script line the run stopped at (0: none).
  // False when the record could not be written; once finished, later calls
  // do nothing and return true.
  bool Finish(RecordResult result, int line);
  // Error messages noted so far.
  int errors() const { return errors_; }

 private:
  bool Begin();
  void Put(const LineText& line);

  RecordOutput& output_;
  const char* title_ = nullptr;
  bool begun_ = false;
  bool failed_ = false;
  bool finished_ = false;
  int errors_ = 0;
  int error_line_ = -1;  // of the last error message
  char error_text_[kChangeNameSize] = "";
};

// A SetupUi that notes in the record each message it passes on to inner,
// and the folders when the run starts (at its first progress range).
class RecordingUi : public SetupUi {
 public:
  // from_start: messages before the run are noted too (setup.exe's log
  // says why a run never started); otherwise only those of the run.
  RecordingUi(SetupUi& inner, InstallRecord& record, bool from_start)
      : inner_(inner), record_(record), from_start_(from_start) {}
  // The engine whose line numbers and folders are noted; set before it starts.
  void Attach(const ScriptEngine* engine) { engine_ = engine; }

  void RunSetupDialog(const char* folder1, const char* folder2) override {
    inner_.RunSetupDialog(folder1, folder2);
  }
  void SetProgressRange(int count) override;
  void SetProgressPos(int position) override { inner_.SetProgressPos(position); }
  void ShowError(const char* text) override;
  void ShowEngineError(const EngineError& error) override;
  void ShowTopmostError(const char* text) override;
  void ShowInformation(const char* text) override;
  bool AskScriptMessage(const char* text) override;
  bool PromptDisk(const char* text) override;
  void ShowCompleted() override { inner_.ShowCompleted(); }
  void KeepResponsive() override { inner_.KeepResponsive(); }

 private:
  void Note(MessageKind kind, int line, const char* text);
  int Line() const { return engine_ != nullptr ? engine_->line_number : 0; }

  SetupUi& inner_;
  InstallRecord& record_;
  const ScriptEngine* engine_ = nullptr;
  bool from_start_;
  bool folders_noted_ = false;
};

}  // namespace setup
