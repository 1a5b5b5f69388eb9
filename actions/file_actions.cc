// Placeholder: the file actions are being written on their own branch.
#include "engine/script_engine.h"
namespace setup {
int ScriptEngine::MakeDir(char*) { return 1; }
int ScriptEngine::BinCopy(char*) { return 1; }
int ScriptEngine::DiskCheck(char*) { return 1; }
}  // namespace setup
