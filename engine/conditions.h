// Pieces of the If-commands that need no engine state.
#pragma once

namespace setup {

// The operator code (19..23) when text begins with an operator word of its
// own ("<=" followed by a blank, TAB or the end); else 0.
int IsOperator(const char* text);

// Inverts result when the sense word begins with E or e.
bool ApplySense(bool result, const char* sense);

// Reads up to four hexadecimal numbers separated by dots, as the scan format
// "%X.%X.%X.%X" does; numbers not read are 0.
void ParseVersion(const char* text, unsigned (&parts)[4]);

// Compares two numbers with an operator code; false when op is 0.
bool CompareWith(int op, int order);

}  // namespace setup
