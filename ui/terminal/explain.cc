// The engine's error messages explained for standard error: each message of
// engine/messages.h maps to the medium check's English text for the same
// fault, or to a text of its own where the check has none.
#include "ui/terminal/explain.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "actions/text_copier.h"
#include "check/check_texts.h"
#include "check/suggestions.h"
#include "engine/messages.h"

namespace setup::terminal {
namespace {

constexpr int kMaxTailDepth = 16;  // If-commands chained on one line, as the check allows

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Printf(const char* format, ...) {
  char text[kTextSize * 2];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// A text of the check, in English, formatted.
std::string CheckSays(int message, ...) {
  char text[kTextSize * 2];
  va_list args;
  va_start(args, message);
  // The check's texts are fixed formats (check_texts.cc).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::vsnprintf(text, sizeof text, CheckText(message, false), args);
#pragma GCC diagnostic pop
  va_end(args);
  return text;
}

std::string Quoted(const char* text) {
  char quoted[kQuoteSize];
  Quote(text, quoted);
  return quoted;
}

// The texts a message's %s conversions brought in: the runs of bytes that
// are not the program's own, in order (an empty one leaves no run).
std::vector<std::string> Inserts(const EngineError& error) {
  std::vector<std::string> inserts;
  for (int i = 0; error.text[i] != '\0';) {
    int start = i;
    while (error.text[i] != '\0' && error.own[i] == error.own[start]) ++i;
    if (!error.own[start]) inserts.emplace_back(error.text + start, error.text + i);
  }
  return inserts;
}

std::string Insert(const EngineError& error, size_t index) {
  std::vector<std::string> inserts = Inserts(error);
  return index < inserts.size() ? Quoted(inserts[index].c_str()) : std::string();
}

// Line number of the script as the loader stored it, macros expanded as
// they stand now, into text (kWorkLineSize); false when there is none.
bool ExpandedLine(const ScriptEngine& engine, int number, char* text) {
  const char* stored = engine.lines.storage;
  const char* end = stored + engine.lines.end;
  for (int n = 1; stored < end; ++n) {
    if (n == number) return ExpandMacros(engine.macros, stored, text, kWorkLineSize);
    stored += std::strlen(stored) + 1;
  }
  return false;
}

// What a malformed argument of the current line is, as the check says it:
// the line is read again through the command table, tail commands included.
std::string ExplainArgument(const EngineError& error, const ScriptEngine& engine) {
  char text[kWorkLineSize];
  char* command = ExpandedLine(engine, error.line, text) ? text : nullptr;
  for (int depth = 0; depth <= kMaxTailDepth && command != nullptr; ++depth) {
    while (IsBlank(*command)) ++command;
    Arguments args;
    CommandCode code = DecodeLine(engine.lead_bytes, command, &args);
    int index = args.fault_index;
    if (index >= 0) {
      const char* name = ArgumentName(kCommandTable[code].args[index].name, false);
      if (args.fault == ArgFault::kNoQuote) return CheckSays(kTxtNoQuote, name);
      if (*args.start[index] == '\0') return CheckSays(kTxtMissing, name);
      return CheckSays(kTxtNoBlank, name, Quoted(args.start[index]).c_str());
    }
    command = args.tail;
  }
  // A line the command table does not read (the folder of SetupDir's
  // Registry form, say).
  return error.format == kMsgNoQuote ? "a quoted argument has no closing quote"
                                     : "an argument must be quoted or followed by a blank";
}

// What the command the run could not recognise is, as the check says it.
std::string ExplainCommand(const EngineError& error, const ScriptEngine& engine) {
  char text[kWorkLineSize];
  char* command = ExpandedLine(engine, error.line, text) ? text : nullptr;
  for (int depth = 0; depth <= kMaxTailDepth && command != nullptr; ++depth) {
    while (IsBlank(*command)) ++command;
    // The keyword as written, before the decoder cuts the line.
    char word[kQuoteSize];
    FirstWord(command, word, sizeof word);
    const char* comment = ForeignComment(command);
    std::string foreign = comment != nullptr ? comment : "";
    Arguments args;
    CommandCode code = DecodeLine(engine.lead_bytes, command, &args);
    switch (code) {
      case kNoKeyword:
        if (const char* suggestion = SuggestKeyword(word))
          return CheckSays(kTxtUnknownSuggest, word, suggestion);
        if (!foreign.empty()) return CheckSays(kTxtForeignComment, foreign.c_str());
        if (const char* glued = GluedKeyword(word)) return CheckSays(kTxtGlued, glued);
        return CheckSays(kTxtUnknown, Quoted(word).c_str());
      case kOpEqual:
      case kOpLessEqual:
      case kOpLess:
      case kOpGreaterEqual:
      case kOpGreater:
        return CheckSays(kTxtOperatorLine, word);
      case kRegistry:
        return CheckSays(kTxtRegistryLine);
      default:
        break;
    }
    command = args.tail;
  }
  return CheckSays(kTxtUnknown, Insert(error, 0).c_str());
}

// A syntax error of a copied text: at the text's own line, with the script
// line that copies it.
std::vector<Explanation> ExplainCopy(const EngineError& error, const ScriptEngine& engine) {
  const TextCopier& copy = engine.text_copy;
  // The line the check names too: where the comment began, say, rather
  // than the copier's counter at the end of the text.
  CopyFailure failure = LastCopyFailure(engine);
  std::string text;
  switch (failure.fault) {
    case CopyFault::kLineTooLong:
      text = CheckSays(kTxtCopyLineTooLong, kTextBufferSize - 1);
      break;
    case CopyFault::kCommentTooLong:
      text = CheckSays(kTxtCommentTooLong, kTextBufferSize - 1);
      break;
    default:
      text = CheckSays(kTxtCommentNotClosed);
      break;
  }
  const char* source = copy.source_name != nullptr ? copy.source_name : "";
  return {{source, failure.line, false, text},
          {engine.script_path, error.line, true, CheckSays(kTxtCopiedHere)}};
}

}  // namespace

std::vector<Explanation> ExplainEngineError(const EngineError& error, const ScriptEngine& engine) {
  const char* f = error.format;
  std::string script = engine.script_path;
  int line = error.line;
  std::string text;
  if (f == kMsgCommentSyntax) return ExplainCopy(error, engine);
  if (f == kMsgNoQuote || f == kMsgNoTab) {
    text = ExplainArgument(error, engine);
  } else if (f == kMsgScriptError) {
    text = ExplainCommand(error, engine);
  } else if (f == kMsgNothingLabel) {
    text = CheckSays(kTxtLabelNotFound, Quoted(engine.goto_target).c_str());
  } else if (f == kMsgGotoNoLabel) {
    text = CheckSays(kTxtGotoNoLabel);
  } else if (f == kMsgColonNoLabel) {
    text = CheckSays(kTxtLabelNoName);
  } else if (f == kMsgTooManyMacros) {
    text = CheckSays(kTxtTooManyMacros, kMaxMacros);
  } else if (f == kMsgNoFolderName) {
    text = CheckSays(kTxtMissing, ArgumentName(ArgName::kFolder, false));
  } else if (f == kMsgNoCopyDest) {
    text = CheckSays(kTxtMissing, ArgumentName(ArgName::kDestination, false));
  } else if (f == kMsgLineTooLong) {
    text = CheckSays(kTxtLineTooLong, kWorkLineSize - 1);
  } else if (f == kMsgExpansionTooLong) {
    text = CheckSays(kTxtExpansionTooLong, kWorkLineSize - 1);
  } else if (f == kMsgLabelTooLong) {
    text = CheckSays(kTxtLabelTooLong, kGotoTargetSize - 1);
  } else if (f == kMsgMacroTooLong) {
    text = CheckSays(kTxtMacroTooLong, kMacroTextSize - 1);
  } else if (f == kMsgCantOpenScript) {
    text = CheckSays(kTxtCantOpen);
    line = 0;
  } else if (f == kMsgScriptTooLarge) {
    text = Printf("the script does not fit in %d bytes", kLineStoreSize);
  } else if (f == kMsgFolderTooLong) {
    text = Printf("the folder is longer than %d bytes", kTextSize - 1);
  } else if (f == kMsgFolderExpansionTooLong) {
    text = Printf("the setup folder '%s' is longer than %d bytes after macro expansion",
                  Insert(error, 0).c_str(), kTextSize - 1);
    line = 0;
  } else if (f == kMsgDirCantMake) {
    text = Printf("the folder '%s' cannot be made", Insert(error, 0).c_str());
  } else if (f == kMsgCopyFailed) {
    text =
        Printf("'%s' cannot be copied to '%s'", Insert(error, 0).c_str(), Insert(error, 1).c_str());
  } else if (f == kMsgCantCreate) {
    text = Printf("'%s' cannot be created", Insert(error, 0).c_str());
  } else if (f == kMsgCantOpenSource) {
    text = Printf("'%s' cannot be opened", Insert(error, 0).c_str());
  } else if (f == kMsgRegistryWrite) {
    text = Printf("'%s' cannot be written to the registry (data '%s'); the run goes on",
                  Insert(error, 0).c_str(), Insert(error, 1).c_str());
  } else if (f == kMsgSetupStopped) {
    text = "the disk prompt was cancelled: the run stops here";
  } else if (f == kMsgNoWindows) {
    text = "the machine has no Windows folder or system folder";
    script.clear();
  } else if (f == kMsgProgramFolderTooLong) {
    text = Printf("the folder of the program is longer than %d bytes", kTextSize - 1);
    script.clear();
  } else {
    text = "see the message above";  // a message this list does not know yet
  }
  return {{script, line, false, text}};
}

std::vector<Explanation> ExplainErrorExit(const ScriptEngine& engine) {
  return {{engine.script_path, engine.line_number, false, "ErrorExit ends the run here"}};
}

std::vector<Explanation> ExplainRegistration(const char* text, const ScriptEngine& engine) {
  // " '<path>' registration can't be done": the path between the quotes.
  std::string path = text;
  size_t open = path.find('\'');
  size_t close = path.rfind('\'');
  path = open != std::string::npos && close > open ? path.substr(open + 1, close - open - 1) : "";
  return {{engine.script_path, engine.line_number, false,
           Printf("'%s' cannot be registered: neither its DllRegisterServer nor its /regserver "
                  "run succeeded",
                  Quoted(path.c_str()).c_str())}};
}

}  // namespace setup::terminal
