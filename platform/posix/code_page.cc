// Code page, lead bytes and language id of the simulated machine, from the
// POSIX locale, and the conversions of ANSI text through iconv.
#include "platform/posix/code_page.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/shift_jis.h"

namespace setup::posix {
namespace {

struct LanguageEntry {
  const char* name;  // "ll" or "ll_TT"; a language's main entry comes first
  unsigned short lang_id;
};

constexpr LanguageEntry kLanguages[] = {
    {"ar_SA", 0x0401}, {"bg_BG", 0x0402}, {"ca_ES", 0x0403}, {"zh_CN", 0x0804}, {"zh_TW", 0x0404},
    {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"cs_CZ", 0x0405}, {"da_DK", 0x0406}, {"de_DE", 0x0407},
    {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"el_GR", 0x0408}, {"en_US", 0x0409}, {"en_GB", 0x0809},
    {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809}, {"en_ZA", 0x1C09},
    {"en_IN", 0x4009}, {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_AR", 0x2C0A}, {"fi_FI", 0x040B},
    {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"he_IL", 0x040D},
    {"hu_HU", 0x040E}, {"is_IS", 0x040F}, {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"ja_JP", 0x0411},
    {"ko_KR", 0x0412}, {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"nb_NO", 0x0414}, {"no_NO", 0x0414},
    {"nn_NO", 0x0814}, {"pl_PL", 0x0415}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"ro_RO", 0x0418},
    {"ru_RU", 0x0419}, {"hr_HR", 0x041A}, {"sk_SK", 0x041B}, {"sv_SE", 0x041D}, {"sv_FI", 0x081D},
    {"th_TH", 0x041E}, {"tr_TR", 0x041F}, {"uk_UA", 0x0422}, {"sl_SI", 0x0424}, {"et_EE", 0x0425},
    {"lv_LV", 0x0426}, {"lt_LT", 0x0427}, {"vi_VN", 0x042A},
};

struct CodePageEntry {
  const char* languages;  // space-separated language codes
  unsigned code_page;
};

constexpr CodePageEntry kCodePages[] = {
    {"ja", 932},
    {"ko", 949},
    {"th", 874},
    {"vi", 1258},
    {"cs hu pl sk sl hr ro sq bs", 1250},
    {"ru uk bg be mk kk", 1251},
    {"el", 1253},
    {"tr az", 1254},
    {"he", 1255},
    {"ar fa ur", 1256},
    {"lt lv et", 1257},
};

// Splits "ll_TT.codeset@modifier" into its language and territory.
void SplitLocale(const std::string& locale, std::string* language, std::string* territory) {
  size_t end = locale.find_first_of(".@");
  std::string base = locale.substr(0, end);
  size_t underscore = base.find('_');
  *language = base.substr(0, underscore);
  *territory = underscore == std::string::npos ? "" : base.substr(underscore + 1);
}

bool ListHas(const char* list, const std::string& word) {
  for (const char* p = list; *p != '\0';) {
    size_t length = std::strcspn(p, " ");
    if (length == word.size() && word.compare(0, length, p, length) == 0) return true;
    p += length;
    while (*p == ' ') ++p;
  }
  return false;
}

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string LocaleName(const char* category_variable) {
  for (const char* name : {"LC_ALL", category_variable, "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

unsigned CodePageForLocale(const std::string& locale) {
  std::string language, territory;
  SplitLocale(locale, &language, &territory);
  if (language == "zh") {
    return (territory == "TW" || territory == "HK" || territory == "MO") ? 950 : 936;
  }
  for (const CodePageEntry& entry : kCodePages) {
    if (ListHas(entry.languages, language)) return entry.code_page;
  }
  return 1252;
}

unsigned short LangIdForLocale(const std::string& locale) {
  std::string language, territory;
  SplitLocale(locale, &language, &territory);
  std::string full = language + "_" + territory;
  for (const LanguageEntry& entry : kLanguages) {
    if (full == entry.name) return entry.lang_id;
  }
  for (const LanguageEntry& entry : kLanguages) {
    // The first entry of a language is its main one.
    if (std::strncmp(entry.name, language.c_str(), language.size()) == 0 &&
        entry.name[language.size()] == '_' && !language.empty()) {
      return entry.lang_id;
    }
  }
  return 0x0409;
}

bool IsLeadByteOf(unsigned code_page, unsigned char byte) {
  switch (code_page) {
    case 932:
      return IsShiftJisLeadByte(byte);
    case 936:  // GBK, Unified Hangul, Big5
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

std::string IconvName(unsigned code_page) { return "CP" + std::to_string(code_page); }

Iconv::~Iconv() {
  if (ok()) iconv_close(cd_);
}

bool Iconv::Open(const std::string& to, const std::string& from) {
  if (ok()) iconv_close(cd_);
  cd_ = iconv_open(to.c_str(), from.c_str());
  return ok();
}

bool Iconv::ok() const {
  return cd_ != reinterpret_cast<iconv_t>(-1);
}  // NOLINT(performance-no-int-to-ptr)

bool Iconv::Convert(std::string_view in, bool replace, std::string* out) const {
  out->clear();
  if (!ok()) {
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
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // initial shift state
  char* src = const_cast<char*>(in.data());        // iconv's signature is not const
  size_t src_left = in.size();
  char chunk[256];
  while (true) {
    char* dst = chunk;
    size_t dst_left = sizeof chunk;
    size_t done = src_left == 0 ? iconv(cd_, nullptr, nullptr, &dst, &dst_left)
                                : iconv(cd_, &src, &src_left, &dst, &dst_left);
    out->append(chunk, static_cast<size_t>(dst - chunk));
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

std::string AnsiToHost(unsigned code_page, const std::string& ansi) {
  std::string host;
  if (IsAscii(ansi) || !Iconv("UTF-8", IconvName(code_page)).Convert(ansi, false, &host)) {
    return ansi;
  }
  return host;
}

std::string HostToAnsi(unsigned code_page, const std::string& host) {
  std::string ansi;
  if (IsAscii(host) || !Iconv(IconvName(code_page), "UTF-8").Convert(host, false, &ansi)) {
    return host;
  }
  return ansi;
}

CodePageConverter::CodePageConverter(unsigned code_page, const char* terminal_charset)
    : code_page_(code_page) {
  std::string target = terminal_charset != nullptr && *terminal_charset != '\0' ? terminal_charset
                                                                                : "ANSI_X3.4-1968";
  // Transliteration lets a C-locale terminal show "e" for an accented letter
  // instead of a question mark, where glibc knows one.
  std::string ansi = IconvName(code_page);
  if (!to_terminal_.Open(target + "//TRANSLIT", ansi)) to_terminal_.Open(target, ansi);
  from_terminal_.Open(ansi, target);
  if (!utf8_to_terminal_.Open(target + "//TRANSLIT", "UTF-8"))
    utf8_to_terminal_.Open(target, "UTF-8");
}

std::string CodePageConverter::ToTerminal(std::string_view ansi) const {
  std::string out;
  to_terminal_.Convert(ansi, true, &out);
  return out;
}

std::string CodePageConverter::Utf8ToTerminal(std::string_view utf8) const {
  std::string out;
  utf8_to_terminal_.Convert(utf8, true, &out);
  return out;
}

bool CodePageConverter::FromTerminal(std::string_view text, std::string* ansi) const {
  std::string out;
  if (!from_terminal_.Convert(text, false, &out)) return false;
  *ansi = out;
  return true;
}

}  // namespace setup::posix
