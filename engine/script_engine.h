// The script engine: its whole state in one record, the entry points of a
// program (InitInstance, StartRun), and SetupUi, the operations through which
// it talks to the user. The engine never touches a window or a terminal
// itself; a front end implements SetupUi. What the commands do lives in
// actions/, as free functions over the record; the run that dispatches to
// them in run/.
#pragma once

#include "engine/command_table.h"
#include "engine/lexicon.h"
#include "engine/macro_table.h"
#include "engine/text_copy_state.h"
#include "engine/text_reader.h"
#include "platform/platform.h"

namespace setup {

enum LanguageMode : int { kEnglish = 0, kJapanese = 1 };

inline constexpr int kTextSize = 256;         // paths, messages, settings
inline constexpr int kStoredLineSize = 1024;  // a stored line and its NUL
inline constexpr int kLineStoreSize = 65536;
inline constexpr int kWorkLineSize = 512;  // the interpreter's line buffers
inline constexpr int kGotoTargetSize = 64;

// An error message of the engine, as shown, and where it came from.
struct EngineError {
  const char* text;    // the message as shown
  const bool* own;     // own[i]: byte i of text is the program's own text (its
                       // Japanese is Shift-JIS on every machine), not bytes
                       // of the script or the machine (its ANSI code page)
  const char* format;  // the message of messages.h that made it (the text
                       // itself for one without a format): which error it is
  int line;            // the script line being run or read; 0 before any
};

// The user-interface operations the engine calls. All block until the user
// answers, except the two progress operations and KeepResponsive.
class SetupUi {
 public:
  virtual ~SetupUi() = default;
  // Shows the setup dialog with the two expanded folders; returns when it has
  // closed. OK in it hands the folders as confirmed to StartRun.
  virtual void RunSetupDialog(const char* folder1, const char* folder2) = 0;
  // Progress bar range 0..count (the upper bound modulo 65536).
  virtual void SetProgressRange(int count) = 0;
  virtual void SetProgressPos(int position) = 0;
  // A message box with OK and the warning icon.
  virtual void ShowError(const char* text) = 0;
  // An error message the engine made from one of its own texts (see
  // EngineError). A front end that can show two code pages at once makes the
  // Japanese readable on any machine; by default it is ShowError(text).
  virtual void ShowEngineError(const EngineError& error) { ShowError(error.text); }
  // As ShowError, kept above all other windows.
  virtual void ShowTopmostError(const char* text) = 0;
  // A message box with OK and the information icon, above all other windows.
  virtual void ShowInformation(const char* text) = 0;
  // The script message dialog; true when the user chose OK.
  virtual bool AskScriptMessage(const char* text) = 0;
  // The disk prompt; false only when the user chose Cancel.
  virtual bool PromptDisk(const char* text) = 0;
  // "Setup completed." with the window title as caption.
  virtual void ShowCompleted() = 0;
  // Called over and over while the engine waits for a program it started;
  // a window front end handles its pending messages here, so its windows
  // keep painting. Never blocks. Nothing by default.
  virtual void KeepResponsive() {}
};

// The settings the pre-scan takes from SetupDir, SetupDir2 and WindowTitle.
struct SetupParams {
  char window_title[kTextSize] = "Setup";
  char folder1[kTextSize] = "C:\\";
  char label1[kTextSize] = "Setup Directory";
  char folder2[kTextSize] = "C:\\";
  char label2[kTextSize] = "Setup Directory";
  int folder_count = 1;
};

// The stored script: lines one after another, each ended by a zero byte.
struct LineStore {
  char storage[kLineStoreSize];
  int end = 0;     // where the next line is stored; the end of the text after loading
  int cursor = 0;  // start of the next line NextLine hands out
  int line_count = 0;
};

// What one dispatch step leaves the line loop to do. kNotTaken,
// kOtherLanguage and kFailedGoOn go on with the next line like kNextLine;
// they only tell a tracer what became of the line.
enum class Outcome {
  kNextLine,
  kTail,
  kStop,
  kNotTaken,       // an If-command or #define_registry whose tail does not run
  kOtherLanguage,  // JapanCopy or EnglishCopy in a run of the other language
  kFailedGoOn,     // it failed and said so, and the run goes on (SetRegistry)
};

// What became of one script line, as a tracer is told.
enum class TraceOutcome {
  kDone,            // it ran (also a comment, a label, or the label a Goto looked for)
  kConditionFalse,  // its test did not hold: the tail command did not run
  kOtherLanguage,   // a JapanCopy or EnglishCopy passed over in the other language's run
  kSkipped,         // passed over while a Goto looked for its label
  kJumped,          // a Goto (perhaps as a tail command): skipping to the label
  kFailedGoesOn,  // it failed and said so, and the run went on (a SetRegistry that could not write)
  kFailed,        // it stopped the run
};

// Watches the run line by line; a front end that offers a trace implements
// it and sets ScriptEngine::tracer. Called once per stored line, after the
// line has run, with the line's number, its text after macro expansion and
// what became of it; label is the label a Goto looks for (empty before any).
class LineTracer {
 public:
  virtual void TraceLine(int line_number, const char* text, TraceOutcome outcome,
                         const char* label) = 0;

