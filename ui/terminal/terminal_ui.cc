// The SetupUi operations on a terminal: boxes for the notices, questions
// answered one per line, a progress bar redrawn in place.
#include "ui/terminal/terminal_ui.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/messages.h"

namespace setup::terminal {
namespace {

constexpr char kCompletedText[] = "Setup completed.";
constexpr char kFolderTooLong[] = "The folder is longer than %d bytes. Please enter a shorter one.";
constexpr char kCancelledText[] = "Setup was cancelled. Nothing was installed.";

// Boxes are at least this wide inside, so short notices still look like one.
constexpr int kMinBoxInner = 44;

// The text on one line for standard error: safe, line feeds as blanks.
std::string OneLine(const CodePageConverter& converter, std::string_view ansi) {
  std::string text = converter.ToTerminal(Sanitize(ansi));
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

}  // namespace

std::string ReadableMessage(const EngineError& error, unsigned code_page) {
  constexpr unsigned kOwnCodePage = 932;  // the program's Japanese is Shift-JIS
  const char* text = error.text;
  bool convert = false;
  if (code_page != kOwnCodePage) {
    for (int i = 0; text[i] != '\0'; ++i) convert |= error.own[i] && (text[i] & 0x80) != 0;
  }
  if (!convert) return "";
  posix::Iconv own("UTF-8", posix::IconvName(kOwnCodePage));
  posix::Iconv machine("UTF-8", posix::IconvName(code_page));
  std::string readable;
  for (int i = 0; text[i] != '\0';) {
    int start = i;
    while (text[i] != '\0' && error.own[i] == error.own[start]) ++i;
    std::string piece;
    (error.own[start] ? own : machine)
        .Convert(std::string_view(text + start, i - start), true, &piece);
    readable += piece;
  }
  return readable;
}

FolderCheck CheckTypedFolder(const std::string& typed, const CodePageConverter& converter,
                             std::string* ansi) {
  std::string folder = Trim(typed);
  // Control characters have no place in a folder name (and a NUL would cut it).
  bool control = std::any_of(folder.begin(), folder.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (folder.empty() || control || !converter.FromTerminal(folder, ansi)) {
    return FolderCheck::kInputError;
  }
  if (ansi->size() > static_cast<size_t>(kTextSize - 1)) return FolderCheck::kTooLong;
  return FolderCheck::kOk;
}

TerminalUi::TerminalUi(const TerminalIo& io, const CodePageConverter& converter,
                       std::string caption)
    : io_(io), converter_(converter), caption_(std::move(caption)) {
  if (io_.width < 20) io_.width = 20;
}

std::string TerminalUi::WindowTitle() const {
  return engine_ != nullptr ? engine_->params.window_title : "Setup";
}

void TerminalUi::Print(const std::string& text, unsigned code_page) {
  std::string shown =
      code_page == kUtf8CodePage ? converter_.Utf8ToTerminal(text) : converter_.ToTerminal(text);
  std::fwrite(shown.data(), 1, shown.size(), io_.out);
  Flush();
}

void TerminalUi::Flush() {
  errno = 0;
  if ((std::fflush(io_.out) != 0 || std::ferror(io_.out) != 0) && output_error_ == 0) {
    output_error_ = errno != 0 ? errno : EIO;
  }
}

bool TerminalUi::EndIfOutputLost() {
  if (output_error_ == 0) return false;
  std::fprintf(stderr, "%s: cannot write the output (%s); the installation stopped.\n",
               caption_.c_str(), std::strerror(output_error_));
  if (io_.end_program != nullptr) io_.end_program();
  return true;
}

void TerminalUi::BreakProgressLine() {
  if (!progress_on_line_) return;
  std::fputc('\n', io_.out);
  progress_on_line_ = false;
}

void TerminalUi::PrintBox(const std::string& caption, const std::string& text, Align align,
                          unsigned code_page) {
  BreakProgressLine();
  if (code_page == 0) code_page = converter_.code_page();
  int max_inner = io_.width - 3;  // the frame, and a free last column
  std::string all = "\n";
  for (const std::string& line : Box(caption, text, align, kMinBoxInner, max_inner, code_page)) {
    all += line + "\n";
  }
  Print(all, code_page);
}

bool TerminalUi::ReadLine(std::string* line) {
  line->clear();
  if (io_.unattended) {
    // The default answer, shown where a typed one would be echoed.
    Print("(--yes)\n");
    return true;
  }
  if (input_ended_) return false;
  int c;
  while ((c = std::fgetc(io_.in)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (c == EOF && line->empty()) {
    input_ended_ = true;
    // A person's Ctrl-D leaves the cursor behind the prompt; end the line.
    Print(io_.input_is_terminal ? "\n" : "(end of input)\n");
    return false;
  }
  // Answers from a pipe do not appear on the screen by themselves.
  if (!io_.input_is_terminal) {
    std::string echo = Sanitize(Trim(*line));
    std::fwrite(echo.data(), 1, echo.size(), io_.out);
    std::fputc('\n', io_.out);
    Flush();
  }
  return true;
}

bool TerminalUi::AskOkCancel() {
  while (true) {
    Print("OK or Cancel? [OK]: ");
    std::string line;
    if (!ReadLine(&line)) return false;
    switch (ParseOkCancel(line)) {
      case Answer::kOk:
        return true;
      case Answer::kCancel:
        return false;
      case Answer::kInvalid:
        Print("Please answer OK or Cancel (Enter is OK).\n");
        break;
    }
  }
}

void TerminalUi::Notice(const std::string& caption, const std::string& text, Align align,
                        unsigned code_page) {
  PrintBox(caption, text, align, code_page);
  // Only a person needs to confirm; a scripted run goes on by itself.
  if (io_.input_is_terminal && !input_ended_ && !io_.unattended) {
    Print("[OK] Press Enter: ");
    std::string line;
    ReadLine(&line);
  }
}

bool TerminalUi::AskFolder(const std::string& label, const std::string& current,
                           std::string* folder) {
  while (true) {
    Print(Sanitize(label) + " [" + Sanitize(current) + "]: ");
    std::string line;
    if (!ReadLine(&line)) return false;
    std::string typed = Trim(line);
    if (typed.empty()) {
      *folder = current;  // the bytes as shown, with no round trip through iconv
      return true;
    }
    std::string ansi;
    switch (CheckTypedFolder(typed, converter_, &ansi)) {
      case FolderCheck::kOk:
        *folder = ansi;
        return true;
      case FolderCheck::kInputError:
        PrintBox(caption_, kMsgFolderInput, Align::kLeft);
        break;
      case FolderCheck::kTooLong: {
        char message[128];
        std::snprintf(message, sizeof message, kFolderTooLong, kTextSize - 1);
        PrintBox(caption_, message, Align::kLeft);
        break;
      }
    }
  }
}

void TerminalUi::PresetFolders(const std::string& folder1, const std::string& folder2) {
  preset1_ = folder1;
  preset2_ = folder2;
}

bool TerminalUi::AskFolders(const SetupParams& params, const char* folder1, const char* folder2,
                            std::string* out1, std::string* out2) {
  bool two = params.folder_count >= 2;
  std::string text = std::string(params.label1) + ": " + folder1;
  if (two) text += std::string("\n") + params.label2 + ": " + folder2;
  PrintBox(params.window_title, text, Align::kLeft);
  Print("Press Enter to keep a folder, or type another one.\n");
  if (!AskFolder(params.label1, folder1, out1)) return false;
  // A hidden second row keeps the folder it was given.
  if (!two) {
    *out2 = folder2;
  } else if (!AskFolder(params.label2, folder2, out2)) {
    return false;
  }
  return AskOkCancel();
}

void TerminalUi::RunSetupDialog(const char* folder1, const char* folder2) {
  if (engine_ == nullptr || engine_->run_started()) return;  // one run per program
  // The dialog has no second row to put it in.
  if (!preset2_.empty() && engine_->params.folder_count < 2) {
    std::fprintf(stderr, "%s: option '--folder2': the setup dialog of this script has one folder\n",
                 caption_.c_str());
    refused_command_line_ = true;
    return;
  }
  if (!preset1_.empty()) folder1 = preset1_.c_str();
  if (!preset2_.empty()) folder2 = preset2_.c_str();
  std::string f1;
  std::string f2;
  if (!AskFolders(engine_->params, folder1, folder2, &f1, &f2)) {
    Print(std::string("\n") + kCancelledText + "\n");
    return;
  }
  // The folders fit: AskFolder refuses longer ones, presets were checked
  // alike, and the hidden second row keeps the expanded default, which the
  // engine made sure fits.
  StartRun(*engine_, f1.c_str(), f2.c_str(), language_);
  BreakProgressLine();
}

void TerminalUi::SetProgressRange(int count) {
  progress_range_ = count & 0xFFFF;  // the bar's upper bound is a 16-bit value
  progress_pos_ = 0;
  DrawProgress();
}

void TerminalUi::SetProgressPos(int position) {
  // Called at each line boundary: a run whose output is lost ends here,
  // between two commands, so no copy is left half done.
  EndIfOutputLost();
  progress_pos_ = position;
  DrawProgress();
}

void TerminalUi::DrawProgress() {
  if (!io_.output_is_terminal) return;
  int shown = std::clamp(progress_pos_, 0, progress_range_);
  std::string counter =
      "  line " + std::to_string(shown) + " of " + std::to_string(progress_range_);
  // One column is left free so the cursor never wraps onto the next line.
  int bar_width = io_.width - 1 - static_cast<int>(counter.size());
  std::string text = "\r" + ProgressBar(progress_pos_, progress_range_, bar_width) + counter;
  std::fwrite(text.data(), 1, text.size(), io_.out);
  Flush();
  progress_on_line_ = true;
}

std::string TerminalUi::Where(const Explanation& why) const {
  if (why.file.empty()) return caption_;  // the program itself
  std::string host = host_name_ ? host_name_(why.file.c_str()) : std::string();
  std::string where = Sanitize(host.empty() ? converter_.ToTerminal(why.file) : host);
  std::replace(where.begin(), where.end(), '\n', '?');
  if (why.line > 0) where += ":" + std::to_string(why.line);
  return where;
}

void TerminalUi::ShowErrorNotice(const char* text, const std::string& readable,
                                 const std::vector<Explanation>& explanations) {
  ++errors_shown_;
  // Said on standard error too, first: the notice may wait for Enter.
  if (io_.errors != nullptr) {
    std::string line = readable.empty() ? OneLine(converter_, text)
                                        : converter_.Utf8ToTerminal(Sanitize(readable));
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::fprintf(io_.errors, "%s: %s\n", caption_.c_str(), line.c_str());
    std::fflush(io_.errors);
  }
  if (io_.explain != nullptr && !explanations.empty()) {
    // On a terminal, not behind the progress bar.
    if (io_.output_is_terminal) {
      BreakProgressLine();
      Flush();
    }
    for (const Explanation& why : explanations) {
      std::fprintf(io_.explain, "%s: %s: %s\n", Where(why).c_str(), why.note ? "note" : "error",
                   OneLine(converter_, why.text).c_str());
    }
    std::fflush(io_.explain);
  }
  if (readable.empty()) {
    Notice(caption_, std::string("(!) ") + text, Align::kLeft);
  } else {
    Notice(caption_, "(!) " + readable, Align::kLeft, kUtf8CodePage);
  }
}

void TerminalUi::ShowError(const char* text) {
  // From a run, the one plain error is the script's own ErrorExit.
  std::vector<Explanation> explanations;
  if (engine_ != nullptr && engine_->run_started()) explanations = ExplainErrorExit(*engine_);
  ShowErrorNotice(text, "", explanations);
}

void TerminalUi::ShowEngineError(const EngineError& error) {
  std::vector<Explanation> explanations;
  if (engine_ != nullptr) explanations = ExplainEngineError(error, *engine_);
  ShowErrorNotice(error.text, ReadableMessage(error, converter_.code_page()), explanations);
}

void TerminalUi::ShowTopmostError(const char* text) {
  // The engine's one topmost error: a component Regsvr could not register.
  std::vector<Explanation> explanations;
  if (engine_ != nullptr) explanations = ExplainRegistration(text, *engine_);
  ShowErrorNotice(text, "", explanations);
}

void TerminalUi::ShowInformation(const char* text) {
  Notice(caption_, std::string("(i) ") + text, Align::kLeft);
}

bool TerminalUi::AskScriptMessage(const char* text) {
  PrintBox("", text, Align::kCenter);  // the script message has no caption bar
  return AskOkCancel();
}

bool TerminalUi::PromptDisk(const char* text) {
  PrintBox(WindowTitle(), text, Align::kLeft);
  if (io_.unattended) {
    // Nobody is there to change the disk: OK would ask for ever.
    Print("OK or Cancel? [OK]: cancel (--yes: the disk is not there)\n");
    return false;
  }
  return AskOkCancel();
}

void TerminalUi::ShowCompleted() { Notice(WindowTitle(), kCompletedText, Align::kCenter); }

void TerminalUi::TraceLine(int line_number, const char* text, TraceOutcome outcome,
                           const char* label) {
  bool simulated = simulated_;
  simulated_ = false;
  if (io_.trace == nullptr) return;
  while (IsBlank(*text)) ++text;
  if (*text == '\0') return;  // blank lines do nothing worth a line
  std::string result;
  switch (outcome) {
    case TraceOutcome::kDone:
      result = simulated ? "done (registration simulated: nothing was run)" : "done";
      break;
    case TraceOutcome::kFailedGoesOn:
      result = "failed, the run goes on";
      break;
    case TraceOutcome::kConditionFalse:
      result = "condition false";
      break;
    case TraceOutcome::kOtherLanguage:
      result = language_ == kEnglish ? "skipped (an English run)" : "skipped (a Japanese run)";
      break;
    case TraceOutcome::kSkipped:
      result = std::string("skipped (looking for label ") + label + ")";
      break;
    case TraceOutcome::kJumped:
      result = std::string("jumped to label ") + label;
      break;
    case TraceOutcome::kFailed:
      result = "failed";
      break;
  }
  if (io_.output_is_terminal) BreakProgressLine();
  std::string line = "trace: " + std::to_string(line_number) + ": " + text + " -> " + result;
  std::fprintf(io_.trace, "%s\n", OneLine(converter_, line).c_str());
  std::fflush(io_.trace);
}

}  // namespace setup::terminal
