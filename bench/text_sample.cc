// The sample text and macros of the copy benchmarks.
#include "bench/text_sample.h"

#include <cstdio>

namespace setup::bench {
namespace {

// Shift-JIS: 数値 (number), 日本語の説明 (explanation in Japanese), 設定 (setting).
#define SJ_SUUCHI "\x90\x94\x92\x6c"
#define SJ_SETSUMEI "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x90\xe0\x96\xbe"
#define SJ_SETTEI "\x90\xdd\x92\xe8"

const char* const kMacroNames[] = {
    "WINDOWS", "SYSTEM",  "FD",      "SETUPDIR", "SETUPDIR2", "SETUPROOT", "SETUPROOT2", "APPNAME",
    "VERSION", "COMPANY", "PRODUCT", "DATADIR",  "HELPDIR",   "FONTDIR",   "TEMPDIR",    "LANG",
    "BUILD",   "PLUGINS", "SKINS",   "SAMPLES",  "DOCS",      "LICENSE",   "README",     "CONFIG",
    "CACHE",   "LOGDIR",  "USER",    "HOST",     "PORT",      "SERVER",    "DATABASE",   "SCHEMA",
    "TABLE",   "INDEX",   "KEY",     "VALUE",    "SECTION",   "GROUP",     "ROLE",       "REGION",
    "ZONE",    "MODULE",  "LIBRARY", "RUNTIME",  "DRIVER",    "SERVICE",   "THEME",      "ICON",
    "SOUND",   "FINAL"};
static_assert(sizeof kMacroNames / sizeof kMacroNames[0] == kMaxMacros);

}  // namespace

void DefineSampleMacros(MacroTable& table) {
  table.count = 0;
  for (const char* name : kMacroNames) {
    std::string macro = std::string("$$") + name + "$$";
    std::string value = std::string("C:\\Program Files\\Sample\\") + name;
    DefineMacro(table, macro.c_str(), value.c_str());
  }
}

void AppendSampleText(std::string& text, long bytes) {
  char line[512];
  for (long n = 0; static_cast<long>(text.size()) < bytes; ++n) {
    const char* macro = kMacroNames[n % kMaxMacros];
    int length = 0;
    switch (n % 8) {
      case 0:
        length = std::snprintf(line, sizeof line,
                               "int value_%ld = %ld; /* " SJ_SUUCHI " $# the value */\n", n, n * 7);
        break;
      case 1:
        length = std::snprintf(line, sizeof line, "/*$# English only: option %ld */\n", n);
        break;
      case 2:
        length = std::snprintf(line, sizeof line, "/* " SJ_SETSUMEI " */\n");
        break;
      case 3:
        length = std::snprintf(line, sizeof line, "path_%ld = \"$$%s$$\\data\\file%ld.dat\";\n", n,
                               macro, n);
        break;
      case 4:
        length = std::snprintf(line, sizeof line,
                               "    call(a * b / c, \"plain text with words\", %ld);\n", n);
        break;
      case 5:
        length = std::snprintf(line, sizeof line, "/*$$raw %ld*/ x = y; /*$# note */\n", n);
        break;
      case 6:
        length = std::snprintf(line, sizeof line,
                               "\t" SJ_SETTEI " = %ld; /* " SJ_SETTEI " $# setting $$%s$$ */\n", n,
                               macro);
        break;
      default:
        length = std::snprintf(line, sizeof line, "\n");
        break;
    }
    text.append(line, static_cast<size_t>(length));
  }
}

bool WriteSampleText(const char* path, long bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  std::string chunk;
  long written = 0;
  bool ok = true;
  while (ok && written < bytes) {
    chunk.clear();
    AppendSampleText(chunk, bytes - written < (1 << 20) ? bytes - written : (1 << 20));
    ok = std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
    written += static_cast<long>(chunk.size());
  }
  return std::fclose(file) == 0 && ok;
}

}  // namespace setup::bench
