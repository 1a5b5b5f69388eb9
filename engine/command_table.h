// The one description of every command: its keyword, its code and how each
// of its arguments is read. The interpreter, the actions and the medium
// check all cut a line through DecodeArguments, so that the shape of a
// command, and the argument-reading rules themselves, are written once.
#pragma once

#include "engine/lexicon.h"

namespace setup {

// How one argument is cut from the line.
enum class ArgForm : unsigned char {
  kNone,      // no further argument: the row ends
  kStrict,    // quoted, or a word ended by a blank; anything else is a fault
  kLenient,   // quoted, or a word ended by a blank, or else the rest of the
              // line (behind an opening quote that is never closed)
  kLabel,     // as kLenient, behind one colon in front (":END", "Goto :END")
  kOperator,  // a comparison operator, when one stands here; then as kStrict
  kSense,     // a sense word, as kStrict; the tail command follows it
  kRest,      // the rest of the line as it stands, blanks included
};

// What an argument is, as a diagnostic names it.
// ORDER: the check's names of arguments (check/check_texts.cc) follow this;
// kLabel stays last.
enum class ArgName : unsigned char {
  kSource,
  kDestination,
  kFolder,
  kFile,
  kRegistryPath,
  kData,
  kMacroName,
  kSenseWord,
  kFirst,
  kSecond,
  kComponent,
  kOperator,
  kValue,
  kPrompt,
  kText,
  kLabel,
};

struct Arg {
  ArgForm form = ArgForm::kNone;
  ArgName name = ArgName::kText;
};

inline constexpr int kMaxArgs = 4;

struct CommandRow {
  const char* keyword;  // nullptr for the kinds of line that have none
  CommandCode code;
  Arg args[kMaxArgs];
};

// ORDER: indexed by CommandCode; every keyword ClassifyLine knows is here.
inline constexpr int kCommandCount = kDeleteRegistry + 1;
extern const CommandRow kCommandTable[kCommandCount];

// Why an argument could not be cut.
enum class ArgFault {
  kNone,
  kNoQuote,  // a quoted argument without its closing quote
  kNoBlank,  // an unquoted argument that the line ends in
};

// A line's arguments, cut in place. Slots follow the row: an argument not
// reached, or an operator slot without an operator, stays nullptr.
struct Arguments {
  char* text[kMaxArgs] = {};   // the argument, cut out
  char* start[kMaxArgs] = {};  // where it began as written (its quote included)
  int op = 0;                  // the operator's CommandCode; 0 when there is none
  char* end = nullptr;         // behind the last argument; nullptr when the line ended in it
  char* tail = nullptr;        // behind the sense word: the tail command
  int fault_index = -1;        // the slot that could not be read, or -1
  ArgFault fault = ArgFault::kNone;
};

// Cuts the next argument at *cursor in place: a quoted one, or a word ended
// by a blank. Returns the text behind it and its blanks; nullptr when the
// quote is not closed or the line ends in the word (*fault says which). On
// nullptr *cursor is the argument as it stands, behind an opening quote.
char* CutArgument(const LeadBytes& lead, char** cursor, ArgFault* fault);

// Cuts the arguments of a code's row from text (what follows the keyword
// and its blanks), stopping at the first fault; false on a fault.
bool DecodeArguments(const LeadBytes& lead, CommandCode code, char* text, Arguments* args);

// Classifies a line (its leading blanks already skipped) and decodes its
// arguments: the one way the run and the check read a command.
CommandCode DecodeLine(const LeadBytes& lead, char* text, Arguments* args);

}  // namespace setup