 protected:
  ~LineTracer() = default;
};

// How StartRun ended.
enum class RunResult {
  kCompleted,       // the script ran to its end; "Setup completed." was shown
  kStopped,         // a command stopped the run; its message was shown
  kFolder1TooLong,  // the first folder does not fit 255 bytes: nothing happened
  kFolder2TooLong,  // the same for the second folder
  kAlreadyStarted,  // there is one run per program: nothing happened
};

// How a program's start-up (InitInstance) ended.
enum class SetupResult {
  kNotStarted,  // start-up failed and said why; the setup dialog never showed
  kCancelled,   // the setup dialog closed without a run: nothing was installed
  kCompleted,   // the run completed
  kStopped,     // the run stopped
};

// The exit statuses of both programs, as README.md gives them.
inline constexpr int kExitInstalled = 0;        // completed, and no error message was shown
inline constexpr int kExitStopped = 1;          // the run stopped, or could not start
inline constexpr int kExitUsage = 2;            // a wrong command line
inline constexpr int kExitCancelled = 3;        // cancelled in the setup dialog
inline constexpr int kExitInstalledErrors = 4;  // completed, but an error message was shown

// The exit status of a start-up that ended with result; errors_shown: the
// run showed an error message and went on.
inline int ExitStatus(SetupResult result, bool errors_shown) {
  switch (result) {
    case SetupResult::kCompleted:
      return errors_shown ? kExitInstalledErrors : kExitInstalled;
    case SetupResult::kCancelled:
      return kExitCancelled;
    case SetupResult::kNotStarted:
    case SetupResult::kStopped:
      break;
  }
  return kExitStopped;
}

class ScriptEngine {
 public:
  ScriptEngine(const Platform& platform, SetupUi& ui);
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // Failures are reported where they are found; every operation below that
  // can fail returns true on success and false when it has been reported.

