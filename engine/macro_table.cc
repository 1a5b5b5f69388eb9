// Defining and expanding macros.
#include "engine/macro_table.h"

#include <cstring>

namespace setup {

DefineResult DefineMacro(MacroTable& table, const char* name, const char* value) {
  size_t value_length = std::strlen(value);
  if (std::strlen(name) >= kMacroTextSize || value_length >= kMacroTextSize) {
    return DefineResult::kTooLong;
  }
  for (int i = 0; i < table.count; ++i) {
    if (std::strcmp(table.entries[i].name, name) == 0) {
      std::memcpy(table.entries[i].value, value, value_length + 1);
      return DefineResult::kStored;
    }
  }
  if (table.count >= kMaxMacros) return DefineResult::kTableFull;
  MacroEntry& entry = table.entries[table.count++];
  std::memcpy(entry.name, name, std::strlen(name) + 1);
  std::memcpy(entry.value, value, value_length + 1);
  return DefineResult::kStored;
}

bool ExpandMacros(const MacroTable& table, const char* source, char* dest, unsigned size) {
  unsigned out = 0;
  const unsigned limit = size - 1;  // room for the terminator
  const char* p = source;
  while (*p != '\0') {
    const MacroEntry* match = nullptr;
    size_t name_length = 0;
    for (int i = 0; i < table.count; ++i) {
      const char* name = table.entries[i].name;
      if (name[0] != *p || name[0] == '\0') continue;
      size_t n = 1;
      while (name[n] != '\0' && name[n] == p[n]) ++n;
      if (name[n] == '\0') {
        match = &table.entries[i];
        name_length = n;
        break;
      }
    }
    if (match != nullptr) {
      for (const char* v = match->value; *v != '\0'; ++v) {
        if (out >= limit) {
          dest[out] = '\0';
          return false;
        }
        dest[out++] = *v;
      }
      p += name_length;
    } else {
      if (out >= limit) {
        dest[out] = '\0';
        return false;
      }
      dest[out++] = *p++;
    }
  }
  dest[out] = '\0';
  return true;
}

}  // namespace setup
