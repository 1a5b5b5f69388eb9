// Placeholder: the registry commands are being written on their own branch.
#include "engine/script_engine.h"
namespace setup {
int ScriptEngine::SetRegistryCommand(char*) { return 1; }
int ScriptEngine::DeleteRegistryCommand(char*) { return 1; }
int ScriptEngine::ParseRegistrySetupDir(char*, char* folder, char** next) {
  folder[0] = '\0';
  *next = nullptr;
  return 0;
}
}  // namespace setup
