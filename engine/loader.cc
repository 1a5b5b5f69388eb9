// Start-up: the start-up macros, the program folder, loading Setup.Inf into
// the line store with its pre-scan (the Registry form of SetupDir included),
// and the hand-over to the setup dialog.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/messages.h"
#include "engine/registry_access.h"
#include "engine/script_engine.h"
#include "engine/text_reader.h"

namespace setup {
namespace {

// A FileSystem over bytes in memory, so script text given directly goes
// through the same reading code as a file.
class MemoryFile : public FileSystem {
 public:
  MemoryFile(const char* bytes, int size) : bytes_(bytes), size_(size) {}
  FileHandle OpenRead(const char*) override { return 1; }
  long Read(FileHandle, void* buffer, unsigned long size) override {
    unsigned long n = static_cast<unsigned long>(size_ - position_);
    if (n > size) n = size;
    std::memcpy(buffer, bytes_ + position_, n);
    position_ += static_cast<int>(n);
    return static_cast<long>(n);
  }
  bool Write(FileHandle, const void*, unsigned long) override { return false; }
  void Close(FileHandle) override {}
  FileHandle CreateReplacement(const char*) override { return kNoFile; }
  bool CommitReplacement(FileHandle) override { return false; }
  void AbandonReplacement(FileHandle) override {}
  CreateFolderResult CreateFolder(const char*) override { return CreateFolderResult::kFailed; }
  bool CopyFile(const char*, const char*) override { return false; }
  bool GetStatus(const char*, FileStatus*) override { return false; }
  bool SetAttributes(const char*, unsigned) override { return false; }

