// Text layout of the terminal front end: message boxes, wrapping, the
// progress bar and the reading of OK/Cancel answers. Works on ANSI bytes, so
// widths are exact: a double-byte character takes two columns, every other
// byte one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace setup::terminal {

// The code page number that stands for UTF-8 text here: the layout then
// counts East Asian wide characters as two columns, every other one as one.
inline constexpr unsigned kUtf8CodePage = 65001;

// Columns the ANSI text takes on a terminal.
int AnsiWidth(std::string_view text, unsigned code_page);

// The text made safe for a terminal: every control byte other than the line
// feed becomes a blank (TAB) or "?" (escape sequences and the like), and a
// CR LF pair becomes a line feed.
std::string Sanitize(std::string_view text);

// Splits text at its line feeds and wraps every line to at most width
// columns, at the last blank when there is one, never inside a double-byte
// character. An empty text gives one empty line.
std::vector<std::string> WrapAnsi(std::string_view text, int width, unsigned code_page);

// How the lines of a box stand: left-aligned or each one centred.
enum class Align { kLeft, kCenter };

// A framed box with an optional caption in its top edge:
//   +- caption ------+
//   | line           |
//   +----------------+
// The inner width fits the widest line (at least min_inner); lines longer
// than max_inner are wrapped first. Lines are ANSI bytes, without line ends.
std::vector<std::string> Box(std::string_view caption, std::string_view text, Align align,
                             int min_inner, int max_inner, unsigned code_page);

// The progress bar for position within 0..range, width columns in all:
//   [#########---------]  45%
// A range of 0 shows an empty bar; a position outside the range is clamped.
std::string ProgressBar(int position, int range, int width);

enum class Answer { kOk, kCancel, kInvalid };

// Reads an answer to an OK/Cancel question: empty (the default button),
// "o", "ok", "y", "yes" mean OK; "c", "cancel", "n", "no" mean Cancel;
// letters in either case, blanks around the word ignored.
Answer ParseOkCancel(std::string_view line);

// The line without its line end (LF or CR LF) and without blanks at both ends.
std::string Trim(std::string_view line);

}  // namespace setup::terminal
