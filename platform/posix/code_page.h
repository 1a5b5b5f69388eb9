// The locale of the simulated machine and its texts: the ANSI code page and
// its lead bytes, the user's language id, and every conversion of ANSI text
// (to the host's UTF-8 file names, to and from the terminal) through iconv.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace setup::posix {

// The locale name in effect for a category, resolved from the environment as
// POSIX does: LC_ALL, then the category's own variable (e.g. "LC_CTYPE"),
// then LANG; "C" when none of them is set and non-empty.
std::string LocaleName(const char* category_variable);

// The Windows ANSI code page of a locale name such as "ja_JP.UTF-8": 932 for
// Japanese, 936/950 for Chinese, 949 for Korean, the matching 125x or 874
// for other scripts, 1252 for everything else (C and POSIX included).
unsigned CodePageForLocale(const std::string& locale);

// The Windows language id (LANGID) of a locale name: "ja" 0x0411, "en_GB"
// 0x0809, ...; a known language with an unknown territory gets the language's
// main id; C, POSIX and unknown names give 0x0409.
unsigned short LangIdForLocale(const std::string& locale);

// True when byte starts a double-byte character in code_page (932, 936, 949,
// 950); always false for single-byte code pages.
bool IsLeadByteOf(unsigned code_page, unsigned char byte);

// True when text[i] starts a double-byte character of code_page: a lead byte
// followed by a byte that may be its second. '/' and NUL never are, so that
// neither a name ending in a lead byte nor a damaged one swallows a
// separator or the end of its text.
inline bool IsDoubleByteAt(unsigned code_page, std::string_view text, size_t i) {
  // No code page has a lead byte below 0x81: ASCII is told without a call.
  unsigned char byte = static_cast<unsigned char>(text[i]);
  return byte >= 0x81 && IsLeadByteOf(code_page, byte) && i + 1 < text.size() &&
         text[i + 1] != '/' && text[i + 1] != '\0';
}

// The iconv name of an ANSI code page ("CP932", "CP1252").
std::string IconvName(unsigned code_page);

// One direction of iconv conversion, open for the object's life.
class Iconv {
 public:
  // to and from are iconv names; ok() tells whether iconv knows the pair.
  Iconv(const std::string& to, const std::string& from) { Open(to, from); }
  Iconv() = default;
  ~Iconv();
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Closes the pair in use and opens this one; false when iconv lacks it.
  bool Open(const std::string& to, const std::string& from);
  bool ok() const;
  // Converts the whole of in into *out. On a byte sequence without a
  // counterpart (or cut short at the end) the result is false, unless
  // replace is set: then the offending byte becomes "?" and the conversion
  // goes on behind it. Without a converter ASCII passes and other bytes count
  // as having no counterpart.
  bool Convert(std::string_view in, bool replace, std::string* out) const;

 private:
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr): none open
};

// ANSI bytes of code_page to the host's UTF-8, and back. Text that does not
// convert completely is passed on unchanged, so ASCII and names that are
// already host bytes keep working.
std::string AnsiToHost(unsigned code_page, const std::string& ansi);
std::string HostToAnsi(unsigned code_page, const std::string& host);

// Converts between one ANSI code page and the terminal's character set.
// Conversion never fails as a whole: bytes that have no counterpart come out
// as "?" towards the terminal; the other way FromTerminal reports them.
class CodePageConverter {
 public:
  // terminal_charset as nl_langinfo(CODESET) gives it ("UTF-8").
  CodePageConverter(unsigned code_page, const char* terminal_charset);

  unsigned code_page() const { return code_page_; }
  // The ANSI text as the terminal shows it.
  std::string ToTerminal(std::string_view ansi) const;
  // Text typed on the terminal in the ANSI code page; false (ansi unchanged)
  // when a character has no counterpart there or the input is malformed.
  bool FromTerminal(std::string_view text, std::string* ansi) const;
  // UTF-8 text as the terminal shows it ("?" where it has no counterpart):
  // for text made of more than one code page.
  std::string Utf8ToTerminal(std::string_view utf8) const;

 private:
  unsigned code_page_;
  Iconv to_terminal_;
  Iconv from_terminal_;
  Iconv utf8_to_terminal_;
};

}  // namespace setup::posix
