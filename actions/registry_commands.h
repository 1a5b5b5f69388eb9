// The script commands that change the registry: SetRegistry and
// DeleteRegistry.
#pragma once

#include "engine/script_engine.h"

namespace setup {

// SetRegistry PATH DATA: writes DATA as a string value. kStop when the
// arguments are malformed (reported with the script line); a failed write
// is reported and the run goes on (kFailedGoOn); else kNextLine.
Outcome SetRegistryCommand(ScriptEngine& engine, char* arguments);
// DeleteRegistry PATH: deletes the value, or with a final backslash the
// key. False only when the path is malformed (reported); nothing else is
// reported.
bool DeleteRegistryCommand(ScriptEngine& engine, char* arguments);

}  // namespace setup
