// The Regsvr command: registers a COM component in process through its
// DllRegisterServer export, or else as a self-registering program run with
// "/regserver".
#include "actions/registration.h"

#include <cstdio>
#include <cstring>

#include "engine/messages.h"

namespace setup {
namespace {

constexpr char kRegisterExport[] = "DllRegisterServer";
constexpr char kRegisterSwitch[] = "/regserver";
// A quoted path of a whole work line, a blank and the switch.
constexpr int kCommandLineSize = kWorkLineSize + 16;

// Stores the drive and folder part of path, with its trailing backslash, in
// folder (size bytes); empty when path has neither. False, with folder
// empty, when the part does not fit.
bool FolderOf(const LeadBytes& lead, const char* path, char* folder, int size) {
  int end = 0;
  for (int i = 0; path[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    // The second byte of a double-byte character may be 0x5C; it is no
    // separator.
    if (IsLeadByte(lead, c) && path[i + 1] != '\0') {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/' || (c == ':' && i == 1)) end = i + 1;
  }
  if (end >= size) {
    folder[0] = '\0';
    return false;
  }
  std::memcpy(folder, path, static_cast<size_t>(end));
  folder[end] = '\0';
  return true;
}

}  // namespace

bool RegsvrCommand(ScriptEngine& engine, char* arguments) {
  Arguments args;
  // A missing or malformed path has been reported with the script line.
  if (!engine.ReadArguments(kRegsvr, arguments, &args)) return false;
  return RegisterComponent(engine, args.text[0]);
}

bool RegisterComponent(ScriptEngine& engine, const char* path) {
  if (RegisterInProcess(engine, path)) return true;
  char folder[kTextSize];
  // A folder part longer than 255 bytes cannot be handed over as the
  // program's current folder; the program is then not started at all rather
  // than started in a folder that is not its own.
  if (FolderOf(engine.lead_bytes, path, folder, kTextSize) &&
      RunAndWait(engine, path, folder, kRegisterSwitch)) {
    return true;
  }
  char text[kTextSize + kCommandLineSize];
  std::snprintf(text, sizeof text, kMsgCantRegister, path);
  char message[kTextSize];
  CopyBounded(engine.lead_bytes, message, sizeof message, text);
  engine.ui().ShowTopmostError(message);
  return false;
}

bool RegisterInProcess(ScriptEngine& engine, const char* path) {
  Components* components = engine.platform().components;
  ModuleHandle module = components->LoadModule(path);
  if (module == 0) return false;
  long status = -1;
  bool called = components->CallExport(module, kRegisterExport, &status);
  components->FreeModule(module);
  // Only S_OK counts; S_FALSE and every error send the caller on to the
  // process route.
  return called && status == 0;
}

bool RunAndWait(ScriptEngine& engine, const char* program, const char* folder,
                const char* arguments) {
  char command_line[kCommandLineSize];
  int length =
      (arguments != nullptr && arguments[0] != '\0')
          ? std::snprintf(command_line, sizeof command_line, "\"%s\" %s", program, arguments)
          : std::snprintf(command_line, sizeof command_line, "\"%s\"", program);
  // A command line that would be cut names another program; it is not run.
  if (length < 0 || length >= kCommandLineSize) return false;
  Components* components = engine.platform().components;
  ProcessHandle process = components->StartProcess(command_line, folder);
  if (process == 0) return false;
  // The setup dialog keeps painting and its controls keep reacting while the
  // program runs; the front end ignores its buttons while a run is going on.
  while (!components->HasEnded(process)) {
    engine.ui().KeepResponsive();
    components->Sleep(1);
  }
  components->CloseProcess(process);
  return true;
}

}  // namespace setup
