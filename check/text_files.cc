// The medium check of a text that TextCopy copies: its bytes (a byte order
// mark, UTF-16 or UTF-8 text, NUL bytes, a file that is no text at all) and
// the macros its lines use, each said at the text's own line.
#include <cstring>
#include <string>

#include "check/check_texts.h"
#include "check/checker.h"

namespace setup {
namespace {

// The part of a text looked at for its kind: enough to tell UTF-16 or a
// program from text without reading a large file twice.
constexpr size_t kSampleSize = 4096;
// More of the sample than this share (in eighths) in control bytes: no text.
constexpr size_t kBinaryEighths = 1;
// A text read further than this is looked at no further (a text this large
// on a setup medium is most likely a mistake of its own).
constexpr size_t kMaxTextSize = 16 << 20;

bool IsNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// A byte no text holds: controls other than TAB, LF, FF, CR, Ctrl-Z and ESC.
bool IsControl(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 0x1A && c != 0x1B) ||
         c == 0x7F;
}

// True when bytes look like UTF-16 without a byte order mark: most bytes at
// one parity are NUL, few at the other.
bool LooksUtf16(const std::string& bytes) {
  size_t n = std::min(bytes.size(), kSampleSize);
  size_t zero[2] = {0, 0};
  for (size_t i = 0; i < n; ++i) zero[i % 2] += bytes[i] == '\0' ? 1u : 0u;
  size_t half = n / 2;
  return half >= 4 && (zero[0] * 10 >= half * 4 || zero[1] * 10 >= half * 4) &&
         (zero[0] * 10 < half || zero[1] * 10 < half);
}

// True when bytes hold at least one multibyte UTF-8 character and nothing
// that UTF-8 does not allow.
bool LooksUtf8(const std::string& bytes) {
  bool multibyte = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) continue;
    size_t n = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    if (n == 0 || c > 0xF4) return false;
    for (size_t k = 1; k <= n; ++k) {
      if (i + k >= bytes.size() || (static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
        return false;
    }
    i += n;
    multibyte = true;
  }
  return multibyte;
}

}  // namespace

void Checker::CheckTextFile(const char* source) {
  FileHandle file = medium_.OpenRead(source);
  if (file == kNoFile) return;  // the copier has said it
  std::string bytes;
  char buffer[16384];
  long n;
  while (bytes.size() < kMaxTextSize && (n = medium_.Read(file, buffer, sizeof buffer)) > 0)
    bytes.append(buffer, static_cast<size_t>(n));
  medium_.Close(file);

  auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if ((bytes.size() >= 2 &&
       ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) ||
      LooksUtf16(bytes)) {
    Say(source, 1, Severity::kError, kTxtTextUtf16);
    return;  // its macros and NULs are no use to look for
  }
  size_t sample = std::min(bytes.size(), kSampleSize);
  size_t controls = 0;
  for (size_t i = 0; i < sample; ++i) controls += IsControl(byte(i)) ? 1u : 0u;
  if (sample > 0 && controls * 8 > sample * kBinaryEighths) {
    Say(source, 0, Severity::kError, kTxtTextBinary);
    return;
  }
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    Say(source, 1, Severity::kWarning, kTxtTextBom);
  } else if (LooksUtf8(bytes)) {
    Say(source, 0, Severity::kWarning, kTxtTextUtf8);
  }

  // Line by line, numbered as the copier counts them: a NUL ends what of
  // its line is copied, and macros are replaced as the copy sees them.
  int line = 1;
  for (size_t start = 0; start < bytes.size(); ++line) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string text = bytes.substr(start, end - start);
    start = end + 1;
    size_t nul = text.find('\0');
    if (nul != std::string::npos) {
      Say(source, line, Severity::kWarning, kTxtTextNul);
      text.resize(nul);
    }
    for (size_t at = text.find("$$"); at != std::string::npos; at = text.find("$$", at)) {
      size_t name_end = at + 2;
      while (name_end < text.size() && IsNameByte(text[name_end])) ++name_end;
      if (name_end == at + 2 || text.compare(name_end, 2, "$$") != 0 ||
          name_end + 2 - at >= static_cast<size_t>(kMacroTextSize)) {
        at += 2;  // no macro name: its closing $$ may open the next one
        continue;
      }
      CheckMacroName(source, line, text.substr(at, name_end + 2 - at).c_str());
      at = name_end + 2;
    }
  }
}

}  // namespace setup
