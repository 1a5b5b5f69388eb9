// The medium check's guesses at what an author meant: the keyword or macro
// a misspelt word is nearest to, keywords glued to punctuation, comment
// styles of other languages.
#include "check/suggestions.h"

#include <cstdint>
#include <cstring>

#include "engine/command_table.h"

namespace setup {
namespace {

// The letters of a word, folded, as bits (a byte's low six bits: a bit may
// stand for several bytes, which only makes two words look closer).
std::uint64_t LetterMask(const char* word) {
  std::uint64_t mask = 0;
  for (const char* p = word; *p != '\0'; ++p) {
    mask |= std::uint64_t{1} << (ToUpperAscii(static_cast<unsigned char>(*p)) & 63);
  }
  return mask;
}

// True when two words are more than limit edits apart by their letters
// alone: an edit takes at most one letter out of a word and brings at most
// one in, so each letter one word has and the other lacks costs an edit.
bool LettersTooFarApart(std::uint64_t a, std::uint64_t b, int limit) {
  return __builtin_popcountll(a & ~b) > limit || __builtin_popcountll(b & ~a) > limit;
}

}  // namespace

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
// Above limit, only that it is: words whose lengths differ by more are not
// compared, and the table stops at two rows that all exceed it (a swap
// reaches back two rows, at the cost of one edit).
int Distance(const char* a, const char* b, int limit) {
  constexpr int kMax = 32;
  int n = static_cast<int>(std::strlen(a));
  int m = static_cast<int>(std::strlen(b));
  if (n > kMax || m > kMax) return 99;
  if (n - m > limit || m - n > limit) return limit + 1;
  unsigned char x[kMax], y[kMax];
  std::uint64_t in_a = 0;
  std::uint64_t in_b = 0;
  for (int i = 0; i < n; ++i) {
    x[i] = ToUpperAscii(static_cast<unsigned char>(a[i]));
    in_a |= std::uint64_t{1} << (x[i] & 63);
  }
  for (int j = 0; j < m; ++j) {
    y[j] = ToUpperAscii(static_cast<unsigned char>(b[j]));
    in_b |= std::uint64_t{1} << (y[j] & 63);
  }
  if (LettersTooFarApart(in_a, in_b, limit)) return limit + 1;
  int d[kMax + 1][kMax + 1];
  for (int i = 0; i <= n; ++i) d[i][0] = i;
  for (int j = 0; j <= m; ++j) d[0][j] = j;
  // Only the band |i - j| <= limit is filled: a cell outside it is at least
  // |i - j| edits away. Its neighbours inside the band read it as limit + 1,
  // which keeps every value up to limit exact and every other above limit.
  const int over = limit + 1;
  int previous_least = 0;
  for (int i = 1; i <= n; ++i) {
    int least = d[i][0];
    int first = i - limit > 1 ? i - limit : 1;
    int last = i + limit < m ? i + limit : m;
    if (first > 1) {
      d[i][first - 1] = over;
      least = over;
    }
    if (i > 1 && last == i + limit) d[i - 1][last] = over;  // right of the row above's band
    for (int j = first; j <= last; ++j) {
      int best = d[i - 1][j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1);
      if (d[i - 1][j] + 1 < best) best = d[i - 1][j] + 1;
      if (d[i][j - 1] + 1 < best) best = d[i][j - 1] + 1;
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1] &&
          d[i - 2][j - 2] + 1 < best) {
        best = d[i - 2][j - 2] + 1;
      }
      d[i][j] = best;
      if (best < least) least = best;
    }
    if (least > limit && previous_least >= limit) return limit + 1;
    previous_least = least;
  }
  return d[n][m];
}

// Close enough to be a misspelling: at most two edits, and fewer than half
// the letters of the word meant.
bool Near(int distance, const char* meant) {
  int length = static_cast<int>(std::strlen(meant));
  return distance > 0 && distance <= kNearEdits && distance * 2 < length;
}

namespace {

// The keywords a line may begin with, by length, in table order within one
// length: a word is compared with those of lengths within the edits allowed
// only.
struct KeywordsByLength {
  static constexpr int kLongest = 32;
  int rows[kLongest + 1][kCommandCount] = {};
  std::uint64_t letters[kLongest + 1][kCommandCount] = {};  // LetterMask of each
  int counts[kLongest + 1] = {};

  KeywordsByLength() {
    for (int code = 0; code < kCommandCount; ++code) {
      const CommandRow& row = kCommandTable[code];
      // Operators and Registry do not begin a line.
      if (row.keyword == nullptr || (row.code >= kOpEqual && row.code <= kOpGreater) ||
          row.code == kRegistry) {
        continue;
      }
      auto length = static_cast<int>(std::strlen(row.keyword));
      if (length > kLongest) continue;
      letters[length][counts[length]] = LetterMask(row.keyword);
      rows[length][counts[length]++] = code;
    }
  }
};

}  // namespace

// The command word nearest to word, or nullptr. Operators and Registry are
// never suggested: they do not begin a line.
const char* SuggestKeyword(const char* word) {
  static const KeywordsByLength kByLength;
  int best = -1;
  int best_distance = 99;
  const int length = static_cast<int>(std::strlen(word));
  const int shortest = length - kNearEdits > 0 ? length - kNearEdits : 0;
  const int longest = length + kNearEdits < KeywordsByLength::kLongest ? length + kNearEdits
                                                                       : KeywordsByLength::kLongest;
  const std::uint64_t letters = LetterMask(word);
  for (int n = shortest; n <= longest; ++n) {
    for (int i = 0; i < kByLength.counts[n]; ++i) {
      if (LettersTooFarApart(letters, kByLength.letters[n][i], kNearEdits)) continue;
      int row = kByLength.rows[n][i];
      const char* keyword = kCommandTable[row].keyword;
      int distance = Distance(word, keyword, kNearEdits);
      // Of two keywords as near, the earlier row's.
      if (Near(distance, keyword) &&
          (distance < best_distance || (distance == best_distance && row < best))) {
        best = row;
        best_distance = distance;
      }
    }
  }
  return best >= 0 ? kCommandTable[best].keyword : nullptr;
}

// A keyword that word begins with, glued to punctuation ("Goto:END").
const char* GluedKeyword(const char* word) {
  const size_t length = std::strlen(word);
  for (const CommandRow& row : kCommandTable) {
    if (row.keyword == nullptr) continue;
    // Every keyword begins with a byte that folds to itself.
    if (static_cast<unsigned char>(row.keyword[0]) !=
        ToUpperAscii(static_cast<unsigned char>(word[0])))
      continue;
    size_t n = std::strlen(row.keyword);
    if (n < 2 || length <= n) continue;
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
