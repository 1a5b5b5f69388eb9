// Registry paths of the script ("HKEY_LOCAL_MACHINE\Software\App\Value")
// and the six operations the engine performs with them. None of them shows
// anything; callers decide what a failure means.
#pragma once

#include "engine/lexicon.h"
#include "platform/registry.h"

namespace setup {

inline constexpr int kRegistryTextSize = 256;

struct RootKeyEntry {
  const char* prefix;  // exact bytes, final backslash included
  RootKey root;
};

// The accepted root prefixes, in the order they are tried.
extern const RootKeyEntry kRootKeyTable[5];

struct RegistryPath {
  RootKey root;
  char key_path[kRegistryTextSize];
  char value_name[kRegistryTextSize];
};

// Every function below steps over the double-byte characters that lead
// marks: their second byte is never a backslash.

// Splits text into root, key path and value name; false when no root prefix
// matches or the remainder does not fit 255 bytes.
bool ParseRegistryPath(const LeadBytes& lead, const char* text, RegistryPath* path);
// What a key is opened for. A key that is only read or tested is asked for
// read access alone: many keys an administrator may read are not writable
// (system-owned ones, much of HKEY_CLASSES_ROOT), and asking for more would
// make them read as missing.
enum class KeyUse { kRead, kWrite, kCreate };

// Walks key_path below root one name at a time, creating missing keys for
// kCreate; 0 when any step fails. The caller closes the key.
RegKey OpenRegistryKey(Registry& registry, const LeadBytes& lead, RootKey root,
                       const char* key_path, KeyUse use);
// The value's bytes up to the first zero, as text, into dest (size bytes);
// empty when anything fails. Never overruns dest.
void ReadRegistryString(Registry& registry, const LeadBytes& lead, const char* path, char* dest,
                        int size);
// Creates the key path and sets the value (data with its terminator).
bool WriteRegistryString(Registry& registry, const LeadBytes& lead, const char* path,
                         const char* data, unsigned type);
// Deletes the value, or with an empty value name the key; true when the key
// could be opened.
bool DeleteRegistryEntry(Registry& registry, const LeadBytes& lead, const char* path);
// True when the key the whole text names can be opened.
bool RegistryKeyExists(Registry& registry, const LeadBytes& lead, const char* path);

}  // namespace setup