  // --- start-up and loading (loader.cc) ---
  // The whole start-up: macros, program folder, script, then the setup
  // dialog through SetupUi::RunSetupDialog. Says how it all ended.
  SetupResult InitInstance();
  // Sets program_folder from the program's path.
  bool FindProgramFolder();
  // Loads and pre-scans Setup.Inf. False, reported, when it cannot be opened
  // or read to its end.
  bool LoadScript();
  // Loads script text given as bytes (the file's contents), as LoadScript.
  bool LoadScriptText(const char* bytes, int size);
  // Fills one folder and label from a SetupDir(2) line's argument text;
  // false when the folder does not fit its 255 bytes.
  bool ParseSetupDir(const char* arguments, char* folder, char* label);
  // The Registry form of SetupDir, cursor behind the word "Registry": puts
  // the folder (at most 255 bytes) into folder and the position behind the
  // default folder (nullptr: nothing follows) into *next.
  bool ParseRegistrySetupDir(char* cursor, char* folder, char** next);
  // Stores every line of reader and pre-scans it; a read error fails the
  // whole load (reported with the script's open-failure message).
  bool LoadLines(TextReader& reader);
  // The pre-scan of one stored line: SetupDir, SetupDir2, WindowTitle.
  bool PrescanLine(const char* stored);
  // Copies the next stored line into dest (size bytes); nullptr when none is
  // left, or when the line does not fit: *too_long tells the two apart, and
  // the caller reports the line that does not fit.
  char* NextLine(char* dest, int size, bool* too_long);
  // Formats a message (printf rules) into 256 bytes and shows it with ShowError.
  void ReportError(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Shows one of the program's own texts (no format) as ReportError would.
  void ReportText(const char* text);

  // --- lexicon (lexicon.cc) ---
  // Cuts the next argument at *cursor in place; nullptr when malformed
  // (reported in strict mode). CutArgument (command_table.h) has the two forms.
  char* NextArg(char** cursor, bool strict);
  // Cuts code's arguments from text (what follows the keyword) as the
  // command table says; a fault is reported as NextArg's strict mode does.
  bool ReadArguments(CommandCode code, char* text, Arguments* args);
  // Shows the message of an argument that could not be cut, with the line.
  void ReportArgFault(ArgFault fault);

  // --- the run (run/interpreter.cc, the layer above engine/ and actions/;
  // declared with the record so that a front end needs this header only) ---
  // The run over params as they stand: run-time macros, progress, the
  // script, the completion notice. True when it completed. There is one run
  // per program: a second call (a click that arrives while Regsvr waits,
  // say) returns false and does nothing. Front ends call StartRun.
  bool RunScript(LanguageMode mode);
  // True from the start of the run on; front ends ignore their buttons then.
  bool run_started() const { return run_started_; }
  bool InterpretScript(LanguageMode mode);
  // One dispatch step on an expanded line or a tail command; on kTail,
  // *tail is the tail command to execute next.
  Outcome ExecuteCommand(char* text, char** tail);
  Outcome GotoCommand(char* rest);
  Outcome DefineCommand(char* rest);
  Outcome DefineRegistryCommand(char* rest, char** tail);
  Outcome IfCommand(CommandCode code, char* rest, char** tail);
  // DefineMacro with the failures reported.
  bool Define(const char* name, const char* value);

  // --- conditions (conditions.cc) ---
  bool TestFileVersion(const char* file, const char* version, int op, const char* sense,
                       const char* value_name);
  bool TestFileDate(const char* file1, const char* file2, int op, const char* sense);
  bool TestString(const char* text1, const char* text2, int op, const char* sense);
  bool TestFileFind(const char* file, const char* sense);
  bool TestRegistryFind(const char* path, const char* sense);
  bool TestLanguage(const char* number, const char* sense);
  // The version text value_name of file into dest (size bytes, at most
  // kTextSize), cut to fit and never read past the length the query gave;
  // false when the file has none.
  bool QueryVersionString(const char* file, const char* value_name, char* dest, int size);

  const Platform& platform() const { return platform_; }
  SetupUi& ui() { return ui_; }

  // --- state, in the order of the engine record ---
  LeadBytes lead_bytes;  // of the machine's ANSI code page, set by the constructor
  char program_folder[kTextSize] = "";
  TextCopier text_copy;
  MacroTable macros;
  char script_path[kTextSize] = "";
  int line_number = 0;
  LineStore lines;
  SetupParams params;

  // Run state of the interpreter.
  char line[kWorkLineSize];
  char expanded[kWorkLineSize];
  // The line loop's index of macros, built at the start of the run and
  // then given the entries the table gains: a #define of a known name
  // changes only its value, which the index does not hold.
  MacroIndex line_index;
  bool skip_mode = false;
  char goto_target[kGotoTargetSize] = "";
  int goto_line = 0;  // the line of the Goto that set goto_target
  LanguageMode mode = kJapanese;
  LineTracer* tracer = nullptr;  // null: no trace, and no cost

 private:
  // Cuts message as every engine message is cut and shows it; own marks the
  // bytes of the program's own text.
  void ShowReport(char* message, const bool* own, const char* format);
  // Tells the tracer what became of the current line (text as expanded).
  void TraceStep(const char* text, bool was_skipping, Outcome outcome);

  Platform platform_;
  SetupUi& ui_;
  bool run_started_ = false;
  bool run_completed_ = false;  // the result of the one run
};

// The one way a front end starts the run, on OK in the setup dialog:
// checks that both folders as confirmed fit 255 bytes, stores them in
// params and runs the script in mode. The too-long and already-started
// results report nothing; the front end tells the user in its own way.
RunResult StartRun(ScriptEngine& engine, const char* folder1, const char* folder2,
                   LanguageMode mode);

}  // namespace setup
