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

// Up to four bytes of text as one word, stopping at its end: a name never
// holds a zero byte, so what lies behind the end is never compared.
unsigned Word(const unsigned char* text) {
  unsigned word = 0;
  for (int i = 0; i < 4 && text[i] != '\0'; ++i) word |= static_cast<unsigned>(text[i]) << (8 * i);
  return word;
}

int Bucket(unsigned word) { return static_cast<int>((word * 2654435761u) >> 26); }  // 64 buckets

// True when name stands at p; *length gets its length then.
bool NameAt(const char* name, const unsigned char* p, size_t* length) {
  size_t n = 0;
  while (name[n] != '\0' && name[n] == static_cast<char>(p[n])) ++n;
  *length = n;
  return name[n] == '\0';
}

}  // namespace

void IndexMacros(const MacroTable& table, MacroIndex* index) {
  for (bool& starts : index->starts) starts = false;
  index->starts[0] = true;  // the terminating zero stops the copying loop too
  for (short& head : index->bucket) head = -1;
  index->short_count = 0;
  index->single_start = -1;
  index->several_starts = false;
  index->count = 0;
  IndexNewMacros(table, index);
}

void IndexNewMacros(const MacroTable& table, MacroIndex* index) {
  static_assert(kMaxMacros < 32768, "entry numbers fit a short");
  static_assert(kMacroBuckets == 64, "Bucket() keeps six bits");
  for (int i = index->count; i < table.count; ++i) {
    const unsigned char* name = reinterpret_cast<const unsigned char*>(table.entries[i].name);
    if (name[0] == '\0') continue;  // an empty name never matches
    index->starts[name[0]] = true;
    if (!index->several_starts && index->single_start < 0) {
      index->single_start = name[0];
    } else if (index->single_start != name[0]) {
      index->several_starts = true;
      index->single_start = -1;
    }
    if (name[1] != '\0' && name[2] != '\0' && name[3] != '\0') {
      // At the end of its chain, which stays in table order.
      short* link = &index->bucket[Bucket(Word(name))];
      while (*link >= 0) link = &index->next[*link];
      *link = static_cast<short>(i);
      index->next[i] = -1;
    } else {
      index->short_names[index->short_count++] = static_cast<short>(i);
    }
  }
  index->count = table.count;
}

bool ExpandMacros(const MacroTable& table, const MacroIndex& index, const char* source, char* dest,
                  unsigned size, unsigned* length) {
  unsigned out = 0;
  const unsigned limit = size - 1;  // room for the terminator
  const unsigned char* p = reinterpret_cast<const unsigned char*>(source);
  // Where all names begin with one byte (scripts write "$$NAME$$"), memchr
  // finds the next candidate much faster than a byte loop.
  const unsigned char* end = index.single_start >= 0 ? p + std::strlen(source) : nullptr;
  bool fitted = true;
  for (;;) {
    // Bytes no name begins with are found first, then copied whole: a byte
    // loop that also stores runs at half the speed.
    unsigned room = limit - out;
    unsigned k = 0;
    if (end != nullptr) {
      size_t left = static_cast<size_t>(end - p);
      unsigned span = left < room ? static_cast<unsigned>(left) : room;
      const void* at = std::memchr(p, index.single_start, span);
      k = at != nullptr ? static_cast<unsigned>(static_cast<const unsigned char*>(at) - p) : span;
    } else {
      while (k < room && !index.starts[p[k]]) ++k;
    }
    std::memcpy(dest + out, p, k);
    out += k;
    p += k;
    if (*p == '\0') break;
    if (k == room && !index.starts[*p]) {
      fitted = false;  // a byte to copy and no room for it
      break;
    }
    // The first entry in table order that matches wins, as without the
    // index: the long names of the bucket and the short names are two lists
    // in table order, walked together by entry number.
    const MacroEntry* match = nullptr;
    size_t name_length = 0;
    int chain = index.bucket[Bucket(Word(p))];
    int s = 0;
    for (;;) {
      int short_entry = s < index.short_count ? index.short_names[s] : kMaxMacros;
      int entry = chain >= 0 && chain < short_entry ? chain : short_entry;
      if (entry >= kMaxMacros) break;
      if (entry == chain) {
        chain = index.next[chain];
      } else {
        ++s;
      }
      if (NameAt(table.entries[entry].name, p, &name_length)) {
        match = &table.entries[entry];
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
