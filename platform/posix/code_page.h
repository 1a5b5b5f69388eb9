// The locale of the simulated machine: its ANSI code page, the lead bytes of
// that code page, the user's language id and the conversion between ANSI
// byte strings and the host's UTF-8 file names.
#pragma once

#include <string>

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

// The ANSI code page in use: taken from the LC_CTYPE locale at first use
// unless SetAnsiCodePage chose one.
unsigned AnsiCodePage();
// Overrides the ANSI code page (a command-line option, tests).
void SetAnsiCodePage(unsigned code_page);

// True when byte starts a double-byte character in code_page; always false
// for single-byte code pages.
bool IsLeadByteOf(unsigned code_page, unsigned char byte);

// ANSI bytes (of AnsiCodePage) to the host's UTF-8, and back. Text that does
// not convert completely is passed on unchanged, so ASCII and names that are
// already host bytes keep working.
std::string AnsiToHost(const std::string& ansi);
std::string HostToAnsi(const std::string& host);

}  // namespace setup::posix
