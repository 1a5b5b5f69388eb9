// The medium check: the script's bytes, then every stored line as the
// interpreter would read it, then the Goto targets. Nothing here runs a
// command; the text copier runs into a sink to find its syntax errors.
#include "check/checker.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "actions/text_copier.h"
#include "check/check_texts.h"
#include "check/suggestions.h"
#include "engine/conditions.h"
#include "engine/registry_access.h"
#include "platform/shift_jis.h"

namespace setup {
namespace {

bool IsNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Finds the next "$$NAME$$" in text from *at; copies it into token (kMacroTextSize).
bool NextMacroToken(const char* text, int* at, char* token) {
  // From one '$' to the next: most of a line holds none.
  for (const char* dollar = std::strchr(text + *at, '$'); dollar != nullptr;
       dollar = std::strchr(dollar + 1, '$')) {
    int i = static_cast<int>(dollar - text);
    if (text[i + 1] != '$') continue;
    int j = i + 2;
    while (IsNameByte(text[j])) ++j;
    if (j == i + 2 || text[j] != '$' || text[j + 1] != '$') continue;
    int length = j + 2 - i;
    if (length >= kMacroTextSize) continue;
    std::memcpy(token, text + i, static_cast<size_t>(length));
    token[length] = '\0';
    *at = j + 2;
    return true;
  }
  return false;
}

bool IsStartupMacro(const char* name) {
  return std::strcmp(name, "$$WINDOWS$$") == 0 || std::strcmp(name, "$$SYSTEM$$") == 0 ||
         std::strcmp(name, "$$FD$$") == 0;
}

bool Defined(const MacroTable& table, const char* name) {
  for (int i = 0; i < table.count; ++i) {
    if (std::strcmp(table.entries[i].name, name) == 0) return true;
  }
  return false;
}

// Representative values of the built-in macros: a Japanese Windows, and
// the setup folders at their ordinary length and at the longest the dialog
// takes (255 bytes).
constexpr char kWindowsFolder[] = "C:\\WINDOWS";
constexpr char kSystemFolder[] = "C:\\WINDOWS\\system32";
constexpr char kSetupFolder[] = "C:\\Program Files\\Product";
constexpr char kSetupRoot[] = "C:\\Program Files";
constexpr int kLongestFolder = kTextSize - 1;
constexpr char kShortFolder[] = "C:\\Apps";  // without a blank, for a line too long with those
constexpr char kShortRoot[] = "C:";

constexpr int kMaxTailDepth = 16;  // If-commands chained on one line

// The #define or #define_registry a line holds, as its command or as the
// tail of its If-commands: where the name it defines begins and ends in
// text (offsets). A name defined is no use of it.
bool FindDefine(const LeadBytes& lead, const char* text, int* begin, int* end) {
  char copy[kWorkLineSize];
  if (std::strlen(text) >= sizeof copy) return false;
  std::strcpy(copy, text);
  char* command = copy;
  for (int depth = 0; depth <= kMaxTailDepth && command != nullptr; ++depth) {
    while (IsBlank(*command)) ++command;
    char* rest = nullptr;
    CommandCode code = ClassifyLine(command, &rest);
    if (code == kDefine || code == kDefineRegistry) {
      *begin = static_cast<int>(rest - copy);
      *end = *begin;
      while (copy[*end] != '\0' && !IsBlank(copy[*end])) ++*end;
      return true;
    }
    bool has_tail = false;
    for (const Arg& arg : kCommandTable[code].args) has_tail |= arg.form == ArgForm::kSense;
    if (!has_tail) return false;
    Arguments args;
    DecodeArguments(lead, code, rest, &args);  // cuts in place: offsets stay
    command = args.tail;
  }
  return false;
}

// Where a comment of another language begins inside a value that runs to
// the end of the line (" ; product version"); nullptr when none does.
const char* CommentInValue(const char* value) {
  for (const char* p = value; *p != '\0'; ++p) {
    // A blank is never a trail byte, so the scan needs no lead bytes.
    if (IsBlank(*p) && (p[1] == '\'' || ForeignComment(p + 1) != nullptr)) return p + 1;
  }
  return nullptr;
}

// The check that "' check: ignore NAME" silences alone.
constexpr char kTrailingTextCheck[] = "trailing-text";

// The named check a message belongs to; nullptr for one no name silences.
const char* CheckNameOf(int message) {
  switch (message) {
    case kTxtTrailingIgnored:
    case kTxtTrailingInValue:
    case kTxtTrailingData:
    case kTxtCommentAsArgument:
      return kTrailingTextCheck;
    default:
      return nullptr;
  }
}

// "' check: ignore", in any case, with a reason behind it if the author
// likes ("' check: ignore: built at run time"): the line below it is not
// reported. Behind it, the name of one check ("' check: ignore
// trailing-text") silences that check alone: *name is then set.
bool IsIgnoreComment(const char* text, const char** name) {
  *name = nullptr;
  const char* p = text + 1;  // behind the quote
  while (IsBlank(*p)) ++p;
  constexpr char kCheck[] = "check:";
  constexpr char kIgnore[] = "ignore";
  for (const char* word : {kCheck, kIgnore}) {
    size_t n = std::strlen(word);
    for (size_t i = 0; i < n; ++i) {
      if (ToUpperAscii(static_cast<unsigned char>(p[i])) !=
          ToUpperAscii(static_cast<unsigned char>(word[i]))) {
        return false;
      }
    }
    p += n;
    if (word == kCheck) {
      while (IsBlank(*p)) ++p;
    }
  }
  if (IsNameByte(*p)) return false;  // "ignored" or "ignores" is no such comment
  while (IsBlank(*p)) ++p;
  size_t n = std::strlen(kTrailingTextCheck);
  if (std::strncmp(p, kTrailingTextCheck, n) == 0 && !IsNameByte(p[n]) && p[n] != '-') {
    *name = kTrailingTextCheck;
  }
  return true;
}

}  // namespace

// ---- adaptors ----

long Checker::Files::Read(FileHandle file, void* buffer, unsigned long size) {
  if (file == kSink) return -1;
  return medium_.Read(file, buffer, size);
}

void Checker::Files::Close(FileHandle file) {
  if (file != kSink) medium_.Close(file);
}

void Checker::Ui::ShowError(const char* text) {
  CopyBounded(LeadBytes{}, last_error, kTextSize, text);
  ++error_count;
}

unsigned Checker::System::GetWindowsDirectory(char* buffer, unsigned size) {
  CopyBounded(LeadBytes{}, buffer, size, kWindowsFolder);
  return sizeof kWindowsFolder - 1;
}

unsigned Checker::System::GetSystemDirectory(char* buffer, unsigned size) {
  CopyBounded(LeadBytes{}, buffer, size, kSystemFolder);
  return sizeof kSystemFolder - 1;
}

bool Checker::System::GetProgramPath(char* buffer, unsigned size) {
  int n = std::snprintf(buffer, size, "%s\\setup.exe", medium_folder_);
  return n >= 0 && static_cast<unsigned>(n) < size;
}

bool Checker::System::IsLeadByte(unsigned char byte) { return IsShiftJisLeadByte(byte); }

// ---- the check ----

Checker::Checker(FileSystem& medium, const CheckOptions& options, CheckReport& report)
    : options_(options),
      report_(report),
      medium_(medium),
      files_(medium),
      system_(options.medium_folder),
      platform_{&system_, &files_, &registry_, nullptr, nullptr},
      engine_(platform_, ui_) {}

void Checker::Say(const char* file, int line, Severity severity, int message, ...) {
  char text[kTextSize * 2];
  va_list args;
  va_start(args, message);
  // The formats are the fixed texts above; both languages of a text take
  // the same conversions in the same order.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::vsnprintf(text, sizeof text, CheckText(message, options_.japanese), args);
#pragma GCC diagnostic pop
  va_end(args);
  int script_line = file != nullptr ? line_ : line;
  if (!physical_lines_) {
    auto ignored = ignored_.find(script_line);
    if (ignored != ignored_.end() &&
        (ignored->second == nullptr || ignored->second == CheckNameOf(message))) {
      return;
    }
  }
  if (options_.werror && severity == Severity::kWarning) severity = Severity::kError;
  if (!physical_lines_) {
    script_line = PhysicalLine(script_line);
    if (file == nullptr) line = script_line;
  }
  if (file != nullptr) ++text_diagnostics_;
  if (severity == Severity::kError) {
    ++counts_.errors;
  } else if (severity == Severity::kWarning) {
    ++counts_.warnings;
  }
  report_.Diagnostic(file, line, script_line, severity, text);
}

CheckCounts Checker::Run() {
  // The start-up of a run, without the dialog.
  std::snprintf(engine_.program_folder, kTextSize, "%s", options_.medium_folder);
  engine_.macros.count = 0;
  DefineMacro(engine_.macros, "$$WINDOWS$$", kWindowsFolder);
  DefineMacro(engine_.macros, "$$SYSTEM$$", kSystemFolder);
  DefineMacro(engine_.macros, "$$FD$$", engine_.program_folder);
  if (!CheckEncoding()) {
    Say(nullptr, 0, Severity::kError, kTxtCantOpen);
    return counts_;
  }
  physical_lines_ = false;  // from here on, lines are numbered as stored
  if (!engine_.LoadScript()) {
    // The loader stopped at a line: what it stored before is still checked.
    Say(nullptr, engine_.line_number, Severity::kError, kTxtNotLoaded, ui_.last_error);
  }

  // The run-time macros, as OK in the dialog defines them.
  DefineMacro(engine_.macros, "$$SETUPDIR$$", kSetupFolder);
  DefineMacro(engine_.macros, "$$SETUPDIR2$$", kSetupFolder);
  DefineMacro(engine_.macros, "$$SETUPROOT$$", kSetupRoot);
  DefineMacro(engine_.macros, "$$SETUPROOT2$$", kSetupRoot);
  long_macros_ = engine_.macros;
  char folder[kTextSize];
  std::memset(folder, 'a', kLongestFolder);
  std::memcpy(folder, "C:\\", 3);
  folder[kLongestFolder] = '\0';
  DefineMacro(long_macros_, "$$SETUPDIR$$", folder);
  DefineMacro(long_macros_, "$$SETUPDIR2$$", folder);
  folder[kLongestFolder - 2] = '\0';  // the root of "C:\aaa...\a"
  DefineMacro(long_macros_, "$$SETUPROOT$$", folder);
  DefineMacro(long_macros_, "$$SETUPROOT2$$", folder);
  // From here on the tables only gain entries (see IndexedMacros).
  macros_index_.count = -1;
  long_macros_index_.count = -1;

  CollectDefines();
  const char* stored = engine_.lines.storage;
  const char* end = stored + engine_.lines.end;
  for (int number = 1; stored < end; ++number) {
    CheckLine(number, stored);
    stored += std::strlen(stored) + 1;
  }
  CheckGotos();
  return counts_;
}

void Checker::CollectDefines() {
  // The names as the #define lines write them, so that a use before its
  // definition can name the line that comes too late.
  const char* stored = engine_.lines.storage;
  const char* end = stored + engine_.lines.end;
  for (int number = 1; stored < end; ++number) {
    const char* text = stored;
    stored += std::strlen(stored) + 1;
    const char* first = text + std::strspn(text, " \t");
    if (*first == '\'') {  // a comment line
      const char* name = nullptr;
      if (IsIgnoreComment(first, &name)) ignored_[number + 1] = name;
      continue;
    }
    // Both keywords begin with '#': a line without one defines nothing.
    if (std::strchr(first, '#') == nullptr) continue;
    int begin = 0;
    int name_end = 0;
    if (!FindDefine(engine_.lead_bytes, text, &begin, &name_end)) continue;
    // Kept from the line's first byte that is no blank, where the walk
    // looks for the macros the line uses.
    int blanks = static_cast<int>(first - text);
    defines_.push_back(
        {number, std::string(text + begin, text + name_end), begin - blanks, name_end - blanks});
    auto [entry, added] = define_lines_.try_emplace(defines_.back().name);
    entry->second.push_back(number);
    if (added && define_names_.size() < static_cast<size_t>(kMaxMacros)) {
      define_names_.push_back(entry->first.c_str());
    }
  }
}

void Checker::CheckLine(int number, const char* stored) {
  line_ = number;
  engine_.line_number = number;
  int length = static_cast<int>(std::strlen(stored));
  if (length >= kWorkLineSize) {
    Say(nullptr, number, Severity::kError, kTxtLineTooLong, kWorkLineSize - 1);
    return;
  }
  const char* raw = stored;
  while (IsBlank(*raw)) ++raw;
  CommandCode raw_code = ClassifyLine(raw);
  if (raw_code == kCommentLine || raw_code == kEmptyLine) return;
  CheckMacroUses(raw, raw_code);
  if (raw_code == kSetupDir || raw_code == kSetupDir2 || raw_code == kWindowTitle) {
    CheckSetupDir(raw_code, raw);
    return;
  }

  char expanded[kWorkLineSize];
  if (!Expand(engine_.macros, &macros_index_, stored, expanded, kWorkLineSize)) {
    Say(nullptr, number, Severity::kError, kTxtExpansionTooLong, kWorkLineSize - 1);
    return;
  }
  char long_line[kWorkLineSize];  // the same line with the longest setup folders
  bool long_expanded = Expand(long_macros_, &long_macros_index_, stored, long_line, kWorkLineSize);
  if (!long_expanded) {
    if (FirstLongFolder()) {
      Say(nullptr, number, Severity::kNote, kTxtExpansionTooLongLongFolder, kWorkLineSize - 1,
          kLongestFolder);
    }
    // Folders without blanks all the same, short ones, for the reading below.
    auto short_macros = std::make_unique<MacroTable>(long_macros_);
    DefineMacro(*short_macros, "$$SETUPDIR$$", kShortFolder);
    DefineMacro(*short_macros, "$$SETUPDIR2$$", kShortFolder);
    DefineMacro(*short_macros, "$$SETUPROOT$$", kShortRoot);
    DefineMacro(*short_macros, "$$SETUPROOT2$$", kShortRoot);
    long_expanded = ExpandMacros(*short_macros, stored, long_line, kWorkLineSize);
  }
  // The setup folders of the check hold blanks; the long ones hold none. An
  // unquoted argument holding a folder may read in the one and run to the
  // line's end in the other, where the run stops.
  if (long_expanded && std::strcmp(long_line, expanded) != 0) {
    CheckFolderWithoutBlank(expanded, long_line);
  }
  CheckCommand(expanded, 0, raw);
}

namespace {

// Decodes text and the tail commands behind it until one fails to read;
// false then, with *failed the command that failed and *args its reading.
bool ReadsWhole(const LeadBytes& lead, char* text, CommandCode* failed, Arguments* args) {
  for (int depth = 0; depth < 8; ++depth) {
    while (IsBlank(*text)) ++text;
    *failed = DecodeLine(lead, text, args);
    if (args->fault_index >= 0) return false;
    if (args->tail == nullptr) return true;
    text = args->tail;
  }
  return true;
}

}  // namespace

void Checker::CheckFolderWithoutBlank(const char* expanded, const char* long_line) {
  char normal[kWorkLineSize];
  char blank_free[kWorkLineSize];
  std::memcpy(normal, expanded, std::strlen(expanded) + 1);
  std::memcpy(blank_free, long_line, std::strlen(long_line) + 1);
  CommandCode code = kEmptyLine;
  Arguments args;
  if (!ReadsWhole(engine_.lead_bytes, normal, &code, &args)) return;  // said by the walk
  if (ReadsWhole(engine_.lead_bytes, blank_free, &code, &args)) return;
  if (args.fault != ArgFault::kNoBlank) return;
  Say(nullptr, line_, Severity::kError, kTxtFolderNoBlank,
      ArgumentName(kCommandTable[code].args[args.fault_index].name, options_.japanese));
}

void Checker::CheckMacroUses(const char* raw, CommandCode code) {
  int at = 0;
  int defined_begin = -1;  // the name a #define of this line defines
  int defined_end = -1;
  // The walk goes down the lines as CollectDefines did: the line's entry,
  // if it has one, is the next one from the last looked at.
  while (next_define_ < defines_.size() && defines_[next_define_].line < line_) ++next_define_;
  if (next_define_ < defines_.size() && defines_[next_define_].line == line_) {
    defined_begin = defines_[next_define_].begin;
    defined_end = defines_[next_define_].end;
  }
  bool dialog = code == kSetupDir || code == kSetupDir2 || code == kWindowTitle;
  char token[kMacroTextSize];
  char quoted[kQuoteSize];
  while (NextMacroToken(raw, &at, token)) {
    int token_start = at - static_cast<int>(std::strlen(token));
    if (token_start >= defined_begin && token_start < defined_end) continue;
    Quote(token, quoted);
    if (dialog) {
      if (code == kWindowTitle || !IsStartupMacro(token)) {
        Say(nullptr, line_, Severity::kWarning, kTxtDialogMacro, quoted);
      }
      continue;
    }
    CheckMacroName(nullptr, line_, token);
  }
}

void Checker::CheckMacroName(const char* file, int line, const char* token) {
  if (Defined(engine_.macros, token)) return;
  char quoted[kQuoteSize];
  Quote(token, quoted);
  int later = 0;  // the first line below this one that defines it
  looked_up_.assign(token);
  auto defined = define_lines_.find(looked_up_);
  if (defined != define_lines_.end()) {
    auto next = std::upper_bound(defined->second.begin(), defined->second.end(), line_);
    if (next != defined->second.end()) later = *next;
  }
  if (later > 0) {
    Say(file, line, Severity::kWarning, kTxtMacroBeforeDefine, quoted,
        physical_lines_ ? later : PhysicalLine(later));
    return;
  }
  const char* best = nullptr;
  int best_distance = 99;
  for (int i = 0; i < engine_.macros.count; ++i) {
    const char* name = engine_.macros.entries[i].name;
    int distance = Distance(token, name, kNearEdits);
    if (Near(distance, name) && distance < best_distance) {
      best = name;
      best_distance = distance;
    }
  }
  for (const char* name : define_names_) {
    int distance = Distance(token, name, kNearEdits);
    if (Near(distance, name) && distance < best_distance) {
      best = name;
      best_distance = distance;
    }
  }
  if (best != nullptr) {
    char suggestion[kQuoteSize];
    Quote(best, suggestion);
    Say(file, line, Severity::kWarning, kTxtMacroUndefinedSuggest, quoted, suggestion);
  } else {
    Say(file, line, Severity::kWarning, kTxtMacroUndefined, quoted);
  }
}

void Checker::CheckSetupDir(CommandCode code, const char* raw) {
  if (code == kWindowTitle) return;
  // The folder as the pre-scan takes it, then expanded as the dialog gets it.
  char* rest = nullptr;
  ClassifyLine(raw, &rest);
  char folder[kTextSize];
  char label[kTextSize];
  int errors = ui_.error_count;
  if (!engine_.ParseSetupDir(rest, folder, label) || ui_.error_count != errors)
    return;  // said by the load
  // An unquoted folder ends at its first blank and the rest becomes the
  // label: an unquoted rest is most likely the folder's own second word.
  const char* behind = rest + std::strcspn(rest, " \t");
  behind += std::strspn(behind, " \t");
  if (rest[0] != '"' && ClassifyLine(rest) != kRegistry && *behind != '\0' && *behind != '"') {
    char used[kQuoteSize];
    Quote(folder, used);
    Say(nullptr, line_, Severity::kWarning, kTxtUnquotedFolder, used);
  }
  char expanded[kTextSize];
  if (!Expand(engine_.macros, &macros_index_, folder, expanded, kTextSize)) {
    Say(nullptr, line_, Severity::kError, kTxtFolderTooLong, kTextSize - 1);
  }
}

bool Checker::Expand(const MacroTable& table, IndexedMacros* indexed, const char* source,
                     char* dest, unsigned size) {
  if (indexed->count < 0) {
    IndexMacros(table, &indexed->index);
  } else if (indexed->count != table.count) {
    IndexNewMacros(table, &indexed->index);  // the table has only gained entries
  }
  indexed->count = table.count;
  return ExpandMacros(table, indexed->index, source, dest, size);
}

bool Checker::ArgRead(CommandCode code, const Arguments& args, int index) {
  if (args.fault_index != index) return true;
  const char* name = ArgumentName(kCommandTable[code].args[index].name, options_.japanese);
  const char* start = args.start[index];
  if (args.fault == ArgFault::kNoQuote) {
    Say(nullptr, line_, Severity::kError, kTxtNoQuote, name);
  } else if (*start == '\0') {
    Say(nullptr, line_, Severity::kError, kTxtMissing, name);
  } else {
    char quoted[kQuoteSize];
    Quote(start, quoted);
    Say(nullptr, line_, Severity::kError, kTxtNoBlank, name, quoted);
  }
  return false;
}

void Checker::CheckDefine(char* text, const char* raw) {
  Arguments args;
  DecodeLine(engine_.lead_bytes, text, &args);
  if (!ArgRead(kDefine, args, 0)) return;
  const char* name = args.text[0];
  const char* value = args.text[1];
  char quoted[kQuoteSize];
  Quote(name, quoted);
  // The name as written: when it was replaced, a macro of that name exists.
  // A line that a macro makes a #define has none.
  char* raw_rest = nullptr;
  char written[kMacroTextSize] = "";
  if (ClassifyLine(raw, &raw_rest) == kDefine) FirstWord(raw_rest, written, kMacroTextSize);
  if (written[0] != '"' && written[0] != '\0' && std::strcmp(written, name) != 0 &&
      Defined(engine_.macros, written)) {
    char old[kQuoteSize];
    Quote(written, old);
    Say(nullptr, line_, Severity::kWarning, kTxtMacroRedefined, old, quoted);
  } else if (!(name[0] == '$' && name[1] == '$')) {
    Say(nullptr, line_, Severity::kWarning, kTxtMacroPlainName, quoted);
  }
  if (const char* comment = CommentInValue(value)) {
    Quote(comment, quoted);
    Say(nullptr, line_, Severity::kError, kTxtTrailingInValue, quoted,
        ArgumentName(ArgName::kValue, options_.japanese));
    Quote(name, quoted);
  }
  size_t length = std::strlen(value);
  if (length > 0 && IsBlank(value[length - 1])) {
    Say(nullptr, line_, Severity::kWarning, kTxtMacroTrailingBlank, quoted);
  }
  switch (DefineMacro(engine_.macros, name, value)) {
    case DefineResult::kStored:
      break;
    case DefineResult::kTableFull:
      Say(nullptr, line_, Severity::kError, kTxtTooManyMacros, kMaxMacros);
      return;
    case DefineResult::kTooLong:
      Say(nullptr, line_, Severity::kError, kTxtMacroTooLong, kMacroTextSize - 1);
      return;
  }
  // The same definition with long folders: the line expanded with them.
  char long_line[kWorkLineSize];
  if (!Expand(long_macros_, &long_macros_index_, raw, long_line, kWorkLineSize))
    return;  // said already
  char* long_text = long_line;
  while (IsBlank(*long_text)) ++long_text;
  Arguments long_args;
  if (DecodeLine(engine_.lead_bytes, long_text, &long_args) != kDefine) return;
  if (long_args.fault_index >= 0) return;
  if (DefineMacro(long_macros_, long_args.text[0], long_args.text[1]) == DefineResult::kTooLong &&
      FirstLongFolder()) {
    Say(nullptr, line_, Severity::kNote, kTxtMacroLongFolder, quoted, kMacroTextSize - 1,
        kLongestFolder);
  }
}

bool Checker::OnMedium(const char* path) const {
  size_t n = std::strlen(options_.medium_folder);
  if (std::strlen(path) <= n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (ToUpperAscii(static_cast<unsigned char>(path[i])) !=
        ToUpperAscii(static_cast<unsigned char>(options_.medium_folder[i]))) {
      return false;
    }
  }
  return path[n] == '\\' || path[n] == '/';
}

bool Checker::FirstLongFolder() {
  // A risk of every script that puts two folders on a line: worth one
  // note, never a diagnostic per line. A silenced line does not use it up.
  auto ignored = ignored_.find(line_);
  if (long_folder_said_ || (ignored != ignored_.end() && ignored->second == nullptr)) return false;
  long_folder_said_ = true;
  return true;
}

bool Checker::OnOtherDisk(const char* path) {
  if (disk_folder_.empty()) {
    // Checked from disk 1, the later disks are not here to look at.
    char quoted[kQuoteSize];
    Quote(path, quoted);
    Say(nullptr, line_, Severity::kNote, kTxtDiskNotOnMedium, quoted);
    return true;
  }
  // The medium holds each later disk in a folder of its own (the sample's
  // DISK2\): the file as that disk, inserted, would have it.
  size_t n = std::strlen(options_.medium_folder);
  char moved[kTextSize];
  int written = std::snprintf(moved, sizeof moved, "%s\\%s%s", options_.medium_folder,
                              disk_folder_.c_str(), path + n);
  FileStatus status;
  return written > 0 && written < kTextSize && medium_.GetStatus(moved, &status) &&
         (status.attributes & kAttrDirectory) == 0;
}

bool Checker::CheckMediumFile(const char* path, Severity severity, int message) {
  if (!OnMedium(path)) return false;
  FileStatus status;
  if (medium_.GetStatus(path, &status) && (status.attributes & kAttrDirectory) == 0) return true;
  // On a later disk: not here to look into.
  if (disk_line_ > 0 && OnOtherDisk(path)) return false;
  char quoted[kQuoteSize];
  Quote(path, quoted);
  Say(nullptr, line_, severity, message, quoted);
  return false;
}

void Checker::CheckRegistryPath(const char* path) {
  RegistryPath parsed;
  if (ParseRegistryPath(engine_.lead_bytes, path, &parsed)) return;
  char quoted[kQuoteSize];
  Quote(path, quoted);
  Say(nullptr, line_, Severity::kWarning, kTxtRegistryRoot, quoted);
}

void Checker::CheckCommand(char* text, int depth, const char* raw) {
  while (IsBlank(*text)) ++text;
  char* rest = text;
  CommandCode code = ClassifyLine(text, &rest);
  if (code == kDefine) {
    // A #define as a tail: its line was expanded as a whole already.
    CheckDefine(text, raw != nullptr ? raw : text);
    return;
  }
  // The keyword and operators are quoted as written, before the cutting.
  char word[kQuoteSize];
  FirstWord(text, word, sizeof word);
  const char* comment = ForeignComment(text);
  Arguments args;
  DecodeArguments(engine_.lead_bytes, code, rest, &args);
  const char* first = args.text[0];
  char quoted[kQuoteSize];
  if (!CheckCommentAsArgument(code, args)) CheckTrailingText(code, args);
  switch (code) {
    case kNoKeyword: {
      const char* suggestion = SuggestKeyword(word);
      const char* glued = nullptr;
      if (suggestion != nullptr) {
        Say(nullptr, line_, Severity::kError, kTxtUnknownSuggest, word, suggestion);
      } else if (comment != nullptr) {
        Say(nullptr, line_, Severity::kError, kTxtForeignComment, comment);
      } else if ((glued = GluedKeyword(word)) != nullptr) {
        Say(nullptr, line_, Severity::kError, kTxtGlued, glued);
      } else {
        Quote(word, quoted);
        Say(nullptr, line_, Severity::kError, kTxtUnknown, quoted);
      }
      return;
    }
    case kEmptyLine:
    case kCommentLine:
    case kSetupDir:
    case kSetupDir2:
    case kWindowTitle:
    case kMessage:
    case kErrorExit:
    case kDefine:
      return;
    case kLabelLine:
      if (depth > 0) return;  // a tail that is a label does nothing
      if (*first == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtLabelNoName);
        return;
      }
      AddLabel(first);
      return;
    case kDefineRegistry:
      for (int i = 0; i < 3; ++i) {
        if (!ArgRead(code, args, i)) return;
      }
      CheckRegistryPath(args.text[1]);
      if (DefineMacro(engine_.macros, first, "") == DefineResult::kTableFull) {
        Say(nullptr, line_, Severity::kError, kTxtTooManyMacros, kMaxMacros);
      }
      DefineMacro(long_macros_, first, "");
      if (depth < kMaxTailDepth) CheckCommand(args.tail, depth + 1);
      return;
    case kTextCopy:
    case kJapanCopy:
    case kEnglishCopy:
      if (!ArgRead(code, args, 0)) return;
      CheckTextCopy(code, first, args.text[1]);
      return;
    case kBinCopy:
      if (!ArgRead(code, args, 0)) return;
      if (args.text[1][0] == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtMissing,
            ArgumentName(ArgName::kDestination, options_.japanese));
      }
      CheckMediumFile(first, Severity::kError, kTxtNotOnMedium);
      return;
    case kMakeDir:
      if (first[0] == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtMissing,
            ArgumentName(ArgName::kFolder, options_.japanese));
      }
      return;
    case kDiskCheck: {
      if (!ArgRead(code, args, 0)) return;
      char path[kTextSize];
      int n = std::snprintf(path, sizeof path, "%s\\%s", engine_.program_folder, first);
      if (n <= 0 || n >= kTextSize) return;
      // The disk's folder: the folder part of the file it asks for, when the
      // medium has it.
      disk_line_ = 0;
      disk_folder_.clear();
      int slash = -1;
      for (int i = 0; first[i] != '\0'; ++i) {
        if (first[i] == '\\') slash = i;
        if (IsLeadByte(engine_.lead_bytes, static_cast<unsigned char>(first[i])) &&
            first[i + 1] != '\0') {
          ++i;  // a trail byte may be a backslash
        }
      }
      FileStatus status;
      if (slash > 0) {
        std::string folder = std::string(engine_.program_folder) + "\\" +
                             std::string(first, static_cast<size_t>(slash));
        if (medium_.GetStatus(folder.c_str(), &status) &&
            (status.attributes & kAttrDirectory) != 0) {
          disk_folder_.assign(first, static_cast<size_t>(slash));
        }
      }
      CheckMediumFile(path, Severity::kNote, kTxtDiskNotOnMedium);
      disk_line_ = line_;
      return;
    }
    case kSetRegistry:
      if (!ArgRead(code, args, 0) || !ArgRead(code, args, 1)) return;
      CheckRegistryPath(first);
      return;
    case kDeleteRegistry:
      if (!ArgRead(code, args, 0)) return;
      CheckRegistryPath(first);
      return;
    case kRegsvr:
      if (!ArgRead(code, args, 0)) return;
      if (CheckMediumFile(first, Severity::kError, kTxtNotOnMedium) && options_.is_component &&
          !options_.is_component(first)) {
        Quote(first, quoted);
        Say(nullptr, line_, Severity::kWarning, kTxtNotComponent, quoted);
      }
      return;
    case kIfFileVersion:
    case kIfProductVersion:
    case kIfFileDate:
    case kIfString:
    case kIfFileFind:
    case kIfRegistryFind:
    case kIfLanguage:
      CheckIf(code, args, depth);
      return;
    case kMessageBox:
      // Unquoted, the text is its first word; the rest of the line is lost.
      if (args.start[0][0] != '"' && args.end != nullptr && *args.end != '\0') {
        Say(nullptr, line_, Severity::kWarning, kTxtMessageBoxWord);
      }
      return;
    case kGoto:
      if (*first == '\0') {
        Say(nullptr, line_, Severity::kError, kTxtGotoNoLabel);
        return;
      }
      if (std::strlen(first) >= kGotoTargetSize) {
        Say(nullptr, line_, Severity::kError, kTxtLabelTooLong, kGotoTargetSize - 1);
        return;
      }
      AddGoto(first);
      return;
    case kOpEqual:
    case kOpLessEqual:
    case kOpLess:
    case kOpGreaterEqual:
    case kOpGreater:
      Say(nullptr, line_, Severity::kError, kTxtOperatorLine, word);
      return;
    case kRegistry:
      Say(nullptr, line_, Severity::kError, kTxtRegistryLine);
      return;
  }
}

