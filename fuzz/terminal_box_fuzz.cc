// The terminal's message boxes on any caption and text, in both code pages
// and in UTF-8:
// no control byte reaches the terminal, every line of a box is as wide as
// its frame and no wider than the room given, and no printable byte of the
// text is lost on the way (wrapping drops blanks only). The diagnostics'
// defusing lets no control byte through either.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry_store.h"
#include "ui/terminal/layout.h"

namespace {

using setup::terminal::Align;
using setup::terminal::AnsiWidth;

bool HasControl(std::string_view text) {
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return true;
  }
  return false;
}

// The bytes of text other than blanks and line feeds, in order.
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\n') out.push_back(c);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // UTF-8 too: the boxes of messages that mix the program's Japanese with
  // the machine's code page.
  const unsigned code_page = (data[0] & 1) != 0   ? 932
                             : (data[0] & 4) != 0 ? setup::terminal::kUtf8CodePage
                                                  : 1252;
  const Align align = (data[0] & 2) != 0 ? Align::kCenter : Align::kLeft;
  const int min_inner = data[1] % 90;
  const int max_inner = data[2] % 200;  // below 8 too: the box widens it
  std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
  size_t cut = rest.find('\0');
  std::string_view caption =
      cut == std::string_view::npos ? std::string_view() : rest.substr(0, cut);
  std::string_view text = cut == std::string_view::npos ? rest : rest.substr(cut + 1);

  std::vector<std::string> box =
      setup::terminal::Box(caption, text, align, min_inner, max_inner, code_page);
  if (box.size() < 3) std::abort();
  const int width = AnsiWidth(box.front(), code_page);
  const int room = (max_inner < 8 ? 8 : max_inner) + 2;
  if (width > room) std::abort();
  std::string body;
  for (size_t i = 0; i < box.size(); ++i) {
    const std::string& line = box[i];
    if (HasControl(line) || AnsiWidth(line, code_page) != width) std::abort();
    if (i == 0 || i + 1 == box.size()) continue;
    if (line.compare(0, 2, "| ") != 0 || line.compare(line.size() - 2, 2, " |") != 0) {
      std::abort();
    }
    body.append(line, 2, line.size() - 4);
  }
  if (Printable(body) != Printable(setup::terminal::Sanitize(text))) std::abort();

  if (HasControl(setup::posix::DefuseControls(std::string(rest)))) std::abort();
  return 0;
}
