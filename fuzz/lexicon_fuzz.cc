// Fuzzes the script lexicon and macro expansion: classifying a line, cutting
// its arguments, expanding macros and the bounded path helpers, each over
// buffers of exactly the stated size so any write past one is caught.
//
// Input: one flag byte (bit 0: Japanese lead bytes, bit 1: strict NextArg
// first), then lines split at '\n'; every line but the last defines a macro
// ("name<TAB>value"), the last is the script line under test.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/lexicon.h"
#include "engine/macro_table.h"
#include "engine/script_engine.h"
#include "platform/shift_jis.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace {

using setup::ScriptEngine;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A heap copy of text (NUL added) of exactly max(length + 1, minimum) bytes.
std::unique_ptr<char[]> Copy(const char* text, size_t length, size_t minimum = 1) {
  size_t size = length + 1 > minimum ? length + 1 : minimum;
  std::unique_ptr<char[]> buffer(new char[size]);
  std::memset(buffer.get(), 0, size);
  std::memcpy(buffer.get(), text, length);
  return buffer;
}

void CheckArguments(ScriptEngine& engine, const char* line, size_t length, bool strict) {
  std::unique_ptr<char[]> text = Copy(line, length);
  char* rest = nullptr;
  int code = setup::ClassifyLine(text.get(), &rest);
  Check(code >= setup::kNoKeyword && code <= setup::kDeleteRegistry);
  if (rest == nullptr) return;  // not a keyword line
  char* end = text.get() + std::strlen(text.get());
  Check(rest >= text.get() && rest <= end);
  // Cut arguments until the line runs out, as the commands do.
  for (int i = 0; i < 16; ++i) {
    char* before = rest;
    char* next = engine.NextArg(&rest, strict);
    Check(rest >= before && rest <= end);
    if (next == nullptr) break;
    Check(next > before && next <= end);
    rest = next;
    strict = !strict;
  }
}

void CheckExpansion(const setup::MacroTable& macros, const char* line, size_t length,
                    unsigned size) {
  std::unique_ptr<char[]> source = Copy(line, length);
  std::unique_ptr<char[]> dest(new char[size]);
  bool fitted = setup::ExpandMacros(macros, source.get(), dest.get(), size);
  size_t out = strnlen(dest.get(), size);
  Check(out < size);  // always terminated inside the buffer
  if (fitted && macros.count == 0) Check(std::strcmp(dest.get(), source.get()) == 0);
}

void CheckPathHelpers(const setup::LeadBytes& lead, const char* line, size_t length,
                      unsigned size) {
  std::unique_ptr<char[]> source = Copy(line, length);
  std::unique_ptr<char[]> dest(new char[size]);
  bool fitted = setup::CopyBounded(lead, dest.get(), size, source.get());
  size_t source_length = std::strlen(source.get());
  if (size > 0) {
    size_t out = strnlen(dest.get(), size);
    Check(out < size);
    Check(std::memcmp(dest.get(), source.get(), out) == 0);
    Check(fitted == (out == source_length));
  }

  std::unique_ptr<char[]> path = Copy(line, length, 4);  // StripTrailingBackslash needs 4
  unsigned last = setup::LastChar(lead, path.get());
  Check((last == 0) == (path[0] == '\0'));
  setup::StripTrailingBackslash(lead, path.get());
  Check(strnlen(path.get(), source_length < 4 ? 4 : source_length + 1) <= source_length + 1);
  std::unique_ptr<char[]> folder = Copy(line, length);
  setup::DropTrailingSeparator(lead, folder.get());
  Check(std::strlen(folder.get()) + 1 >= source_length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const char* text = reinterpret_cast<const char*>(data + 1);
  size_t text_size = size - 1;

  setup::LeadBytes lead;
  if (flags & 1) {
    for (int b = 0; b < 256; ++b) {
      lead.is_lead[b] = setup::IsShiftJisLeadByte(static_cast<unsigned char>(b));
    }
  }

  static setup::testing::FakeSystem system;
  static setup::testing::RecordingUi ui;
  static setup::Platform platform;
  platform.system = &system;
  static ScriptEngine* engine = new ScriptEngine(platform, ui);
  engine->lead_bytes = lead;
  ui.events.clear();
  engine->macros.count = 0;
  std::strcpy(engine->script_path, "D:\\Setup.Inf");

  // Macro definitions, then the line under test (cut like a stored line).
  size_t start = 0;
  while (true) {
    const void* newline = std::memchr(text + start, '\n', text_size - start);
    if (newline == nullptr) break;
    size_t end = static_cast<size_t>(static_cast<const char*>(newline) - text);
    std::unique_ptr<char[]> definition = Copy(text + start, end - start);
    char* tab = std::strchr(definition.get(), '\t');
    if (tab != nullptr) {
      *tab = '\0';
      setup::DefineMacro(engine->macros, definition.get(), tab + 1);
      Check(engine->macros.count <= setup::kMaxMacros);
    }
    start = end + 1;
  }
  const char* line = text + start;
  size_t length = strnlen(line, text_size - start);
  if (length >= setup::kStoredLineSize) length = setup::kStoredLineSize - 1;

  CheckArguments(*engine, line, length, (flags & 2) != 0);
  unsigned sizes[] = {1u, 2u, 4u, static_cast<unsigned>(setup::kWorkLineSize), 1u + flags % 64u};
  for (unsigned s : sizes) CheckExpansion(engine->macros, line, length, s);
  for (unsigned s : sizes) CheckPathHelpers(lead, line, length, s);
  return 0;
}
