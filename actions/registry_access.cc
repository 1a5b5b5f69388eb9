// Placeholder: registry access is being written on its own branch.
#include "actions/registry_access.h"
namespace setup {
void ReadRegistryString(Registry&, const char*, char* dest, int) { dest[0] = '\0'; }
bool RegistryKeyExists(Registry&, const char*) { return false; }
}  // namespace setup
