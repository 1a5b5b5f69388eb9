// The medium check's guesses at what an author meant, and the small word
// helpers they share with the walk.
#pragma once

namespace setup {

// The first word of text (up to a blank), at most size-1 bytes.
void FirstWord(const char* text, char* word, int size);
// True when a and b are equal, ASCII letters compared without case.
bool EqualNoCase(const char* a, const char* b);
// The edit distance of two short words, letters compared without case,
// neighbours swapped counting as one edit; 99 for words longer than 32.
// A distance above limit comes back as some value above limit, found sooner.
int Distance(const char* a, const char* b, int limit = 32);
// The most edits a misspelling may have.
inline constexpr int kNearEdits = 2;
// Close enough to be a misspelling: at most kNearEdits edits, and fewer than
// half the letters of the word meant.
bool Near(int distance, const char* meant);
// The command word nearest to word, or nullptr. Operators and Registry are
// never suggested: they do not begin a line.
const char* SuggestKeyword(const char* word);
// A keyword that word begins with, glued to punctuation ("Goto:END").
const char* GluedKeyword(const char* word);
// A comment style of other languages at the start of text; nullptr if none.
const char* ForeignComment(const char* text);

}  // namespace setup
