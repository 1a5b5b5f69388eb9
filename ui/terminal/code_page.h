// The ANSI code page the engine's texts are written in, and conversion of
// those texts to and from the terminal's character set (iconv).
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace setup::terminal {

// The iconv name of an ANSI code page ("CP932", "CP1252").
std::string IconvName(int code_page);

// True when byte starts a double-byte character in code_page (932, 936, 949,
// 950); never in a single-byte code page.
bool IsAnsiLeadByte(int code_page, unsigned char byte);

// Converts between one ANSI code page and the terminal's character set.
// Conversion never fails as a whole: bytes that have no counterpart come out
// as "?" towards the terminal; the other way FromTerminal reports them.
class CodePageConverter {
 public:
  // terminal_charset as nl_langinfo(CODESET) gives it ("UTF-8").
  CodePageConverter(int code_page, const char* terminal_charset);
  ~CodePageConverter();
  CodePageConverter(const CodePageConverter&) = delete;
  CodePageConverter& operator=(const CodePageConverter&) = delete;

  int code_page() const { return code_page_; }
  // The ANSI text as the terminal shows it.
  std::string ToTerminal(std::string_view ansi) const;
  // Text typed on the terminal in the ANSI code page; false (ansi unchanged)
  // when a character has no counterpart there or the input is malformed.
  bool FromTerminal(std::string_view text, std::string* ansi) const;

 private:
  int code_page_;
  iconv_t to_terminal_;
  iconv_t from_terminal_;
};

}  // namespace setup::terminal
