// The script commands that change the registry (SetRegistry, DeleteRegistry).
#include "actions/registry_commands.h"

#include "engine/messages.h"
#include "engine/registry_access.h"

namespace setup {

bool SetRegistryCommand(ScriptEngine& engine, char* arguments) {
  char* path = arguments;
  char* data = engine.NextArg(&path, true);
  if (data == nullptr) return false;  // reported by NextArg; the run stops
  // The data must be followed by a blank like any unquoted argument, although
  // it is the last one; whatever follows it is ignored.
  if (engine.NextArg(&data, true) == nullptr) return false;
  if (!WriteRegistryString(*engine.platform().registry, engine.lead_bytes, path, data, kRegSz)) {
    engine.ReportError(kMsgRegistryWrite, path, data);
  }
  return true;  // a failed write is reported, and the run goes on
}

bool DeleteRegistryCommand(ScriptEngine& engine, char* arguments) {
  char* path = arguments;
  if (engine.NextArg(&path, true) == nullptr) return false;
  // Nothing is reported about the deletion itself; the run goes on.
  DeleteRegistryEntry(*engine.platform().registry, engine.lead_bytes, path);
  return true;
}

}  // namespace setup
