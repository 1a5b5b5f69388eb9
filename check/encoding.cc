// The medium check's first pass: the script's bytes as an author's editor
// may have saved them (a byte order mark, UTF-16 or UTF-8 text, bytes that
// are no Shift-JIS, lone CRs, NULs, Ctrl-Z), and the lines the loader will
// store as several, so that diagnostics can name lines of the file.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "check/check_texts.h"
#include "check/checker.h"
#include "platform/shift_jis.h"

namespace setup {
namespace {

// True when each of the eight bytes at p is printable ASCII (0x20 to 0x7E):
// no high bit, no byte below a blank (a byte below 0x20 borrows into its own
// top bit), no DEL (the byte XOR 0x7F is then zero).
bool PrintableWord(const unsigned char* p) {
  std::uint64_t v = 0;
  std::memcpy(&v, p, sizeof v);
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kTops = kOnes * 0x80;
  std::uint64_t control = (v - kOnes * 0x20) & ~v & kTops;
  std::uint64_t del = v ^ (kOnes * 0x7F);
  del = (del - kOnes) & ~del & kTops;
  return ((v & kTops) | control | del) == 0;
}

}  // namespace

bool Checker::CheckEncoding() {
  char path[kTextSize];
  std::snprintf(path, sizeof path, "%s\\Setup.Inf", options_.medium_folder);
  FileHandle file = medium_.OpenRead(path);
  if (file == kNoFile) return false;
  unsigned char buffer[4096];
  int line = 1;
  int length = 0;  // bytes of the line as the loader reads it (CR LF as LF)
  long offset = 0;
  bool line_said = false;  // a byte of this line was said already
  bool lead = false;       // the byte before was a Shift-JIS lead byte
  unsigned char lead_byte = 0;
  bool cr = false;     // the byte before was a CR
  bool ended = false;  // a Ctrl-Z was met
  int ended_line = 0;
  bool said_ctrl_z = false;
  int utf8_left = 0;  // continuation bytes still due
  bool utf8 = true;   // valid UTF-8 so far
  int utf8_line = 0;  // the first line with a multibyte UTF-8 character
  // Shift-JIS faults wait until the file is known not to be UTF-8.
  constexpr int kMaxFaults = 32;
  int fault_line[kMaxFaults];
  int fault_byte[kMaxFaults];
  int faults = 0;
  for (;;) {
    long n = medium_.Read(file, buffer, sizeof buffer);
    if (n <= 0) break;
    for (long i = 0; i < n; ++i, ++offset) {
      if (!ended && !cr && !lead && utf8_left == 0) {
        // Printable ASCII and TABs between the bytes worth a look only make
        // the line longer: most of a script is such runs.
        long run = i;
        while (run + 8 <= n && PrintableWord(buffer + run)) run += 8;
        while (run < n && ((buffer[run] >= 0x20 && buffer[run] < 0x7F) || buffer[run] == '\t')) {
          ++run;
        }
        length += static_cast<int>(run - i);
        offset += run - i;
        i = run;
        if (i == n) break;
      }
      unsigned char c = buffer[i];
      if (offset == 0 && n >= 2 &&
          ((c == 0xFF && buffer[1] == 0xFE) || (c == 0xFE && buffer[1] == 0xFF))) {
        Say(nullptr, 1, Severity::kError, kTxtUtf16);
        medium_.Close(file);
        return true;
      }
      if (offset == 0 && n >= 3 && c == 0xEF && buffer[1] == 0xBB && buffer[2] == 0xBF) {
        Say(nullptr, 1, Severity::kError, kTxtBom);
      }
      if (ended) {
        if (!said_ctrl_z && c != 0x1A && c != '\r' && c != '\n' && !IsBlank(static_cast<char>(c))) {
          Say(nullptr, ended_line, Severity::kWarning, kTxtCtrlZ);
          said_ctrl_z = true;
        }
        continue;
      }
      if (c != '\n' && c != 0x1A) ++length;
      // UTF-8 shape.
      if (utf8_left > 0) {
        if ((c & 0xC0) == 0x80) {
          if (--utf8_left == 0 && utf8_line == 0) utf8_line = line;
        } else {
          utf8 = false;
          utf8_left = 0;
        }
      } else if (c >= 0xC2 && c <= 0xF4) {
        utf8_left = c >= 0xF0 ? 3 : (c >= 0xE0 ? 2 : 1);
      } else if (c >= 0x80) {
        utf8 = false;
      }
      // A CR before CR LF stays at the end of its line, where it runs
      // nothing on; only a CR that text follows does.
      if (cr && c != '\n' && c != '\r') {
        if (!line_said) Say(nullptr, line, Severity::kError, kTxtLoneCr);
        line_said = true;
      }
      bool after_cr = cr;
      cr = c == '\r';
      if (lead) {
        lead = false;
        bool trail = (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
        if (!trail && !line_said && faults < kMaxFaults) {
          fault_line[faults] = line;
          fault_byte[faults++] = lead_byte;
          line_said = true;
        }
        if (trail) continue;
      }
      if (c == '\n') {
        NoteSplit(line, length - (after_cr ? 1 : 0) + 1);
        ++line;
        length = 0;
        line_said = false;
        continue;
      }
      if (c == 0x1A) {
        ended = true;
        ended_line = line;
        continue;
      }
      if (c == 0) {
        if (!line_said) Say(nullptr, line, Severity::kWarning, kTxtNul);
        line_said = true;
        continue;
      }
      if (IsShiftJisLeadByte(c)) {
        lead = true;
        lead_byte = c;
      } else if ((c == 0x80 || c == 0xA0 || c >= 0xFD) && !line_said && faults < kMaxFaults) {
        fault_line[faults] = line;
        fault_byte[faults++] = c;
        line_said = true;
      }
    }
  }
  medium_.Close(file);
  NoteSplit(line, length);
  if (utf8 && utf8_left == 0 && utf8_line > 0) {
    Say(nullptr, utf8_line, Severity::kWarning, kTxtUtf8);
    return true;
  }
  for (int i = 0; i < faults; ++i) {
    Say(nullptr, fault_line[i], Severity::kWarning, kTxtNotShiftJis, fault_byte[i]);
  }
  return true;
}

void Checker::NoteSplit(int line, int bytes) {
  // The loader reads at most 1023 bytes at a time (a line end included): a
  // longer line is stored as several.
  constexpr int kPiece = kStoredLineSize - 1;
  int extra = bytes > 0 ? (bytes + kPiece - 1) / kPiece - 1 : 0;
  if (extra > 0) splits_.push_back({line, extra});
}

int Checker::PhysicalLine(int stored) const {
  int shift = 0;
  for (const Split& split : splits_) {
    if (stored < split.line + shift) break;
    if (stored <= split.line + shift + split.extra) return split.line;
    shift += split.extra;
  }
  return stored - shift;
}

}  // namespace setup
