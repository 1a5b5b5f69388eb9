// Message boxes, wrapping, progress bar and answers for the terminal.
#include "ui/terminal/layout.h"

#include <algorithm>

#include "platform/posix/code_page.h"

namespace setup::terminal {
namespace {

// The length of the UTF-8 sequence that starts at text[i], as far as its
// continuation bytes go (1 for a stray or cut one), and its code point.
size_t Utf8Sequence(std::string_view text, size_t i, unsigned* code_point) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned c = byte(i);
  size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  unsigned value = n == 1 ? c : c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) {
      *code_point = c;
      return 1;
    }
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  *code_point = value;
  return n;
}

// East Asian wide characters: the ranges a terminal shows in two columns
// (kana, kanji, hangul, full-width forms).
bool IsWide(unsigned c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Bytes of the character that starts at text[i] (2 for a double-byte one
// whose second byte is present, a whole sequence in UTF-8, else 1).
size_t CharBytes(std::string_view text, size_t i, unsigned code_page) {
  if (code_page == kUtf8CodePage) {
    unsigned c;
    return Utf8Sequence(text, i, &c);
  }
  if (posix::IsLeadByteOf(code_page, static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
    return 2;
  }
  return 1;
}

// Columns of the character that starts at text[i]: its bytes in an ANSI
// code page; one or two in UTF-8.
int CharColumns(std::string_view text, size_t i, unsigned code_page) {
  if (code_page != kUtf8CodePage) return static_cast<int>(CharBytes(text, i, code_page));
  unsigned c;
  Utf8Sequence(text, i, &c);
  return IsWide(c) ? 2 : 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Wraps one line (no line feeds in it) into out.
void WrapLine(std::string_view line, int width, unsigned code_page, std::vector<std::string>* out) {
  size_t first = out->size();
  while (AnsiWidth(line, code_page) > width) {
    // Walk characters up to the width, remembering the last blank.
    size_t i = 0;
    int columns = 0;
    size_t last_blank = std::string_view::npos;
    while (i < line.size()) {
      size_t n = CharBytes(line, i, code_page);
      int w = CharColumns(line, i, code_page);
      if (columns + w > width) break;
      if (n == 1 && IsBlank(line[i])) last_blank = i;
      columns += w;
      i += n;
    }
    if (i == 0) i = CharBytes(line, 0, code_page);  // width below one character
    size_t cut = i;
    size_t resume = i;
    // Break at the last blank unless that leaves the line less than half
    // full (a long path): then the word itself is broken.
    if (last_blank != std::string_view::npos &&
        AnsiWidth(line.substr(0, last_blank), code_page) * 2 >= width) {
      cut = last_blank;
      resume = last_blank + 1;
    }
    out->emplace_back(line.substr(0, cut));
    line.remove_prefix(resume);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  }
  // A line that wrapped to its very end leaves no empty piece behind.
  if (!line.empty() || out->size() == first) out->emplace_back(line);
}

}  // namespace

int AnsiWidth(std::string_view text, unsigned code_page) {
  int columns = 0;
  for (size_t i = 0; i < text.size(); i += CharBytes(text, i, code_page)) {
    columns += CharColumns(text, i, code_page);
  }
  return columns;
}

std::string Sanitize(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n') {
      out.push_back('\n');
    } else if (c == '\t') {
      out.push_back(' ');
    } else if (c < 0x20 || c == 0x7F) {
      out.push_back('?');  // no escape sequence reaches the terminal
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::vector<std::string> WrapAnsi(std::string_view text, int width, unsigned code_page) {
  std::vector<std::string> lines;
  if (width < 1) width = 1;
  while (true) {
    size_t end = text.find('\n');
    WrapLine(text.substr(0, end), width, code_page, &lines);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string> Box(std::string_view caption, std::string_view text, Align align,
                             int min_inner, int max_inner, unsigned code_page) {
  std::string safe_caption = Sanitize(caption);
  std::replace(safe_caption.begin(), safe_caption.end(), '\n', ' ');
  if (max_inner < 8) max_inner = 8;
  if (min_inner > max_inner) min_inner = max_inner;
  // The inner width has a blank margin of one column on either side.
  std::vector<std::string> lines = WrapAnsi(Sanitize(text), max_inner - 2, code_page);
  int inner = min_inner;
  for (const std::string& l : lines) inner = std::max(inner, AnsiWidth(l, code_page) + 2);
  int caption_width = AnsiWidth(safe_caption, code_page);
  if (caption_width > 0) {
    // "+- caption -+": the caption may widen the box up to the maximum.
    inner = std::max(inner, std::min(caption_width + 4, max_inner));
  }

  std::vector<std::string> box;
  std::string top = "+";
  if (caption_width > 0) {
    std::string shown = safe_caption;
    if (caption_width + 4 > inner) {
      shown = WrapAnsi(safe_caption, inner - 4, code_page).front();  // cut to the first piece
    }
    top += "- " + shown + " ";
    top.append(inner - 3 - AnsiWidth(shown, code_page), '-');
  } else {
    top.append(inner, '-');
  }
  box.push_back(top + "+");
  for (const std::string& l : lines) {
    int room = inner - 2 - AnsiWidth(l, code_page);
    int left = align == Align::kCenter ? room / 2 : 0;
    box.push_back("| " + std::string(left, ' ') + l + std::string(room - left, ' ') + " |");
  }
  box.push_back("+" + std::string(inner, '-') + "+");
  return box;
}

std::string ProgressBar(int position, int range, int width) {
  // "[", the bar, "] ", and four columns of percentage.
  int bar = std::max(width - 7, 1);
  int percent = 0;
  int filled = 0;
  if (range > 0) {
    int p = std::clamp(position, 0, range);
    percent = static_cast<int>(100LL * p / range);
    filled = static_cast<int>(static_cast<long long>(bar) * p / range);
  }
  std::string text = "[" + std::string(filled, '#') + std::string(bar - filled, '-') + "] ";
  std::string number = std::to_string(percent) + "%";
  text.append(4 - number.size(), ' ');
  return text + number;
}

std::string Trim(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || IsBlank(line.back()))) {
    line.remove_suffix(1);
  }
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  return std::string(line);
}

Answer ParseOkCancel(std::string_view line) {
  std::string word = Trim(line);
  for (char& c : word) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (word.empty() || word == "o" || word == "ok" || word == "y" || word == "yes") {
    return Answer::kOk;
  }
  if (word == "c" || word == "cancel" || word == "n" || word == "no") return Answer::kCancel;
  return Answer::kInvalid;
}

}  // namespace setup::terminal
