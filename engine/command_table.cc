// The command table and the one decoder of a command's arguments.
#include "engine/command_table.h"

namespace setup {

namespace {

// Short names, so that each row reads as the command's line does.
constexpr ArgForm kStrict = ArgForm::kStrict;
constexpr ArgForm kLenient = ArgForm::kLenient;
constexpr ArgForm kRest = ArgForm::kRest;

// The If-commands: two-sided ones compare two values, one-sided ones test one.
constexpr CommandRow TwoSidedIf(const char* keyword, CommandCode code) {
  return {keyword,
          code,
          {{kStrict, ArgName::kFirst},
           {ArgForm::kOperator, ArgName::kOperator},
           {kStrict, ArgName::kSecond},
           {ArgForm::kSense, ArgName::kSenseWord}}};
}
constexpr CommandRow OneSidedIf(const char* keyword, CommandCode code) {
  return {keyword, code, {{kStrict, ArgName::kFirst}, {ArgForm::kSense, ArgName::kSenseWord}}};
}

}  // namespace

// ORDER: CommandCode. A keyword matches only as a whole word (the blank
// rule of ClassifyLine), so the order of the rows decides nothing.
// SetupDir, SetupDir2 and WindowTitle are read by the loader's pre-scan and
// do nothing in the run; the operators and Registry begin no command.
const CommandRow kCommandTable[kCommandCount] = {
    {nullptr, kNoKeyword, {}},
    {nullptr, kEmptyLine, {}},
    {nullptr, kLabelLine, {{ArgForm::kLabel, ArgName::kLabel}}},
    {nullptr, kCommentLine, {}},
    {"#define", kDefine, {{kStrict, ArgName::kMacroName}, {kRest, ArgName::kValue}}},
    {"TextCopy", kTextCopy, {{kStrict, ArgName::kSource}, {kRest, ArgName::kDestination}}},
    {"BinCopy", kBinCopy, {{kStrict, ArgName::kSource}, {kLenient, ArgName::kDestination}}},
    {"MakeDir", kMakeDir, {{kLenient, ArgName::kFolder}}},
    {"JapanCopy", kJapanCopy, {{kStrict, ArgName::kSource}, {kRest, ArgName::kDestination}}},
    {"EnglishCopy", kEnglishCopy, {{kStrict, ArgName::kSource}, {kRest, ArgName::kDestination}}},
    {"DiskCheck", kDiskCheck, {{kStrict, ArgName::kFile}, {kRest, ArgName::kPrompt}}},
    {"SetupDir", kSetupDir, {}},
    {"SetupDir2", kSetupDir2, {}},
    {"WindowTitle", kWindowTitle, {}},
    TwoSidedIf("IfFileVersion", kIfFileVersion),
    TwoSidedIf("IfProductVersion", kIfProductVersion),
    {"MessageBox", kMessageBox, {{kLenient, ArgName::kText}}},
    {"Message", kMessage, {{kRest, ArgName::kText}}},
    {"Goto", kGoto, {{ArgForm::kLabel, ArgName::kLabel}}},
    {"=", kOpEqual, {{kRest, ArgName::kText}}},
    {"<=", kOpLessEqual, {{kRest, ArgName::kText}}},
    {"<", kOpLess, {{kRest, ArgName::kText}}},
    {">=", kOpGreaterEqual, {{kRest, ArgName::kText}}},
    {">", kOpGreater, {{kRest, ArgName::kText}}},
    TwoSidedIf("IfFileDate", kIfFileDate),
    {"ErrorExit", kErrorExit, {{kRest, ArgName::kText}}},
    OneSidedIf("IfFileFind", kIfFileFind),
    {"#define_registry",
     kDefineRegistry,
     {{kStrict, ArgName::kMacroName},
      {kStrict, ArgName::kRegistryPath},
      {ArgForm::kSense, ArgName::kSenseWord}}},
    {"Registry", kRegistry, {{kRest, ArgName::kText}}},
    {"Regsvr", kRegsvr, {{kStrict, ArgName::kComponent}}},
    TwoSidedIf("IfString", kIfString),
    OneSidedIf("IfRegistryFind", kIfRegistryFind),
    OneSidedIf("IfLanguage", kIfLanguage),
    // The data must be followed by a blank like any unquoted argument,
    // although it is the last one; whatever follows it is ignored.
    {"SetRegistry", kSetRegistry, {{kStrict, ArgName::kRegistryPath}, {kStrict, ArgName::kData}}},
    {"DeleteRegistry", kDeleteRegistry, {{kStrict, ArgName::kRegistryPath}}},
};

char* CutArgument(const LeadBytes& lead, char** cursor, ArgFault* fault) {
  char* p = *cursor;
  if (*p == '"') {
    ++p;
    *cursor = p;  // the step past the opening quote stands even when malformed
    while (*p != '\0' && *p != '"') {
      // A lead byte takes its trail byte along; a lead byte cut off by the
      // terminator leaves the quote unclosed.
      if (IsLeadByte(lead, static_cast<unsigned char>(*p)) && p[1] != '\0') ++p;
      ++p;
    }
    if (*p == '\0') {
      *fault = ArgFault::kNoQuote;
      return nullptr;
    }
  } else {
    while (*p != '\0' && !IsBlank(*p)) ++p;
    if (*p == '\0') {
      *fault = ArgFault::kNoBlank;
      return nullptr;
    }
  }
  *p++ = '\0';
  while (IsBlank(*p)) ++p;
  return p;
}

bool DecodeArguments(const LeadBytes& lead, CommandCode code, char* text, Arguments* args) {
  *args = Arguments{};
  char* cursor = text;
  for (int i = 0; i < kMaxArgs; ++i) {
    ArgForm form = kCommandTable[code].args[i].form;
    if (form == ArgForm::kNone) break;
    if (form == ArgForm::kOperator) {
      CommandCode op = ClassifyLine(cursor);
      if (op < kOpEqual || op > kOpGreater) continue;  // none: the slot stays empty
      args->op = op;
    }
    args->start[i] = cursor;
    if (form == ArgForm::kRest) {
      args->text[i] = cursor;
      args->end = nullptr;
      return true;
    }
    if (form == ArgForm::kLabel && *cursor == ':') ++cursor;
    char* argument = cursor;
    ArgFault fault = ArgFault::kNone;
    char* next = CutArgument(lead, &cursor, &fault);
    args->text[i] = cursor;
    if (next == nullptr) {
      if (form == ArgForm::kLenient || form == ArgForm::kLabel) {
        args->end = nullptr;  // the argument is the rest of the line
        return true;
      }
      args->text[i] = nullptr;
      args->start[i] = argument;
      args->fault_index = i;
      args->fault = fault;
      return false;
    }
    if (form == ArgForm::kSense) args->tail = next;
    cursor = next;
  }
  args->end = cursor;
  return true;
}

CommandCode DecodeLine(const LeadBytes& lead, char* text, Arguments* args) {
  char* rest = text;
  CommandCode code = ClassifyLine(text, &rest);
  DecodeArguments(lead, code, rest, args);
  return code;
}

}  // namespace setup
