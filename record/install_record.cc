// The install record's text: header, the lines as they come, the result.
#include "record/install_record.h"

#include <cstring>

namespace setup {
namespace {

// A line of the header or the result: word padded to 9 columns, then value
// (control bytes as \xNN).
void Field(LineText* line, const char* word, const char* value) {
  line->Add(word).Add("         ", 9 - std::strlen(word)).Defused(value);
}

void AddNumber(LineText* line, int n) {
  char digits[12];
  int count = 0;
  unsigned value = static_cast<unsigned>(n);
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) line->Add(&digits[--count], 1);
}

}  // namespace

bool InstallRecord::Begin() {
  if (begun_ || failed_) return !failed_;
  begun_ = true;
  const char* title = title_ != nullptr && title_[0] != '\0' ? title_ : "Setup";
  RecordStart start;
  if (!output_.Open(title, &start)) {
    failed_ = true;
    return false;
  }
  LineText header;
  Field(&header, "title", title);
  Field(&header.Add("\n"), "started", start.started);
  Field(&header.Add("\n"), "machine", start.machine);
  Put(header.Add("\n"));
  return !failed_;
}

void InstallRecord::Put(const LineText& line) {
  if (failed_ || finished_) return;
  if (!output_.Write(line.c_str(), line.size()) || !output_.Write("\n", 1)) failed_ = true;
}

void InstallRecord::Changed(const char* line) {
  if (!Begin()) return;
  LineText text;
  Put(text.Add(line));
}

void InstallRecord::NoteFolders(const char* folder1, const char* folder2) {
  if (!Begin()) return;
  LineText line;
  StartChangeLine(&line, "setup folder");
  Put(line.Defused(folder1));
  if (folder2 == nullptr) return;
  LineText second;
  StartChangeLine(&second, "second folder");
  Put(second.Defused(folder2));
}

void InstallRecord::NoteMessage(MessageKind kind, int line, const char* text) {
  if (kind == MessageKind::kError && !finished_) {
    ++errors_;
    error_line_ = line;
    std::size_t length = std::strlen(text);
    if (length >= sizeof error_text_) length = sizeof error_text_ - 1;
    std::memcpy(error_text_, text, length);
    error_text_[length] = '\0';
  }
  if (!Begin()) return;
  static constexpr const char* kKinds[] = {"error", "message", "question", "disk prompt"};
  LineText kind_text;
  kind_text.Add(kKinds[static_cast<int>(kind)]);
  if (line > 0) AddNumber(&kind_text.Add(", line "), line);
  LineText out;
  StartChangeLine(&out, kind_text.c_str());
  Put(out.Defused(text));
}

bool InstallRecord::Finish(RecordResult result, int line) {
  if (finished_) return true;
  Begin();
  LineText text;
  const char* word = result == RecordResult::kCompleted
                         ? (errors_ > 0 ? "completed with errors" : "completed")
                     : result == RecordResult::kCancelled ? "cancelled"
                                                          : "stopped";
  Field(&text.Add("\n"), "result", word);
  if (result == RecordResult::kStopped) {
    if (line > 0) AddNumber(&text.Add(" at line "), line);
    // The message that stopped the run is the last error, shown at that line.
    if (error_line_ == line) Field(&text.Add("\n"), "message", error_text_);
  }
  Put(text);
  finished_ = true;
  if (!begun_) return false;  // it never opened
  return output_.Close(!failed_) && !failed_;
}

void RecordingUi::SetProgressRange(int count) {
  if (!folders_noted_ && engine_ != nullptr) {
    folders_noted_ = true;
    const SetupParams& params = engine_->params;
    record_.NoteFolders(params.folder1, params.folder_count > 1 ? params.folder2 : nullptr);
  }
  inner_.SetProgressRange(count);
}

void RecordingUi::Note(MessageKind kind, int line, const char* text) {
  if (from_start_ || (engine_ != nullptr && engine_->run_started())) {
    record_.NoteMessage(kind, line, text);
  }
}

void RecordingUi::ShowError(const char* text) {
  Note(MessageKind::kError, Line(), text);
  inner_.ShowError(text);
}

void RecordingUi::ShowEngineError(const EngineError& error) {
  Note(MessageKind::kError, error.line, error.text);
  inner_.ShowEngineError(error);
}

void RecordingUi::ShowTopmostError(const char* text) {
  Note(MessageKind::kError, Line(), text);
  inner_.ShowTopmostError(text);
}

void RecordingUi::ShowInformation(const char* text) {
  Note(MessageKind::kMessage, Line(), text);
  inner_.ShowInformation(text);
}

bool RecordingUi::AskScriptMessage(const char* text) {
  Note(MessageKind::kQuestion, Line(), text);
  return inner_.AskScriptMessage(text);
}

bool RecordingUi::PromptDisk(const char* text) {
  Note(MessageKind::kDiskPrompt, Line(), text);
  return inner_.PromptDisk(text);
}

}  // namespace setup
