// Start-up: the start-up macros, the program folder, loading Setup.Inf into
// the line store with its pre-scan, and the hand-over to the setup dialog.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/messages.h"
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

}  // namespace

ScriptEngine::ScriptEngine(const Platform& platform, SetupUi& ui) : platform_(platform), ui_(ui) {
  bool lead[256];
  for (int i = 0; i < 256; ++i) {
    lead[i] =
        platform_.system != nullptr && platform_.system->IsLeadByte(static_cast<unsigned char>(i));
  }
  SetLeadBytes(lead);
  line[0] = expanded[0] = '\0';
}

void ScriptEngine::ReportError(const char* format, ...) {
  char message[kTextSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  message[kTextSize - 1] = '\0';  // some C runtimes leave a cut message unterminated
  // A message cut at its 255th byte may end in half a double-byte character.
  for (int i = 0; message[i] != '\0'; ++i) {
    if (IsLeadByte(static_cast<unsigned char>(message[i]))) {
      if (message[i + 1] == '\0') {
        message[i] = '\0';
        break;
      }
      ++i;
    }
  }
  ui_.ShowError(message);
}

bool ScriptEngine::InitInstance() {
  macros.count = 0;
  char folder[kTextSize];
  unsigned n = platform_.system->GetWindowsDirectory(folder, kTextSize);
  if (n == 0 || n >= kTextSize) {
    ReportError("%s", kMsgNoWindows);
    return false;
  }
  DefineMacro(macros, "$$WINDOWS$$", folder);
  n = platform_.system->GetSystemDirectory(folder, kTextSize);
  if (n == 0 || n >= kTextSize) {
    ReportError("%s", kMsgNoWindows);
    return false;
  }
  DefineMacro(macros, "$$SYSTEM$$", folder);
  if (!FindProgramFolder()) return false;
  DefineMacro(macros, "$$FD$$", program_folder);
  if (LoadScript() != 0) return false;

  char folder1[kTextSize];
  char folder2[kTextSize];
  if (!ExpandMacros(macros, params.folder1, folder1, kTextSize)) {
    ReportError(kMsgFolderExpansionTooLong, params.folder1, kTextSize - 1);
    return false;
  }
  if (!ExpandMacros(macros, params.folder2, folder2, kTextSize)) {
    ReportError(kMsgFolderExpansionTooLong, params.folder2, kTextSize - 1);
    return false;
  }
  ui_.RunSetupDialog(folder1, folder2);
  return false;
}

bool ScriptEngine::FindProgramFolder() {
  char path[kTextSize];
  char drive[3];
  char folder[kTextSize];
  if (!platform_.system->GetProgramPath(path, kTextSize) ||
      !SplitDriveAndFolder(path, drive, folder, kTextSize - 2)) {
    ReportError(kMsgProgramFolderTooLong, path);
    return false;
  }
  StripTrailingBackslash(folder);
  std::strcpy(program_folder, drive);  // fits: the folder part left room for it
  std::strcat(program_folder, folder);
  return true;
}

int ScriptEngine::LoadScript() {
  static const char kName[] = "\\Setup.Inf";
  if (std::strlen(program_folder) + sizeof kName > sizeof script_path) {
    ReportError(kMsgProgramFolderTooLong, program_folder);
    return 1;
  }
  std::strcpy(script_path, program_folder);  // fits: measured above
  std::strcat(script_path, kName);
  FileSystem* files = platform_.files;
  FileHandle file = files->OpenRead(script_path);
  if (file == kNoFile) {
    ReportError(kMsgCantOpenScript, script_path);
    return 1;
  }
  TextReader reader;
  TextReaderStart(reader, files, file);
  int result = LoadLines(reader);
  files->Close(file);
  return result;
}

int ScriptEngine::LoadScriptText(const char* bytes, int size) {
  MemoryFile memory(bytes, size);
  TextReader reader;
  TextReaderStart(reader, &memory, 1);
  return LoadLines(reader);
}

int ScriptEngine::LoadLines(TextReader& reader) {
  lines.end = lines.cursor = lines.line_count = 0;
  char text[kStoredLineSize];
  while (TextReaderReadLine(reader, text, kStoredLineSize) >= 0) {
    // A zero byte inside the line ends it; a final line feed is dropped.
    int length = static_cast<int>(std::strlen(text));
    if (length > 0 && text[length - 1] == '\n') text[--length] = '\0';
    line_number = lines.line_count + 1;
    if (lines.end + length + 1 > kLineStoreSize) {
      ReportError(kMsgScriptTooLarge, script_path, line_number, kLineStoreSize);
      return 1;
    }
    std::memcpy(lines.storage + lines.end, text, static_cast<size_t>(length) + 1);
    if (PrescanLine(lines.storage + lines.end) != 0) return 1;
    lines.end += length + 1;
    ++lines.line_count;
  }
  return 0;
}

int ScriptEngine::PrescanLine(const char* stored) {
  const char* text = stored;
  while (IsBlank(*text)) ++text;
  char* rest = nullptr;
  switch (ClassifyLine(text, &rest)) {
    case kSetupDir:
      return ParseSetupDir(rest, params.folder1, params.label1);
    case kSetupDir2:
      params.folder_count = 2;
      return ParseSetupDir(rest, params.folder2, params.label2);
    case kWindowTitle:
      CopyBounded(params.window_title, kTextSize, rest);  // a long title is cut
      return 0;
    default:
      return 0;
  }
}

int ScriptEngine::ParseSetupDir(const char* arguments, char* folder, char* label) {
  char copy[kStoredLineSize];
  CopyBounded(copy, sizeof copy, arguments);
  char* cursor = copy;
  char* next = nullptr;
  if (ClassifyLine(copy, &cursor) == kRegistry) {
    char value[kTextSize];
    if (ParseRegistrySetupDir(cursor, value, &next) != 0) return 1;
    std::memcpy(folder, value, std::strlen(value) + 1);
  } else {
    next = NextArg(&cursor, false);
    // Without a blank behind it the folder is the rest of the line.
    if (std::strlen(cursor) >= kTextSize) {
      ReportError(kMsgFolderTooLong, script_path, line_number, kTextSize - 1);
      return 1;
    }
    std::memcpy(folder, cursor, std::strlen(cursor) + 1);
  }
  if (next != nullptr && *next != '\0') {
    char* label_text = next;
    NextArg(&label_text, false);
    CopyBounded(label, kTextSize, label_text);  // a long label is cut
  }
  return 0;
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