bool Checker::CheckCommentAsArgument(CommandCode code, const Arguments& args) {
  // A ; or // comment after a strict argument, glued to it or not, is no
  // comment: it is cut as the next argument ("a";comment "b").
  for (int i = 1; i < kMaxArgs && args.text[i] != nullptr; ++i) {
    const char* start = args.start[i];
    const Arg& arg = kCommandTable[code].args[i];
    if (start == nullptr ||
        (arg.form != ArgForm::kStrict && arg.form != ArgForm::kLenient &&
         arg.form != ArgForm::kRest) ||
        kCommandTable[code].args[i - 1].form != ArgForm::kStrict) {
      continue;
    }
    if (start[0] != ';' && (start[0] != '/' || start[1] != '/')) continue;
    char quoted[kQuoteSize];
    Quote(args.text[i], quoted);
    Say(nullptr, line_, Severity::kError, kTxtCommentAsArgument, quoted,
        ArgumentName(arg.name, options_.japanese));
    return true;
  }
  return false;
}

void Checker::CheckTrailingText(CommandCode code, const Arguments& args) {
  // Only a command with arguments, read in full, has an end; an
  // If-command's is its tail, and a MessageBox's has a text of its own.
  if (kCommandTable[code].args[0].form == ArgForm::kNone || args.fault_index >= 0 ||
      args.end == nullptr || *args.end == '\0' || args.tail != nullptr || code == kMessageBox ||
      code == kDefineRegistry) {
    return;
  }
  char quoted[kQuoteSize];
  char used[kQuoteSize];
  Quote(args.end, quoted);
  int last = 0;
  while (last + 1 < kMaxArgs && args.text[last + 1] != nullptr) ++last;
  if (code == kSetRegistry) {
    // The value is written with the data read, whatever the author meant
    // behind it ("path", "data": the data ",").
    Quote(args.text[last], used);
    Say(nullptr, line_, Severity::kError, kTxtTrailingData, quoted, used);
  } else if (code == kMakeDir && args.start[0][0] != '"') {
    Quote(args.text[0], used);
    Say(nullptr, line_, Severity::kWarning, kTxtUnquotedFolder, used);
  } else {
    Say(nullptr, line_, Severity::kWarning, kTxtTrailingIgnored, quoted);
  }
}

