// MakeDir, BinCopy and DiskCheck: the script commands that create folders,
// copy files byte for byte and wait for the right disk.
#include <cstdio>

#include "engine/messages.h"
#include "engine/script_engine.h"

namespace setup {
namespace {

// Room for any prompt cut out of an interpreter line, with the message around it.
constexpr int kDiskPromptSize = kWorkLineSize + sizeof(kMsgDiskPrompt);

// Cuts the next argument in quiet mode: when the line ends first, the
// argument is the rest of the line (behind an opening quote, if any).
// Whatever follows it is ignored by the callers.
char* QuietArg(ScriptEngine& engine, char* start) {
  char* argument = start;
  engine.NextArg(&argument, false);
  return argument;
}

// The C runtime's fopen("r") + fclose, as a probe.
bool CanOpen(FileSystem& files, const char* path) {
  FileHandle file = files.OpenRead(path);
  if (file == kNoFile) return false;
  files.Close(file);
  return true;
}

}  // namespace

int ScriptEngine::MakeDir(char* arguments) {
  char* folder = QuietArg(*this, arguments);
  if (folder[0] == '\0') {
    ReportError(kMsgNoFolderName, script_path, line_number);
    return 1;
  }
  if (!CreateFolder(folder)) {
    ReportError(kMsgDirCantMake, folder);
    return 1;
  }
  return 0;
}

int ScriptEngine::BinCopy(char* arguments) {
  char* source = arguments;
  char* rest = NextArg(&source, true);
  if (rest == nullptr) return 1;  // reported by NextArg
  char* destination = QuietArg(*this, rest);
  if (destination[0] == '\0') {
    ReportError(kMsgNoCopyDest, script_path, line_number);
    return 1;
  }
  ClearReadOnly(destination);  // a failure here shows up as a failed copy
  if (!platform().files->CopyFile(source, destination)) {
    ReportError(kMsgCopyFailed, source, destination);
    return 1;
  }
  return 0;
}

int ScriptEngine::DiskCheck(char* arguments) {
  char* file = arguments;
  char* prompt = NextArg(&file, true);
  if (prompt == nullptr) return 1;  // reported by NextArg
  return WaitForDisk(file, prompt);
}

bool ScriptEngine::CreateFolder(const char* path) {
  // An existing file of that name counts as success too, as with
  // CreateDirectoryA's ERROR_ALREADY_EXISTS.
  return platform().files->CreateFolder(path) != CreateFolderResult::kFailed;
}

bool ScriptEngine::ClearReadOnly(const char* path) {
  FileStatus status;
  if (!platform().files->GetStatus(path, &status)) return true;  // nothing to clear
  if ((status.attributes & kAttrReadOnly) == 0) return true;
  // A folder too: the copy over it then fails with its own message.
  return platform().files->SetAttributes(path, status.attributes & ~kAttrReadOnly);
}

int ScriptEngine::WaitForDisk(const char* file, const char* prompt) {
  char probe[kTextSize];
  int length = std::snprintf(probe, sizeof probe, "%s\\%s", program_folder, file);
  // A probe path that does not fit counts as missing: a cut path could name
  // another file that happens to exist. The user can still cancel.
  bool fits = length >= 0 && length < kTextSize;
  FileSystem& files = *platform().files;
  if (fits && CanOpen(files, probe)) return 0;

  char text[kDiskPromptSize];
  std::snprintf(text, sizeof text, kMsgDiskPrompt, prompt);
  for (;;) {
    if (!ui().PromptDisk(text)) {
      ReportError("%s", kMsgSetupStopped);
      return 1;
    }
    if (fits && CanOpen(files, probe)) return 0;
  }
}

}  // namespace setup
