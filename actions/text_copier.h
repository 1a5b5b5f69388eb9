// TextCopy, JapanCopy and EnglishCopy: the bilingual text copy over the
// engine record, whose text_copy member holds the copier's state.
#pragma once

#include "engine/script_engine.h"

namespace setup {

// 16-bit tokens of the comment filter.
inline constexpr unsigned kTokenCommentOpen = 0x2F2A;   // "/*"
inline constexpr unsigned kTokenCommentClose = 0x2A2F;  // "*/"
inline constexpr unsigned kTokenSplitMark = 0x2423;     // "$#"
inline constexpr unsigned kTokenRawMark = 0x2424;       // "$$"
inline constexpr unsigned kTokenEndOfInput = 0x001A;    // Ctrl-Z

// The TextCopy, JapanCopy and EnglishCopy commands: arguments is the text
// behind the keyword (source, then the destination as the rest of the line).
// False when the copy failed (reported); the destination then keeps its old
// contents.
bool TextCopyCommand(ScriptEngine& engine, char* arguments, LanguageMode selection);
// Copies source to destination with macros expanded and the comments of
// selection's language; false when reported. The caller closes the files
// with CloseSource and CloseDestination afterwards.
bool CopyText(ScriptEngine& engine, const char* source, const char* destination,
              LanguageMode selection);
// What stopped the last CopyText in the source's text, and the source line
// it concerns: the line too long, or the line the comment begins on (at
// least 1). kNone when the text did not stop it (a file that could not be
// opened or written, or a copy that succeeded).
struct CopyFailure {
  CopyFault fault;
  int line;
};
CopyFailure LastCopyFailure(const ScriptEngine& engine);
// Closes the source of a copy, if open.
void CloseSource(ScriptEngine& engine);
// Puts the finished copy in place, or (abandon) removes it; nothing when no
// destination is open.
void CloseDestination(ScriptEngine& engine, bool abandon);

}  // namespace setup