void Checker::CheckIf(CommandCode code, const Arguments& args, int depth) {
  if (!ArgRead(code, args, 0)) return;
  const char* first = args.text[0];
  int sense_index = 1;
  char quoted[kQuoteSize];
  if (kCommandTable[code].args[1].form == ArgForm::kOperator) {
    sense_index = 3;
    if (!ArgRead(code, args, 1)) return;
    // The second argument as written, when no operator stood before it.
    const char* second = args.start[2];
    if (args.op != 0 || second == nullptr) {
      // An operator, or nothing more to say.
    } else if (second[0] == '=' || second[0] == '<' || second[0] == '>') {
      char word[kQuoteSize];
      FirstWord(second, word, sizeof word);
      Quote(word, quoted);
      Say(nullptr, line_, Severity::kWarning, kTxtGluedOperator, quoted);
    } else if (code == kIfFileDate || code == kIfString) {
      Say(nullptr, line_, Severity::kWarning, kTxtNoOperator);
    }
    if (!ArgRead(code, args, 2)) return;
  }
  if (!ArgRead(code, args, sense_index)) return;
  const char* sense = args.text[sense_index];
  if ((sense[0] == 'E' || sense[0] == 'e') && !EqualNoCase(sense, "Else") && sense[1] != '\0') {
    Quote(sense, quoted);
    Say(nullptr, line_, Severity::kWarning, kTxtSenseInverts, quoted);
  }
  switch (code) {
    case kIfRegistryFind:
      CheckRegistryPath(first);
      break;
    case kIfLanguage: {
      unsigned long value = 0;
      bool hex = first[0] == '0' && (first[1] == 'x' || first[1] == 'X');
      value = std::strtoul(first + (hex ? 2 : 0), nullptr, hex ? 16 : 10);
      if (value > 0xFF) {  // primary language numbers are below 0x100
        Quote(first, quoted);
        Say(nullptr, line_, Severity::kWarning, kTxtLanguageId, quoted);
      }
      break;
    }
    case kIfFileVersion:
    case kIfProductVersion:
      CheckMediumFile(first, Severity::kWarning, kTxtTestFileNotOnMedium);
      break;
    default:
      break;
  }
  if (depth < kMaxTailDepth) CheckCommand(args.tail, depth + 1);
}

