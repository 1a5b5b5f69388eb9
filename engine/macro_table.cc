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

namespace {

bool Starts(const MacroIndex& index, unsigned char byte) {
  return (index.starts[byte >> 5] >> (byte & 31)) & 1u;
}

// Up to four bytes of text as one word, stopping at its end: a name never
// holds a zero byte, so what lies behind the end is never compared.
unsigned Word(const char* text) {
  unsigned word = 0;
  for (int i = 0; i < 4 && text[i] != '\0'; ++i) {
    word |= static_cast<unsigned>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  return word;
}

}  // namespace

void IndexMacros(const MacroTable& table, MacroIndex* index) {
  for (unsigned& bits : index->starts) bits = 0;
  index->starts[0] = 1u;  // the terminating zero stops the copying loop too
  index->count = table.count;
  for (int i = 0; i < table.count; ++i) {
    const char* name = table.entries[i].name;
    unsigned mask = 0;
    for (int b = 0; b < 4 && name[b] != '\0'; ++b) mask |= 0xFFu << (8 * b);
    // An empty name never matches: an all-ones mask with a zero prefix can
    // only meet four zero bytes, which text never holds before its end.
    index->prefix_mask[i] = mask != 0 ? mask : ~0u;
    index->prefix[i] = Word(name);
    unsigned char first = static_cast<unsigned char>(name[0]);
    if (first != 0) index->starts[first >> 5] |= 1u << (first & 31);
  }
}

bool ExpandMacros(const MacroTable& table, const MacroIndex& index, const char* source,
                  char* dest, unsigned size, unsigned* length) {
  unsigned out = 0;
  const unsigned limit = size - 1;  // room for the terminator
  const unsigned char* p = reinterpret_cast<const unsigned char*>(source);
  bool fitted = true;
  for (;;) {
    // Bytes no name begins with are copied as they are.
    while (!Starts(index, *p)) {
      if (out >= limit) {
        fitted = false;
        break;
      }
      dest[out++] = static_cast<char>(*p++);
    }
    if (!fitted || *p == '\0') break;
    const MacroEntry* match = nullptr;
    size_t name_length = 0;
    unsigned word = Word(reinterpret_cast<const char*>(p));
    // The first entry in table order that matches wins, as without the index.
    for (int i = 0; i < index.count; ++i) {
      if ((word & index.prefix_mask[i]) != index.prefix[i]) continue;
      const char* name = table.entries[i].name;
      size_t n = 0;
      while (name[n] != '\0' && name[n] == static_cast<char>(p[n])) ++n;
      if (name[n] == '\0') {
        match = &table.entries[i];
        name_length = n;
        break;
      }
    }
    if (match != nullptr) {
      for (const char* v = match->value; *v != '\0'; ++v) {
        if (out >= limit) {
          fitted = false;
          break;
        }
        dest[out++] = *v;
      }
      if (!fitted) break;
      p += name_length;
    } else {
      if (out >= limit) {
        fitted = false;
        break;
      }
      dest[out++] = static_cast<char>(*p++);
    }
  }
  dest[out] = '\0';
  if (length != nullptr) *length = out;
  return fitted;
}

bool ExpandMacros(const MacroTable& table, const char* source, char* dest, unsigned size) {
  MacroIndex index;
  IndexMacros(table, &index);
  return ExpandMacros(table, index, source, dest, size);
}

}  // namespace setup
