// The macro table: up to fifty names replaced by their values wherever they
// occur in a script line, a folder or a copied text line.
#pragma once

namespace setup {

inline constexpr int kMaxMacros = 50;
inline constexpr int kMacroTextSize = 300;  // name or value, terminator included

struct MacroEntry {
  char name[kMacroTextSize];
  char value[kMacroTextSize];
};

struct MacroTable {
  int count = 0;
  MacroEntry entries[kMaxMacros];
};

enum class DefineResult { kStored, kTableFull, kTooLong };

// Adds name with value, or replaces the value of an entry of that name (which
// keeps its place). Nothing is stored when the table is full or a text does
// not fit its 299 bytes. Reports nothing: the engine does.
DefineResult DefineMacro(MacroTable& table, const char* name, const char* value);

// Writes source with every macro name replaced by its value into dest, which
// holds size bytes. Entries are tried in table order at each byte; values are
// not expanded again. Returns false when the expansion did not fit: dest then
// holds as much as fitted, terminated.
bool ExpandMacros(const MacroTable& table, const char* source, char* dest, unsigned size);

// Where the names of a table begin, so that expansion looks at the entries
// only where one of them can match. Valid until the table next changes.
inline constexpr int kMacroBuckets = 64;
struct MacroIndex {
  bool starts[256] = {};        // some name begins with the byte (and 0: the end stops a run)
  int single_start = -1;        // the one byte all names begin with, if it is one
  bool several_starts = false;  // names begin with different bytes
  // Names of four bytes or more, by a hash of their first four bytes: each
  // bucket chains its entries in table order (-1 ends a chain).
  short bucket[kMacroBuckets];
  short next[kMaxMacros];
  // The shorter names, in table order.
  int short_count = 0;
  short short_names[kMaxMacros];
  int count = 0;  // the entries indexed: the table's first count
};
// Builds the index of table's current entries.
void IndexMacros(const MacroTable& table, MacroIndex* index);
// Adds the entries table has gained since index was built or last added to.
// A table that only gains entries keeps its index so: a replaced value is no
// part of it.
void IndexNewMacros(const MacroTable& table, MacroIndex* index);

// ExpandMacros with an index of table built since its last change; the same
// result byte for byte. *length (when not null) gets the length written.
bool ExpandMacros(const MacroTable& table, const MacroIndex& index, const char* source, char* dest,
                  unsigned size, unsigned* length = nullptr);

}  // namespace setup
