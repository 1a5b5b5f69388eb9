// The terminal front end: every SetupUi operation as text on a terminal, or
// as questions answered one per line from piped standard input.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/script_engine.h"
#include "platform/posix/code_page.h"
#include "ui/terminal/explain.h"
#include "ui/terminal/layout.h"

namespace setup::terminal {

// The engine's code page to the terminal's character set and back.
using posix::CodePageConverter;

// Where the front end talks and how.
struct TerminalIo {
  FILE* in = stdin;
  FILE* out = stdout;
  // Input from a person at a terminal: notices wait for Enter. Otherwise
  // answers come one per line and are echoed behind their question.
  bool input_is_terminal = false;
  // Output to a terminal: the progress bar is drawn (and redrawn in place).
  bool output_is_terminal = false;
  int width = 80;  // columns of the terminal
  // Ends the program with the stopped status; called when writing to out
  // failed (a closed pipe or terminal), at the first line boundary of the
  // run after it, or at its end. Null: the run goes on unseen.
  void (*end_program)() = nullptr;
  // Unattended (--yes): every question takes its default answer (the folders
  // as shown, OK) without reading in, except the disk prompt, which is
  // cancelled: nobody is there to change the disk.
  bool unattended = false;
  // Where error messages are repeated, one line each (standard error when
  // the output is no terminal); null: nowhere.
  FILE* errors = nullptr;
  // Where the trace of the run goes (--trace); null: no trace.
  FILE* trace = nullptr;
  // Where each error message is explained in English, in compiler form
  // ("Setup.Inf:12: error: ..."); null: nowhere.
  FILE* explain = nullptr;
};

// An engine message as UTF-8 that reads right on any code page: the
// program's own bytes converted from code page 932, the others from
// code_page. Empty when the bytes already show right in code_page (it is
// 932, or the program's own part is ASCII).
std::string ReadableMessage(const EngineError& error, unsigned code_page);

// How a folder typed by the user (in the terminal's character set) fares
// with the setup dialog.
enum class FolderCheck { kOk, kInputError, kTooLong };

// Checks a typed folder as the setup dialog does, blanks at both ends
// removed: no control characters, text the ANSI code page holds, at most
// kTextSize - 1 bytes in it. On kOk *ansi is the folder in the code page.
// An empty text is kInputError (the dialog keeps the shown folder instead).
FolderCheck CheckTypedFolder(const std::string& typed, const CodePageConverter& converter,
                             std::string* ansi);

class TerminalUi : public SetupUi, public LineTracer {
 public:
  // caption: the program's name without extension, the caption of message
  // boxes. converter: the engine's code page to the terminal and back.
  TerminalUi(const TerminalIo& io, const CodePageConverter& converter, std::string caption);

  // The engine whose script OK runs; set before the engine starts.
  void Attach(ScriptEngine* engine) { engine_ = engine; }

  // The setup dialog without the run: shows the title and folder rows of
  // params with folder1/folder2 (expanded, ANSI) as the folders, lets each be
  // changed and asks OK or Cancel. True on OK, with the folders as confirmed
  // (ANSI, at most kTextSize - 1 bytes) in *out1 and *out2.
  bool AskFolders(const SetupParams& params, const char* folder1, const char* folder2,
                  std::string* out1, std::string* out2);

  // When a write to the output has failed: says so on standard error and
  // calls io.end_program; false (and nothing happens) otherwise.
  bool EndIfOutputLost();

  // The language the run is started in (--language); Japanese by default,
  // as in the Windows dialog.
  void set_language(LanguageMode language) { language_ = language; }
  // Folders (ANSI, checked with CheckTypedFolder) the dialog shows instead
  // of the script's (--folder, --folder2); empty: the script's.
  void PresetFolders(const std::string& folder1, const std::string& folder2);
  // How explanations name a file the engine knows by its Windows path: the
  // host path, empty when there is none (then the Windows path is shown).
  void set_file_names(std::function<std::string(const char*)> host_name) {
    host_name_ = std::move(host_name);
  }
  // Error messages shown so far (ShowError, ShowTopmostError).
  int errors_shown() const { return errors_shown_; }
  // The dialog refused the command line (--folder2 for a dialog with one
  // folder row): said on standard error; nothing ran.
  bool refused_command_line() const { return refused_command_line_; }

  // --- SetupUi ---
  void RunSetupDialog(const char* folder1, const char* folder2) override;
  void SetProgressRange(int count) override;
  void SetProgressPos(int position) override;
  void ShowError(const char* text) override;
  // The box shows the program's own Japanese readable on every code page;
  // the message is explained on io.explain.
  void ShowEngineError(const EngineError& error) override;
  void ShowTopmostError(const char* text) override;
  void ShowInformation(const char* text) override;
  bool AskScriptMessage(const char* text) override;
  bool PromptDisk(const char* text) override;
  void ShowCompleted() override;

  // The line running now registered a component by simulation: its trace
  // says so.
  void NoteSimulatedRegistration() { simulated_ = true; }

  // --- LineTracer: one line on io.trace per script line that is not blank ---
  void TraceLine(int line_number, const char* text, TraceOutcome outcome,
                 const char* label) override;

 private:
  // Reads one answer line; false at the end of the input (which stays ended).
  bool ReadLine(std::string* line);
  // Asks question until the answer is OK or Cancel; the end of input is Cancel.
  bool AskOkCancel();
  // Asks for one folder; the empty answer keeps current. False at the end of
  // the input.
  bool AskFolder(const std::string& label, const std::string& current, std::string* folder);
  // A notice with one OK button: the box, then (from a terminal) Enter.
  // code_page: of text, kUtf8CodePage or 0 for the machine's.
  void Notice(const std::string& caption, const std::string& text, Align align,
              unsigned code_page = 0);
  // Writes a box of lines (ANSI, or UTF-8 for kUtf8CodePage), converted for
  // the terminal.
  void PrintBox(const std::string& caption, const std::string& text, Align align,
                unsigned code_page = 0);
  // Prints ANSI text (UTF-8 for kUtf8CodePage) converted for the terminal.
  void Print(const std::string& text, unsigned code_page = 0);
  // An error: repeated on io.errors, explained on io.explain, then shown.
  // readable: the text as UTF-8 when it must be shown so (ReadableMessage).
  void ShowErrorNotice(const char* text, const std::string& readable,
                       const std::vector<Explanation>& explanations);
  // "file:line" of an explanation, the file as the host names it.
  std::string Where(const Explanation& why) const;
  // Flushes the output and notes the first failure of any write to it.
  void Flush();
  // Ends a progress bar that stands on the current line, so text can follow.
  void BreakProgressLine();
  void DrawProgress();
  std::string WindowTitle() const;

  TerminalIo io_;
  const CodePageConverter& converter_;
  std::string caption_;
  ScriptEngine* engine_ = nullptr;
  bool input_ended_ = false;
  int progress_range_ = 0;
  int progress_pos_ = 0;
  bool progress_on_line_ = false;
  int output_error_ = 0;  // errno of the first failed write; 0 while all went out
  LanguageMode language_ = kJapanese;
  std::string preset1_;
  std::string preset2_;
  int errors_shown_ = 0;
  bool simulated_ = false;  // NoteSimulatedRegistration since the last line
  bool refused_command_line_ = false;
  std::function<std::string(const char*)> host_name_;
};

}  // namespace setup::terminal
