// The script commands that change the registry (SetRegistry, DeleteRegistry).
#include "actions/registry_commands.h"

#include "engine/messages.h"
#include "engine/registry_access.h"

namespace setup {

Outcome SetRegistryCommand(ScriptEngine& engine, char* arguments) {
  Arguments args;
  if (!engine.ReadArguments(kSetRegistry, arguments, &args)) return Outcome::kStop;
  const char* path = args.text[0];
  const char* data = args.text[1];
  if (!WriteRegistryString(*engine.platform().registry, engine.lead_bytes, path, data, kRegSz)) {
    engine.ReportError(kMsgRegistryWrite, path, data);
    return Outcome::kFailedGoOn;  // reported; the run goes on
  }
  return Outcome::kNextLine;
}

bool DeleteRegistryCommand(ScriptEngine& engine, char* arguments) {
  Arguments args;
  if (!engine.ReadArguments(kDeleteRegistry, arguments, &args)) return false;
  // Nothing is reported about the deletion itself; the run goes on.
  DeleteRegistryEntry(*engine.platform().registry, engine.lead_bytes, args.text[0]);
  return true;
}

}  // namespace setup
