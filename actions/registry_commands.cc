// The script commands that change the registry (SetRegistry, DeleteRegistry)
// and the Registry form of the SetupDir and SetupDir2 lines.
#include <cstring>

#include "actions/registry_access.h"
#include "engine/lexicon.h"
#include "engine/messages.h"
#include "engine/script_engine.h"

namespace setup {

int ScriptEngine::SetRegistryCommand(char* arguments) {
  char* path = arguments;
  char* data = NextArg(&path, true);
  if (data == nullptr) return 1;  // reported by NextArg; the run stops
  // The data must be followed by a blank like any unquoted argument, although
  // it is the last one; whatever follows it is ignored.
  if (NextArg(&data, true) == nullptr) return 1;
  if (!WriteRegistryString(*platform().registry, path, data, kRegSz)) {
    ReportError(kMsgRegistryWrite, path, data);
  }
  return 0;  // a failed write is reported, and the run goes on
}

int ScriptEngine::DeleteRegistryCommand(char* arguments) {
  char* path = arguments;
  if (NextArg(&path, true) == nullptr) return 1;
  // Nothing is reported about the deletion itself; the run goes on.
  DeleteRegistryEntry(*platform().registry, path);
  return 0;
}

int ScriptEngine::ParseRegistrySetupDir(char* cursor, char* folder, char** next) {
  *next = nullptr;
  char* path = cursor;
  char* default_folder = NextArg(&path, true);
  // A malformed path has been reported with the script line; like every
  // failure of the pre-scan it ends the loading.
  if (default_folder == nullptr) return 1;
  // Quiet: a default folder at the end of the line (no blank after it) is the
  // rest of the line, and nothing follows it.
  *next = NextArg(&default_folder, false);

  // Twice the field, so that a value that does not fit is seen as such even
  // when the bounded copy stops short of a double-byte character.
  char value[kTextSize * 2];
  ReadRegistryString(*platform().registry, path, value, sizeof value);
  const char* chosen = default_folder;
  if (value[0] != '\0') {
    StripTrailingBackslash(value);
    chosen = value;
  }
  // A folder that does not fit is refused rather than cut, since a cut folder
  // would install somewhere else; as with the plain form, loading ends.
  size_t length = std::strlen(chosen);
  if (length >= static_cast<size_t>(kTextSize)) {
    ReportError(kMsgFolderTooLong, script_path, line_number, kTextSize - 1);
    return 1;
  }
  std::memcpy(folder, chosen, length + 1);
  return 0;
}

}  // namespace setup
