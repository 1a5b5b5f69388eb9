// The options of setup.exe.
#include "ui/win32/command_line.h"

namespace setup::win32 {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The length of prefix (lower case) when text starts with it, ignoring case; 0 otherwise.
int Starts(const char* text, const char* prefix) {
  int i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (Lower(text[i]) != prefix[i]) return 0;
  }
  return i;
}

bool SameWord(const char* text, const char* word) {
  int length = Starts(text, word);
  return length > 0 && text[length] == '\0';
}

// Where a folder option starts at text (its value behind it), or null.
char* FolderValue(char* text, bool* second) {
  int length = Starts(text, "/d=");
  *second = length == 0;
  if (length == 0) length = Starts(text, "/d2=");
  return length > 0 ? text + length : nullptr;
}

// Cuts blanks at both ends of a value and a pair of quotes around it;
// null when nothing is left.
const char* Trimmed(char* value, char* end) {
  while (value < end && IsBlank(*value)) ++value;
  while (end > value && IsBlank(end[-1])) --end;
  if (end - value >= 2 && *value == '"' && end[-1] == '"') {
    ++value;
    --end;
  }
  *end = '\0';
  return value < end ? value : nullptr;
}

}  // namespace

CommandLine ParseCommandLine(char* line) {
  CommandLine options;
  char* p = line;
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') break;
    bool second = false;
    if (char* value = FolderValue(p, &second)) {
      // To the end, or to the next folder option after a blank.
      char* end = value;
      bool next = false;
      while (*end != '\0' && !(IsBlank(end[-1]) && FolderValue(end, &next) != nullptr)) ++end;
      char* rest = end;
      (second ? options.folder2 : options.folder1) = Trimmed(value, end);
      if (*rest == '\0') break;
      p = rest;
      // Trimmed wrote its zero at or before the blank in front of rest.
      continue;
    }
    // One word: quotes group blanks and are removed.
    char* word = p;
    char* out = p;
    bool quoted = false;
    while (*p != '\0' && (quoted || !IsBlank(*p))) {
      if (*p == '"') {
        quoted = !quoted;
      } else {
        *out++ = *p;
      }
      ++p;
    }
    bool more = *p != '\0';
    *out = '\0';
    if (more) ++p;
    if (SameWord(word, "/s")) {
      options.silent = true;
    } else if (SameWord(word, "/?")) {
      options.usage = true;
    } else if (int at = Starts(word, "/lang="); at > 0 && SameWord(word + at, "english")) {
      options.english = true;
    } else if (at > 0 && SameWord(word + at, "japanese")) {
      options.english = false;
    } else {
      options.unknown = true;
    }
  }
  return options;
}

}  // namespace setup::win32
