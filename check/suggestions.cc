// The medium check's guesses at what an author meant: the keyword or macro
// a misspelt word is nearest to, keywords glued to punctuation, comment
// styles of other languages.
#include "check/suggestions.h"

#include <cstring>

#include "engine/command_table.h"

namespace setup {

// The first word of text (up to a blank), at most size-1 bytes.
void FirstWord(const char* text, char* word, int size) {
  int n = 0;
  while (text[n] != '\0' && !IsBlank(text[n]) && n < size - 1) {
    word[n] = text[n];
    ++n;
  }
  word[n] = '\0';
}

bool EqualNoCase(const char* a, const char* b) {
  while (*a != '\0' && ToUpperAscii(static_cast<unsigned char>(*a)) ==
                           ToUpperAscii(static_cast<unsigned char>(*b))) {
    ++a;
    ++b;
  }
  return *a == '\0' && *b == '\0';
}

// The edit distance of two short words, letters compared without case,
// neighbours swapped counting as one edit; 99 for words longer than 32.
int Distance(const char* a, const char* b) {
  constexpr int kMax = 32;
  int n = static_cast<int>(std::strlen(a));
  int m = static_cast<int>(std::strlen(b));
  if (n > kMax || m > kMax) return 99;
  int d[kMax + 1][kMax + 1];
  for (int i = 0; i <= n; ++i) d[i][0] = i;
  for (int j = 0; j <= m; ++j) d[0][j] = j;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= m; ++j) {
      unsigned char x = ToUpperAscii(static_cast<unsigned char>(a[i - 1]));
      unsigned char y = ToUpperAscii(static_cast<unsigned char>(b[j - 1]));
      int best = d[i - 1][j - 1] + (x == y ? 0 : 1);
      if (d[i - 1][j] + 1 < best) best = d[i - 1][j] + 1;
      if (d[i][j - 1] + 1 < best) best = d[i][j - 1] + 1;
      if (i > 1 && j > 1 && x == ToUpperAscii(static_cast<unsigned char>(b[j - 2])) &&
          ToUpperAscii(static_cast<unsigned char>(a[i - 2])) == y && d[i - 2][j - 2] + 1 < best) {
        best = d[i - 2][j - 2] + 1;
      }
      d[i][j] = best;
    }
  }
  return d[n][m];
}

// Close enough to be a misspelling: at most two edits, and fewer than half
// the letters of the word meant.
bool Near(int distance, const char* meant) {
  int length = static_cast<int>(std::strlen(meant));
  return distance > 0 && distance <= 2 && distance * 2 < length;
}

// The command word nearest to word, or nullptr. Operators and Registry are
// never suggested: they do not begin a line.
const char* SuggestKeyword(const char* word) {
  const char* best = nullptr;
  int best_distance = 99;
  for (const CommandRow& row : kCommandTable) {
    if (row.keyword == nullptr) continue;
    if ((row.code >= kOpEqual && row.code <= kOpGreater) || row.code == kRegistry) continue;
    int distance = Distance(word, row.keyword);
    if (Near(distance, row.keyword) && distance < best_distance) {
      best = row.keyword;
      best_distance = distance;
    }
  }
  return best;
}

// A keyword that word begins with, glued to punctuation ("Goto:END").
const char* GluedKeyword(const char* word) {
  for (const CommandRow& row : kCommandTable) {
    if (row.keyword == nullptr) continue;
    size_t n = std::strlen(row.keyword);
    if (n < 2 || std::strlen(word) <= n) continue;
    bool same = true;
    for (size_t i = 0; i < n && same; ++i) {
      same = ToUpperAscii(static_cast<unsigned char>(word[i])) ==
             ToUpperAscii(static_cast<unsigned char>(row.keyword[i]));
    }
    unsigned char next = static_cast<unsigned char>(word[n]);
    bool letter = (next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z') ||
                  (next >= '0' && next <= '9') || next == '_' || next >= 0x80;
    if (same && !letter) return row.keyword;
  }
  return nullptr;
}

// A comment style of other languages at the start of text; nullptr if none.
const char* ForeignComment(const char* text) {
  if (text[0] == ';') return ";";
  if (text[0] == '/' && text[1] == '/') return "//";
  if (text[0] == '#') return "#";
  if (ToUpperAscii(static_cast<unsigned char>(text[0])) == 'R' &&
      ToUpperAscii(static_cast<unsigned char>(text[1])) == 'E' &&
      ToUpperAscii(static_cast<unsigned char>(text[2])) == 'M' &&
      (text[3] == '\0' || IsBlank(text[3]))) {
    return "REM";
  }
  return nullptr;
}

}  // namespace setup
