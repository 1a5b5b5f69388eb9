// Placeholder: component registration is being written on its own branch.
#include "engine/script_engine.h"
namespace setup {
int ScriptEngine::RegsvrCommand(char*) { return 1; }
}  // namespace setup
