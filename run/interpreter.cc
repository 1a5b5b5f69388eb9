// The run: its start, run-time macros, the line loop with Goto and skip
// mode, and the dispatch of each command to its handler. It sits above
// engine/ and actions/, the one layer that calls into both.
#include <cstring>

#include "actions/file_actions.h"
#include "actions/registration.h"
#include "actions/registry_commands.h"
#include "actions/text_copier.h"
#include "engine/conditions.h"
#include "engine/messages.h"
#include "engine/registry_access.h"
#include "engine/script_engine.h"

namespace setup {
namespace {

// Builds the root of a destination folder: drive and folder part, without
// its final separator ("C:\Program Files\App" -> "C:\Program Files").
void FolderRoot(const LeadBytes& lead, const char* folder, char* root) {
  char drive[3];
  char part[kTextSize];
  SplitDriveAndFolder(lead, folder, drive, part, kTextSize - 2);  // folder fits 255 bytes
  std::strcpy(root, drive);
  std::strcat(root, part);
  DropTrailingSeparator(lead, root);
}

// A step's success as the line loop's outcome: go on, or stop the run.
Outcome GoOnIf(bool done) { return done ? Outcome::kNextLine : Outcome::kStop; }

}  // namespace

RunResult StartRun(ScriptEngine& engine, const char* folder1, const char* folder2,
                   LanguageMode mode) {
  if (engine.run_started()) return RunResult::kAlreadyStarted;
  size_t length1 = std::strlen(folder1);
  if (length1 >= static_cast<size_t>(kTextSize)) return RunResult::kFolder1TooLong;
  size_t length2 = std::strlen(folder2);
  if (length2 >= static_cast<size_t>(kTextSize)) return RunResult::kFolder2TooLong;
  std::memcpy(engine.params.folder1, folder1, length1 + 1);
  std::memcpy(engine.params.folder2, folder2, length2 + 1);
  return engine.RunScript(mode) ? RunResult::kCompleted : RunResult::kStopped;
}

bool ScriptEngine::RunScript(LanguageMode run_mode) {
  if (run_started_) return false;
  run_started_ = true;
  mode = run_mode;
  DefineMacro(macros, "$$SETUPDIR$$", params.folder1);
  DefineMacro(macros, "$$SETUPDIR2$$", params.folder2);
  char root[kTextSize];
  FolderRoot(lead_bytes, params.folder1, root);
  DefineMacro(macros, "$$SETUPROOT$$", root);
  FolderRoot(lead_bytes, params.folder2, root);
  DefineMacro(macros, "$$SETUPROOT2$$", root);

  ui_.SetProgressRange(lines.line_count);
  ui_.SetProgressPos(0);
  if (!InterpretScript(run_mode)) return false;
  ui_.SetProgressPos(lines.line_count);
  ui_.ShowCompleted();
  run_completed_ = true;
  return true;
}

bool ScriptEngine::InterpretScript(LanguageMode run_mode) {
  mode = run_mode;
  line_number = 1;
  skip_mode = false;
  lines.cursor = 0;
  IndexMacros(macros, &line_index);
  bool too_long = false;
  while (NextLine(line, kWorkLineSize, &too_long) != nullptr) {
    ui_.SetProgressPos(line_number);
    IndexNewMacros(macros, &line_index);  // a run's table only gains entries
    if (!ExpandMacros(macros, line_index, line, expanded, kWorkLineSize)) {
      ReportError(kMsgExpansionTooLong, script_path, line_number, kWorkLineSize - 1);
      if (tracer != nullptr) TraceStep(line, false, Outcome::kStop);  // as it stands
      return false;
    }
    // Commands cut their arguments in place: the tracer gets a copy.
    char traced[kWorkLineSize];
    if (tracer != nullptr) std::memcpy(traced, expanded, std::strlen(expanded) + 1);
    bool was_skipping = skip_mode;
    char* text = expanded;
    Outcome outcome = Outcome::kTail;
    while (outcome == Outcome::kTail) {
      char* tail = nullptr;
      outcome = ExecuteCommand(text, &tail);
      text = tail;
    }
    if (tracer != nullptr) TraceStep(traced, was_skipping, outcome);
    if (outcome == Outcome::kStop) return false;
    ++line_number;
  }
  if (too_long) {
    ui_.SetProgressPos(line_number);
    ReportError(kMsgLineTooLong, script_path, line_number, kWorkLineSize - 1);
    return false;
  }
  // A Goto whose label never came: said, but the run still counts as done.
  // The message names no line; the error is the Goto's, not the last line's.
  if (skip_mode) {
    line_number = goto_line;
    ReportError(kMsgNothingLabel, goto_target);
  }
  return true;
}

void ScriptEngine::TraceStep(const char* text, bool was_skipping, Outcome outcome) {
  TraceOutcome result = TraceOutcome::kDone;
  if (outcome == Outcome::kStop) {
    result = TraceOutcome::kFailed;
  } else if (was_skipping) {
    // Still skipping, or the label that ended the search.
    result = skip_mode ? TraceOutcome::kSkipped : TraceOutcome::kDone;
  } else if (skip_mode) {
    result = TraceOutcome::kJumped;
  } else if (outcome == Outcome::kNotTaken) {
    result = TraceOutcome::kConditionFalse;
  } else if (outcome == Outcome::kOtherLanguage) {
    result = TraceOutcome::kOtherLanguage;
  } else if (outcome == Outcome::kFailedGoOn) {
    result = TraceOutcome::kFailedGoesOn;
  }
  tracer->TraceLine(line_number, text, result, goto_target);
}

Outcome ScriptEngine::ExecuteCommand(char* text, char** tail) {
  while (IsBlank(*text)) ++text;
  char* rest = text;
  CommandCode code = ClassifyLine(text, &rest);

  if (skip_mode) {
    if (code != kLabelLine) return Outcome::kNextLine;
    Arguments args;
    ReadArguments(kLabelLine, text, &args);  // quoted, up to a blank, or the rest of the line
    const char* label = args.text[0];
    if (*label == '\0') {
      ReportError(kMsgColonNoLabel, script_path, line_number);
      return Outcome::kStop;
    }
    if (std::strcmp(label, goto_target) == 0) skip_mode = false;
    return Outcome::kNextLine;
  }

  switch (code) {
    case kNoKeyword:
      ReportError(kMsgScriptError, text);
      return Outcome::kStop;
    case kEmptyLine:
    case kLabelLine:
    case kCommentLine:
    case kSetupDir:
    case kSetupDir2:
    case kWindowTitle:
      return Outcome::kNextLine;
    case kDefine:
      return DefineCommand(rest);
    case kDefineRegistry:
      return DefineRegistryCommand(rest, tail);
    case kTextCopy:
      return GoOnIf(TextCopyCommand(*this, rest, mode));
    case kJapanCopy:
      if (mode != kJapanese) return Outcome::kOtherLanguage;  // not read at all
      return GoOnIf(TextCopyCommand(*this, rest, kJapanese));
    case kEnglishCopy:
      if (mode != kEnglish) return Outcome::kOtherLanguage;
      return GoOnIf(TextCopyCommand(*this, rest, kEnglish));
    case kBinCopy:
      return GoOnIf(BinCopyCommand(*this, rest));
    case kMakeDir:
      return GoOnIf(MakeDirCommand(*this, rest));
    case kDiskCheck:
      return GoOnIf(DiskCheckCommand(*this, rest));
    case kRegsvr:
      return GoOnIf(RegsvrCommand(*this, rest));
    case kSetRegistry:
      return SetRegistryCommand(*this, rest);
    case kDeleteRegistry:
      return GoOnIf(DeleteRegistryCommand(*this, rest));
    case kIfFileVersion:
    case kIfProductVersion:
    case kIfFileDate:
    case kIfString:
    case kIfFileFind:
    case kIfRegistryFind:
    case kIfLanguage:
      return IfCommand(code, rest, tail);
    case kMessage:
      ui_.ShowInformation(rest);
      return Outcome::kNextLine;
    case kMessageBox: {
      Arguments args;
      ReadArguments(kMessageBox, rest, &args);
      char* message = args.text[0];
      for (char* p = message; *p != '\0'; ++p) {
        if (*p == '\x01') *p = '\n';
      }
      return ui_.AskScriptMessage(message) ? Outcome::kNextLine : Outcome::kStop;
    }
    case kGoto:
      return GotoCommand(rest);
    case kErrorExit:
      ui_.ShowError(rest);
      return Outcome::kStop;
    case kOpEqual:
    case kOpLessEqual:
    case kOpLess:
    case kOpGreaterEqual:
    case kOpGreater:
    case kRegistry:
      ReportError(kMsgScriptError, rest);
      return Outcome::kStop;
  }
  ReportError(kMsgScriptError, text);
  return Outcome::kStop;
}

Outcome ScriptEngine::GotoCommand(char* rest) {
  Arguments args;
  ReadArguments(kGoto, rest, &args);
  const char* label = args.text[0];
  if (*label == '\0') {
    ReportText(kMsgGotoNoLabel);
    return Outcome::kStop;
  }
  if (std::strlen(label) >= kGotoTargetSize) {
    ReportError(kMsgLabelTooLong, script_path, line_number, kGotoTargetSize - 1);
    return Outcome::kStop;
  }
  std::strcpy(goto_target, label);
  goto_line = line_number;
  skip_mode = true;
  return Outcome::kNextLine;
}

bool ScriptEngine::Define(const char* name, const char* value) {
  switch (DefineMacro(macros, name, value)) {
    case DefineResult::kStored:
      return true;
    case DefineResult::kTableFull:
      ReportError(kMsgTooManyMacros, kMaxMacros);
      return false;
    case DefineResult::kTooLong:
      ReportError(kMsgMacroTooLong, script_path, line_number, kMacroTextSize - 1);
      return false;
  }
  return false;
}

Outcome ScriptEngine::DefineCommand(char* rest) {
  Arguments args;
  if (!ReadArguments(kDefine, rest, &args)) return Outcome::kStop;
  return GoOnIf(Define(args.text[0], args.text[1]));
}

Outcome ScriptEngine::DefineRegistryCommand(char* rest, char** tail) {
  Arguments args;
  if (!ReadArguments(kDefineRegistry, rest, &args)) return Outcome::kStop;
  const char* name = args.text[0];
  const char* path = args.text[1];
  const char* sense = args.text[2];
  // One byte more than a macro value holds, so a value that is too long is
  // seen as such rather than cut.
  char value[kMacroTextSize + 1];
  ReadRegistryString(*platform_.registry, lead_bytes, path, value, sizeof value);
  if (!Define(name, value)) return Outcome::kStop;
  if (!ApplySense(value[0] == '\0', sense)) return Outcome::kNotTaken;
  *tail = args.tail;
  return Outcome::kTail;
}

Outcome ScriptEngine::IfCommand(CommandCode code, char* rest, char** tail) {
  Arguments args;
  if (!ReadArguments(code, rest, &args)) return Outcome::kStop;
  // One-sided tests have their sense word second; two-sided ones fourth.
  const char* first = args.text[0];
  const char* second = args.text[2];
  int op = args.op;
  const char* sense =
      kCommandTable[code].args[1].form == ArgForm::kSense ? args.text[1] : args.text[3];

  bool result = false;
  switch (code) {
    case kIfFileVersion:
      result = TestFileVersion(first, second, op, sense, "FileVersion");
      break;
    case kIfProductVersion:
      result = TestFileVersion(first, second, op, sense, "ProductVersion");
      break;
    case kIfFileDate:
      result = TestFileDate(first, second, op, sense);
      break;
    case kIfString:
      result = TestString(first, second, op, sense);
      break;
    case kIfFileFind:
      result = TestFileFind(first, sense);
      break;
    case kIfRegistryFind:
      result = TestRegistryFind(first, sense);
      break;
    default:
      result = TestLanguage(first, sense);
      break;
  }
  if (!result) return Outcome::kNotTaken;
  *tail = args.tail;
  return Outcome::kTail;
}

}  // namespace setup
