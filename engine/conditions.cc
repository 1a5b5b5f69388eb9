// The tests behind the If-commands: versions, dates, strings, files,
// registry keys and the user's language.
#include "engine/conditions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/registry_access.h"
#include "engine/script_engine.h"

namespace setup {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One hexadecimal number in the manner of the C runtime's scan: blanks,
// sign, an optional 0x; false when no digit follows. The value wraps at 32
// bits like the runtime's unsigned conversion.
bool ScanHex(const char** text, unsigned* value) {
  const char* p = *text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigit(p[2]) >= 0) p += 2;
  if (HexDigit(*p) < 0) return false;
  unsigned v = 0;
  while (HexDigit(*p) >= 0) v = v * 16 + static_cast<unsigned>(HexDigit(*p++));
  *value = negative ? 0u - v : v;
  *text = p;
  return true;
}

// The decimal reading of the standard text-to-integer conversion: blanks, a
// sign and the leading digits; 0 when there are none. Saturates instead of
// overflowing.
long long ScanDecimal(const char* p) {
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long v = 0;
  while (*p >= '0' && *p <= '9') {
    if (v < 100000000000LL) v = v * 10 + (*p - '0');
    ++p;
  }
  return negative ? -v : v;
}

}  // namespace

int IsOperator(const char* text) {
  int code = ClassifyLine(text);
  return (code >= kOpEqual && code <= kOpGreater) ? code : 0;
}

bool ApplySense(bool result, const char* sense) {
  return (sense[0] == 'E' || sense[0] == 'e') ? !result : result;
}

void ParseVersion(const char* text, unsigned (&parts)[4]) {
  parts[0] = parts[1] = parts[2] = parts[3] = 0;
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (*p != '.') return;
      ++p;
    }
    if (!ScanHex(&p, &parts[i])) return;
  }
}

bool CompareWith(int op, int order) {
  switch (op) {
    case kOpEqual:
      return order == 0;
    case kOpLessEqual:
      return order <= 0;
    case kOpLess:
      return order < 0;
    case kOpGreaterEqual:
      return order >= 0;
    case kOpGreater:
      return order > 0;
    default:
      return false;
  }
}

bool ScriptEngine::QueryVersionString(const char* file, const char* value_name, char* dest,
                                      int size) {
  dest[0] = '\0';
  VersionInfo* versions = platform_.versions;
  unsigned block_size = versions->GetSize(file);
  if (block_size == 0) return false;
  void* block = std::malloc(block_size);
  if (block == nullptr) return false;
  bool found = false;
  const void* value = nullptr;
  unsigned length = 0;
  if (versions->Read(file, block_size, block) &&
      versions->Query(block, "\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
    unsigned char translation[4];
    std::memcpy(translation, value, 4);
    unsigned language = translation[0] | static_cast<unsigned>(translation[1]) << 8;
    unsigned code_page = translation[2] | static_cast<unsigned>(translation[3]) << 8;
    char query[kTextSize];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\%s", language, code_page,
                  value_name);
    if (versions->Query(block, query, &value, &length) && value != nullptr) {
      // The text ends at its NUL or at the length the query gave, whichever
      // comes first: a crafted block need hold no NUL before its end. One
      // byte more than dest holds lets CopyBounded see a cut.
      const char* bytes = static_cast<const char*>(value);
      unsigned limit = length < static_cast<unsigned>(kTextSize) ? length : kTextSize;
      unsigned n = 0;
      while (n < limit && bytes[n] != '\0') ++n;
      char text[kTextSize + 1];
      std::memcpy(text, bytes, n);
      text[n] = '\0';
      CopyBounded(lead_bytes, dest, static_cast<unsigned>(size), text);
      found = true;
    }
  }
  std::free(block);
  return found;
}

bool ScriptEngine::TestFileVersion(const char* file, const char* version, int op, const char* sense,
                                   const char* value_name) {
  char file_version[kTextSize];
  bool result = false;
  if (QueryVersionString(file, value_name, file_version, kTextSize)) {
    if (op == 0) {
      result = true;  // only asks whether the file has the version text
    } else if (op == kOpEqual) {
      result = std::strcmp(file_version, version) == 0;  // as written, not normalized
    } else {
      unsigned left[4];
      unsigned right[4];
      ParseVersion(file_version, left);
      ParseVersion(version, right);
      int order = 0;
      for (int i = 0; i < 4 && order == 0; ++i) {
        if (left[i] != right[i]) order = left[i] < right[i] ? -1 : 1;
      }
      result = CompareWith(op, order);
    }
  }
  return ApplySense(result, sense);
}

bool ScriptEngine::TestFileDate(const char* file1, const char* file2, int op, const char* sense) {
  // A file that cannot be found has the time 0, older than any file.
  FileStatus status;
  unsigned long long time1 = 0;
  unsigned long long time2 = 0;
  if (platform_.files->GetStatus(file1, &status)) {
    time1 = static_cast<unsigned long long>(status.last_write_time);
  }
  if (platform_.files->GetStatus(file2, &status)) {
    time2 = static_cast<unsigned long long>(status.last_write_time);
  }
  int order = time1 < time2 ? -1 : (time1 > time2 ? 1 : 0);
  // Without an operator nothing is asked, so the test is false, as for IfString.
  return ApplySense(CompareWith(op, order), sense);
}

bool ScriptEngine::TestString(const char* text1, const char* text2, int op, const char* sense) {
  int order = std::strcmp(text1, text2);  // unsigned byte order
  return ApplySense(CompareWith(op, order), sense);
}

bool ScriptEngine::TestFileFind(const char* file, const char* sense) {
  FileStatus status;
  return ApplySense(platform_.files->GetStatus(file, &status), sense);
}

bool ScriptEngine::TestRegistryFind(const char* path, const char* sense) {
  return ApplySense(RegistryKeyExists(*platform_.registry, lead_bytes, path), sense);
}

bool ScriptEngine::TestLanguage(const char* number, const char* sense) {
  long long wanted = 0;
  bool valid = true;
  if (number[0] == '0' && (number[1] == 'x' || number[1] == 'X')) {
    const char* p = number + 2;
    unsigned value = 0;
    valid = ScanHex(&p, &value);  // a hexadecimal form without digits matches nothing
    wanted = value;
  } else {
    wanted = ScanDecimal(number);
  }
  long long primary = platform_.system->GetUserDefaultLangID() & 0x3FF;
  return ApplySense(valid && wanted == primary, sense);
}

}  // namespace setup
