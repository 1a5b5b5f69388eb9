// Classifying script lines, cutting arguments, and path helpers.
#include "engine/lexicon.h"

#include "engine/command_table.h"
#include "engine/messages.h"
#include "engine/script_engine.h"

namespace setup {

namespace {

bool IsKeywordDelimiter(char c) { return c == '\0' || c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

unsigned char ToUpperAscii(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 0x20) : byte;
}

CommandCode ClassifyLine(const char* text, char** rest) {
  char first = text[0];
  if (first == '\0' || first == '\n') return kEmptyLine;
  if (first == '\'') return kCommentLine;
  if (first == ':') return kLabelLine;
  // The rows from kDefine on are the keywords, each beginning with a byte
  // that folds to itself: a row whose first byte differs is passed over
  // with one comparison.
  const unsigned char folded = ToUpperAscii(static_cast<unsigned char>(first));
  for (int code = kDefine; code < kCommandCount; ++code) {
    const CommandRow& row = kCommandTable[code];
    if (static_cast<unsigned char>(row.keyword[0]) != folded) continue;
    const char* p = text;
    const char* w = row.keyword;
    while (*w != '\0' && ToUpperAscii(static_cast<unsigned char>(*p)) ==
                             ToUpperAscii(static_cast<unsigned char>(*w))) {
      ++p;
      ++w;
    }
    if (*w != '\0' || !IsKeywordDelimiter(*p)) continue;
    while (IsBlank(*p)) ++p;
    if (rest != nullptr) *rest = const_cast<char*>(p);
    return row.code;
  }
  return kNoKeyword;
}

unsigned LastChar(const LeadBytes& lead, const char* text) {
  unsigned last = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    // A lead byte cut off by the terminator stands alone: never step past
    // the end of the string.
    if (IsLeadByte(lead, *p) && p[1] != 0) {
      last = static_cast<unsigned>(p[0]) * 256 + p[1];
      p += 2;
    } else {
      last = *p++;
    }
  }
  return last;
}

bool EndsWithSeparator(const LeadBytes& lead, const char* text) {
  unsigned last = LastChar(lead, text);
  return last == '\\' || last == '/';
}

void DropTrailingSeparator(const LeadBytes& lead, char* text) {
  if (!EndsWithSeparator(lead, text)) return;
  int n = 0;
  while (text[n] != '\0') ++n;
  text[n - 1] = '\0';
}

void StripTrailingBackslash(const LeadBytes& lead, char* path) {
  int n = 0;
  while (path[n] != '\0') ++n;
  if (n == 1 && path[0] == '\\') {
    path[0] = '\0';
    return;
  }
  if (n == 2 && path[1] == ':') {  // "C:" names the drive's current folder: "C:."
    path[2] = '.';
    path[3] = '\0';
    return;
  }
  if (n == 3 && path[1] == ':' && path[2] == '\\') {
    path[2] = '\0';
    return;
  }
  if (n >= 2 && LastChar(lead, path) == '\\') path[n - 1] = '\0';
}

bool CopyBounded(const LeadBytes& lead, char* dest, unsigned size, const char* source) {
  if (size == 0) return source[0] == '\0';
  unsigned i = 0;
  while (source[i] != '\0') {
    unsigned width =
        (IsLeadByte(lead, static_cast<unsigned char>(source[i])) && source[i + 1] != '\0') ? 2 : 1;
    if (i + width > size - 1) {
      dest[i] = '\0';
      return false;
    }
    for (unsigned k = 0; k < width; ++k) dest[i + k] = source[i + k];
    i += width;
  }
  dest[i] = '\0';
  return true;
}

char* ScriptEngine::NextArg(char** cursor, bool strict) {
  ArgFault fault = ArgFault::kNone;
  char* next = CutArgument(lead_bytes, cursor, &fault);
  if (next == nullptr && strict) ReportArgFault(fault);
  return next;
}

void ScriptEngine::ReportArgFault(ArgFault fault) {
  if (fault == ArgFault::kNoQuote) ReportError(kMsgNoQuote, script_path, line_number);
  if (fault == ArgFault::kNoBlank) ReportError(kMsgNoTab, script_path, line_number);
}

bool ScriptEngine::ReadArguments(CommandCode code, char* text, Arguments* args) {
  if (DecodeArguments(lead_bytes, code, text, args)) return true;
  ReportArgFault(args->fault);
  return false;
}

}  // namespace setup

namespace setup {

bool SplitDriveAndFolder(const LeadBytes& lead, const char* path, char* drive, char* folder,
                         unsigned size) {
  drive[0] = '\0';
  if (path[0] != '\0' && path[1] == ':') {
    drive[0] = path[0];
    drive[1] = ':';
    drive[2] = '\0';
    path += 2;
  }
  // The folder part ends after the last separator that is a character of
  // its own, not the second byte of a double-byte character.
  unsigned end = 0;
  unsigned i = 0;
  while (path[i] != '\0') {
    if (IsLeadByte(lead, static_cast<unsigned char>(path[i])) && path[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/') end = i + 1;
    ++i;
  }
  if (end >= size) {
    folder[0] = '\0';
    return false;
  }
  for (unsigned k = 0; k < end; ++k) folder[k] = path[k];
  folder[end] = '\0';
  return true;
}

}  // namespace setup
