// ANSI code page choice and iconv conversion for the terminal front end.
#include "ui/terminal/code_page.h"

#include <cerrno>

namespace setup::terminal {
namespace {

// iconv_open's failure value, (iconv_t)-1.
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)

// Runs one whole conversion. On an unconvertible or malformed sequence the
// result is false, unless replace is set: then the offending byte becomes
// "?" and the conversion goes on behind it.
bool Convert(iconv_t cd, std::string_view in, bool replace, std::string* out) {
  out->clear();
  if (cd == kNoConverter) {
    // No converter for this pair: pass ASCII through, mark the rest.
    for (char c : in) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out->push_back(c);
      } else if (replace) {
        out->push_back('?');
      } else {
        return false;
      }
    }
    return true;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
  char* src = const_cast<char*>(in.data());       // iconv's signature is not const
  size_t src_left = in.size();
  char chunk[256];
  while (true) {
    char* dst = chunk;
    size_t dst_left = sizeof chunk;
    size_t done = src_left == 0 ? iconv(cd, nullptr, nullptr, &dst, &dst_left)
                                : iconv(cd, &src, &src_left, &dst, &dst_left);
    out->append(chunk, dst - chunk);
    if (done != static_cast<size_t>(-1)) {
      if (src_left == 0) return true;
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a cut double-byte character at the end).
    if (!replace) return false;
    out->push_back('?');
    ++src;
    --src_left;
  }
}

}  // namespace

std::string IconvName(int code_page) { return "CP" + std::to_string(code_page); }

bool IsAnsiLeadByte(int code_page, unsigned char byte) {
  switch (code_page) {
    case 932:  // Shift-JIS; 0xA1 to 0xDF are half-width katakana, one byte each
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK, Unified Hangul, Big5
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

CodePageConverter::CodePageConverter(int code_page, const char* terminal_charset)
    : code_page_(code_page) {
  std::string target = terminal_charset != nullptr && *terminal_charset != '\0' ? terminal_charset
                                                                                : "ANSI_X3.4-1968";
  // Transliteration lets a C-locale terminal show "e" for an accented letter
  // instead of a question mark, where glibc knows one.
  std::string ansi = IconvName(code_page);
  to_terminal_ = iconv_open((target + "//TRANSLIT").c_str(), ansi.c_str());
  if (to_terminal_ == kNoConverter) to_terminal_ = iconv_open(target.c_str(), ansi.c_str());
  from_terminal_ = iconv_open(ansi.c_str(), target.c_str());
}

CodePageConverter::~CodePageConverter() {
  if (to_terminal_ != kNoConverter) iconv_close(to_terminal_);
  if (from_terminal_ != kNoConverter) iconv_close(from_terminal_);
}

std::string CodePageConverter::ToTerminal(std::string_view ansi) const {
  std::string out;
  Convert(to_terminal_, ansi, true, &out);
  return out;
}

bool CodePageConverter::FromTerminal(std::string_view text, std::string* ansi) const {
  std::string out;
  if (!Convert(from_terminal_, text, false, &out)) return false;
  *ansi = out;
  return true;
}

}  // namespace setup::terminal
