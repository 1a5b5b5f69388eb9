// MakeDir, BinCopy and DiskCheck: the script commands that create folders,
// copy files byte for byte and wait for the right disk.
#include "actions/file_actions.h"

#include <cstdio>

#include "engine/messages.h"

namespace setup {
namespace {

// Room for any prompt cut out of an interpreter line, with the message around it.
constexpr int kDiskPromptSize = kWorkLineSize + sizeof(kMsgDiskPrompt);

// The C runtime's fopen("r") + fclose, as a probe.
bool CanOpen(FileSystem& files, const char* path) {
  FileHandle file = files.OpenRead(path);
  if (file == kNoFile) return false;
  files.Close(file);
  return true;
}

}  // namespace

bool MakeDirCommand(ScriptEngine& engine, char* arguments) {
  Arguments args;
  engine.ReadArguments(kMakeDir, arguments, &args);  // never fails: what follows is ignored
  const char* folder = args.text[0];
  if (folder[0] == '\0') {
    engine.ReportError(kMsgNoFolderName, engine.script_path, engine.line_number);
    return false;
  }
  if (!CreateFolder(engine, folder)) {
    engine.ReportError(kMsgDirCantMake, folder);
    return false;
  }
  return true;
}

bool BinCopyCommand(ScriptEngine& engine, char* arguments) {
  Arguments args;
  if (!engine.ReadArguments(kBinCopy, arguments, &args)) return false;
  const char* source = args.text[0];
  const char* destination = args.text[1];
  if (destination[0] == '\0') {
    engine.ReportError(kMsgNoCopyDest, engine.script_path, engine.line_number);
    return false;
  }
  ClearReadOnly(engine, destination);  // a failure here shows up as a failed copy
  if (!engine.platform().files->CopyFile(source, destination)) {
    engine.ReportError(kMsgCopyFailed, source, destination);
    return false;
  }
  return true;
}

bool DiskCheckCommand(ScriptEngine& engine, char* arguments) {
  Arguments args;
  if (!engine.ReadArguments(kDiskCheck, arguments, &args)) return false;
  return WaitForDisk(engine, args.text[0], args.text[1]);
}

bool CreateFolder(ScriptEngine& engine, const char* path) {
  // An existing file of that name counts as success too, as with
  // CreateDirectoryA's ERROR_ALREADY_EXISTS.
  return engine.platform().files->CreateFolder(path) != CreateFolderResult::kFailed;
}

bool ClearReadOnly(ScriptEngine& engine, const char* path) {
  FileSystem& files = *engine.platform().files;
  FileStatus status;
  if (!files.GetStatus(path, &status)) return true;  // nothing to clear
  if ((status.attributes & kAttrReadOnly) == 0) return true;
  // A folder too: the copy over it then fails with its own message.
  return files.SetAttributes(path, status.attributes & ~kAttrReadOnly);
}

bool WaitForDisk(ScriptEngine& engine, const char* file, const char* prompt) {
  char probe[kTextSize];
  int length = std::snprintf(probe, sizeof probe, "%s\\%s", engine.program_folder, file);
  // A probe path that does not fit counts as missing: a cut path could name
  // another file that happens to exist. The user can still cancel.
  bool fits = length >= 0 && length < kTextSize;
  FileSystem& files = *engine.platform().files;
  if (fits && CanOpen(files, probe)) return true;

  char text[kDiskPromptSize];
  std::snprintf(text, sizeof text, kMsgDiskPrompt, prompt);
  for (;;) {
    if (!engine.ui().PromptDisk(text)) {
      engine.ReportText(kMsgSetupStopped);
      return false;
    }
    if (fits && CanOpen(files, probe)) return true;
  }
}

}  // namespace setup