 private:
  const char* bytes_;
  int size_;
  int position_ = 0;
};

// Marks which bytes of the message that format and args make are the
// program's own text: the format's bytes and the numbers it formats, but not
// what a %s brings (a path, a line of the script). The messages use %s and
// %d alone; any other conversion ends the marking, and the rest counts as
// the machine's text.
void MarkOwnText(const char* format, va_list args, bool* own, int size) {
  int n = 0;
  for (const char* f = format; *f != '\0' && n < size; ++f) {
    if (*f != '%' || f[1] == '%') {
      own[n++] = true;
      if (*f == '%') ++f;
      continue;
    }
    ++f;
    int length = 0;
    bool mark = true;
    if (*f == 's') {
      const char* text = va_arg(args, const char*);
      length = static_cast<int>(std::strlen(text));
      mark = false;
    } else if (*f == 'd') {
      char number[16];
      length = std::snprintf(number, sizeof number, "%d", va_arg(args, int));
    } else {
      break;
    }
    for (int i = 0; i < length && n < size; ++i) own[n++] = mark;
  }
  while (n < size) own[n++] = false;
}

}  // namespace

ScriptEngine::ScriptEngine(const Platform& platform, SetupUi& ui) : platform_(platform), ui_(ui) {
  for (int i = 0; i < 256; ++i) {
    lead_bytes.is_lead[i] =
        platform_.system != nullptr && platform_.system->IsLeadByte(static_cast<unsigned char>(i));
  }
  line[0] = expanded[0] = '\0';
}

void ScriptEngine::ReportError(const char* format, ...) {
  char message[kTextSize];
  bool own[kTextSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  va_start(args, format);
  MarkOwnText(format, args, own, kTextSize);
  va_end(args);
  ShowReport(message, own, format);
}

void ScriptEngine::ReportText(const char* text) {
  char message[kTextSize];
  bool own[kTextSize];
  std::snprintf(message, sizeof message, "%s", text);
  for (bool& mark : own) mark = true;
  ShowReport(message, own, text);
}

void ScriptEngine::ShowReport(char* message, const bool* own, const char* format) {
  message[kTextSize - 1] = '\0';  // some C runtimes leave a cut message unterminated
  // A message cut at its 255th byte may end in half a double-byte character.
  for (int i = 0; message[i] != '\0'; ++i) {
    if (IsLeadByte(lead_bytes, static_cast<unsigned char>(message[i]))) {
      if (message[i + 1] == '\0') {
        message[i] = '\0';
        break;
      }
      ++i;
    }
  }
  ui_.ShowEngineError(EngineError{message, own, format, line_number});
}

SetupResult ScriptEngine::InitInstance() {
  macros.count = 0;
  char folder[kTextSize];
  unsigned n = platform_.system->GetWindowsDirectory(folder, kTextSize);
  if (n == 0 || n >= kTextSize) {
    ReportText(kMsgNoWindows);
    return SetupResult::kNotStarted;
  }
  DefineMacro(macros, "$$WINDOWS$$", folder);
  n = platform_.system->GetSystemDirectory(folder, kTextSize);
  if (n == 0 || n >= kTextSize) {
    ReportText(kMsgNoWindows);
    return SetupResult::kNotStarted;
  }
  DefineMacro(macros, "$$SYSTEM$$", folder);
  if (!FindProgramFolder()) return SetupResult::kNotStarted;
  DefineMacro(macros, "$$FD$$", program_folder);
  if (!LoadScript()) return SetupResult::kNotStarted;

  char folder1[kTextSize];
  char folder2[kTextSize];
  if (!ExpandMacros(macros, params.folder1, folder1, kTextSize)) {
    ReportError(kMsgFolderExpansionTooLong, params.folder1, kTextSize - 1);
    return SetupResult::kNotStarted;
  }
  if (!ExpandMacros(macros, params.folder2, folder2, kTextSize)) {
    ReportError(kMsgFolderExpansionTooLong, params.folder2, kTextSize - 1);
    return SetupResult::kNotStarted;
  }
  ui_.RunSetupDialog(folder1, folder2);
  if (!run_started_) return SetupResult::kCancelled;
  return run_completed_ ? SetupResult::kCompleted : SetupResult::kStopped;
}

bool ScriptEngine::FindProgramFolder() {
  char path[kTextSize];
  char drive[3];
  char folder[kTextSize];
  if (!platform_.system->GetProgramPath(path, kTextSize) ||
      !SplitDriveAndFolder(lead_bytes, path, drive, folder, kTextSize - 2)) {
    ReportError(kMsgProgramFolderTooLong, path);
    return false;
  }
  StripTrailingBackslash(lead_bytes, folder);
  std::strcpy(program_folder, drive);  // fits: the folder part left room for it
  std::strcat(program_folder, folder);
  return true;
}

bool ScriptEngine::LoadScript() {
  static const char kName[] = "\\Setup.Inf";
  if (std::strlen(program_folder) + sizeof kName > sizeof script_path) {
    ReportError(kMsgProgramFolderTooLong, program_folder);
    return false;
  }
  std::strcpy(script_path, program_folder);  // fits: measured above
  std::strcat(script_path, kName);
  FileSystem* files = platform_.files;
  FileHandle file = files->OpenRead(script_path);
  if (file == kNoFile) {
    ReportError(kMsgCantOpenScript, script_path);
    return false;
  }
  TextReader reader;
  TextReaderStart(reader, files, file);
  bool loaded = LoadLines(reader);
  files->Close(file);
  return loaded;
}

bool ScriptEngine::LoadScriptText(const char* bytes, int size) {
  MemoryFile memory(bytes, size);
  TextReader reader;
  TextReaderStart(reader, &memory, 1);
  return LoadLines(reader);
}

bool ScriptEngine::LoadLines(TextReader& reader) {
  lines.end = lines.cursor = lines.line_count = 0;
  char text[kStoredLineSize];
  for (;;) {
    bool got = TextReaderReadLine(reader, text, kStoredLineSize) >= 0;
    // A read error cuts the script short: its last line may be cut too, and
    // running a cut script would report success for a failure. Nothing runs.
    if (reader.error) {
      ReportError(kMsgCantOpenScript, script_path);
      return false;
    }
    if (!got) break;
    // A zero byte inside the line ends it; a final line feed is dropped.
    int length = static_cast<int>(std::strlen(text));
    if (length > 0 && text[length - 1] == '\n') text[--length] = '\0';
    line_number = lines.line_count + 1;
    if (lines.end + length + 1 > kLineStoreSize) {
      ReportError(kMsgScriptTooLarge, script_path, line_number, kLineStoreSize);
      return false;
    }
    std::memcpy(lines.storage + lines.end, text, static_cast<size_t>(length) + 1);
    if (!PrescanLine(lines.storage + lines.end)) return false;
    lines.end += length + 1;
    ++lines.line_count;
  }
  return true;
}

bool ScriptEngine::PrescanLine(const char* stored) {
  const char* text = stored;
  while (IsBlank(*text)) ++text;
  // SetupDir, SetupDir2 and WindowTitle alone matter here: a line beginning
  // with another letter is passed over without the walk of the keywords.
  unsigned char first = ToUpperAscii(static_cast<unsigned char>(*text));
  if (first != 'S' && first != 'W') return true;
  char* rest = nullptr;
  switch (ClassifyLine(text, &rest)) {
    case kSetupDir:
      return ParseSetupDir(rest, params.folder1, params.label1);
    case kSetupDir2:
      params.folder_count = 2;
      return ParseSetupDir(rest, params.folder2, params.label2);
    case kWindowTitle:
      CopyBounded(lead_bytes, params.window_title, kTextSize, rest);  // a long title is cut
      return true;
    default:
      return true;
  }
}

bool ScriptEngine::ParseSetupDir(const char* arguments, char* folder, char* label) {
  char copy[kStoredLineSize];
  CopyBounded(lead_bytes, copy, sizeof copy, arguments);
  char* cursor = copy;
  char* next = nullptr;
  if (ClassifyLine(copy, &cursor) == kRegistry) {
    char value[kTextSize];
    if (!ParseRegistrySetupDir(cursor, value, &next)) return false;
    std::memcpy(folder, value, std::strlen(value) + 1);
  } else {
    next = NextArg(&cursor, false);
    // Without a blank behind it the folder is the rest of the line.
    if (std::strlen(cursor) >= kTextSize) {
      ReportError(kMsgFolderTooLong, script_path, line_number, kTextSize - 1);
      return false;
    }
    std::memcpy(folder, cursor, std::strlen(cursor) + 1);
  }
  if (next != nullptr && *next != '\0') {
    char* label_text = next;
    NextArg(&label_text, false);
    CopyBounded(lead_bytes, label, kTextSize, label_text);  // a long label is cut
  }
  return true;
}

bool ScriptEngine::ParseRegistrySetupDir(char* cursor, char* folder, char** next) {
  *next = nullptr;
  char* path = cursor;
  char* default_folder = NextArg(&path, true);
  // A malformed path has been reported with the script line; like every
  // failure of the pre-scan it ends the loading.
  if (default_folder == nullptr) return false;
  // Quiet: a default folder at the end of the line (no blank after it) is the
  // rest of the line, and nothing follows it.
  *next = NextArg(&default_folder, false);

  // Twice the field, so that a value that does not fit is seen as such even
  // when the bounded copy stops short of a double-byte character.
  char value[kTextSize * 2];
  ReadRegistryString(*platform_.registry, lead_bytes, path, value, sizeof value);
  const char* chosen = default_folder;
  if (value[0] != '\0') {
    StripTrailingBackslash(lead_bytes, value);
    chosen = value;
  }
  // A folder that does not fit is refused rather than cut, since a cut folder
  // would install somewhere else; as with the plain form, loading ends.
  size_t length = std::strlen(chosen);
  if (length >= static_cast<size_t>(kTextSize)) {
    ReportError(kMsgFolderTooLong, script_path, line_number, kTextSize - 1);
    return false;
  }
  std::memcpy(folder, chosen, length + 1);
  return true;
}

char* ScriptEngine::NextLine(char* dest, int size, bool* too_long) {
  *too_long = false;
  if (lines.cursor >= lines.end) return nullptr;
  const char* stored = lines.storage + lines.cursor;
  int length = static_cast<int>(std::strlen(stored));
  if (length >= size) {
    *too_long = true;
    return nullptr;
  }
  std::memcpy(dest, stored, static_cast<size_t>(length) + 1);
  lines.cursor += length + 1;
  return dest;
}

}  // namespace setup
