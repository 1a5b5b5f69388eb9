// The bilingual sample text of the copy benchmarks: code lines with comments
// in both languages, English-only, Japanese-only and raw comments, and
// references to the fifty sample macros.
#pragma once

#include <string>

#include "engine/macro_table.h"

namespace setup::bench {

// Fills table with the fifty sample macros (all of the form "$$NAME$$", as
// scripts write them), replacing what it held.
void DefineSampleMacros(MacroTable& table);

// Appends sample lines to text until it holds at least bytes bytes; the
// same call always yields the same bytes.
void AppendSampleText(std::string& text, long bytes);

// Writes bytes bytes of sample text to path; false on failure.
bool WriteSampleText(const char* path, long bytes);

}  // namespace setup::bench