void Checker::CheckTextCopy(CommandCode code, const char* source, const char* destination) {
  if (destination[0] == '\0') {
    Say(nullptr, line_, Severity::kError, kTxtMissing,
        ArgumentName(ArgName::kDestination, options_.japanese));
  } else if (destination[0] == '"') {
    Say(nullptr, line_, Severity::kError, kTxtQuotedDestination);
  } else if (const char* comment = CommentInValue(destination)) {
    char quoted[kQuoteSize];
    Quote(comment, quoted);
    Say(nullptr, line_, Severity::kError, kTxtTrailingInValue, quoted,
        ArgumentName(ArgName::kDestination, options_.japanese));
  } else if (IsBlank(destination[std::strlen(destination) - 1])) {
    Say(nullptr, line_, Severity::kWarning, kTxtDestinationBlanks);
  }
  if (!OnMedium(source)) return;
  FileStatus status;
  if (!medium_.GetStatus(source, &status) || (status.attributes & kAttrDirectory) != 0) {
    CheckMediumFile(source, Severity::kError, kTxtNotOnMedium);
    return;
  }
  // Each text once per selection: the macros it sees may differ between
  // lines, but its comments do not.
  bool japanese_failed = false;
  bool english_failed = false;
  int japanese_line = 0;
  int english_line = 0;
  int japanese_kind = 0;
  int english_kind = 0;
  if (code != kEnglishCopy)
    RunCopier(source, kJapanese, &japanese_failed, &japanese_line, &japanese_kind);
  if (code != kJapanCopy)
    RunCopier(source, kEnglish, &english_failed, &english_line, &english_kind);
  int said = text_diagnostics_;
  if (japanese_failed) {
    Say(source, japanese_line, Severity::kError, japanese_kind, kTextBufferSize - 1);
  } else if (english_failed) {
    Say(source, english_line, Severity::kError, english_kind, kTextBufferSize - 1);
  }
  if (texts_checked_.insert(source).second) CheckTextFile(source);
  // What was said at the text's lines: where in the script it is copied.
  if (text_diagnostics_ != said) Say(nullptr, line_, Severity::kNote, kTxtCopiedHere);
}

void Checker::RunCopier(const char* source, LanguageMode selection, bool* failed, int* line,
                        int* kind) {
  if (!copies_.insert({source, selection}).second) return;
  int errors = ui_.error_count;
  bool copied = CopyText(engine_, source, "NUL", selection);
  CloseSource(engine_);
  CloseDestination(engine_, !copied);
  CopyFailure failure = LastCopyFailure(engine_);
  if (copied || failure.fault == CopyFault::kNone || ui_.error_count == errors) return;
  *failed = true;
  *line = failure.line;
  switch (failure.fault) {
    case CopyFault::kLineTooLong:
      *kind = kTxtCopyLineTooLong;
      break;
    case CopyFault::kCommentTooLong:
      *kind = kTxtCommentTooLong;
      break;
    default:
      *kind = kTxtCommentNotClosed;
      break;
  }
}

}  // namespace setup
