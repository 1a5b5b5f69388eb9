// TextCopy, JapanCopy and EnglishCopy: copies a text file with macros
// expanded, CR LF line ends and one language's half of each comment.
#include "actions/text_copier.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/messages.h"
#include "platform/shift_jis.h"

namespace setup {
namespace {

constexpr unsigned char kCtrlZ = 0x1A;

// The copier always uses the fixed Shift-JIS ranges, whatever the code page.
bool IsShiftJisLead(unsigned byte) { return IsShiftJisLeadByte(static_cast<unsigned char>(byte)); }

FileSystem& Files(ScriptEngine& engine) { return *engine.platform().files; }

// The two file messages are shown directly, not through ReportError.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void ShowFileMessage(ScriptEngine& engine, const char* format, ...) {
  char text[2 * kTextSize];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  // Cut at 255 bytes as the other messages are, never inside a double-byte
  // character of the file's name.
  char message[kTextSize];
  CopyBounded(engine.lead_bytes, message, sizeof message, text);
  // The format's own text is ASCII around one %s, the file's name.
  bool own[kTextSize];
  int name_start = 0;
  while (format[name_start] != '\0' && (format[name_start] != '%' || format[name_start + 1] != 's'))
    ++name_start;
  int name_end = name_start + static_cast<int>(std::strlen(text) - std::strlen(format) + 2);
  for (int i = 0; i < kTextSize; ++i) own[i] = i < name_start || i >= name_end;
  engine.ui().ShowEngineError(EngineError{message, own, format, engine.line_number});
}

void ReportSyntaxError(ScriptEngine& engine, CopyFault fault) {
  TextCopier& t = engine.text_copy;
  t.failed = true;
  t.fault = fault;
  engine.ReportError(kMsgCommentSyntax, t.source_name, t.source_line);
}

// ---- reader ----

// The next byte of the macro-expanded source; 0x1A at the end of the input.
unsigned char NextChar(ScriptEngine& engine) {
  TextCopier& t = engine.text_copy;
  if (t.end_of_input) return kCtrlZ;
  // A line whose expanded text is empty (it began with a NUL byte) has
  // nothing to deliver: go on with the next one instead of reading past it.
  while (t.unread_count <= 0) {
    t.read_position = t.expanded_line;
    if (TextReaderReadLine(t.reader, t.raw_line, kTextBufferSize) < 0) {
      t.end_of_input = true;
      return kCtrlZ;
    }
    ++t.source_line;
    unsigned length = 0;
    if (!ExpandMacros(engine.macros, t.macro_index, t.raw_line, t.expanded_line, kTextBufferSize,
                      &length)) {
      // A cut line would silently corrupt the copy: it stops with the
      // copier's syntax error, which names the file and its counter.
      ReportSyntaxError(engine, CopyFault::kLineTooLong);
      t.end_of_input = true;
      return kCtrlZ;
    }
    // The expansion stops at a NUL byte of the line, so its length is the
    // text's length.
    t.unread_count = static_cast<int>(length);
  }
  --t.unread_count;
  unsigned char c = static_cast<unsigned char>(*t.read_position);
  if (c == kCtrlZ) {
    t.end_of_input = true;  // a Ctrl-Z that came in with a macro value
    return c;
  }
  ++t.read_position;
  return c;
}

// ---- plain runs ----

// Bytes that the tokenizer hands over as tokens of their own and that the
// writer stores unchanged: everything but the end of input, the first bytes
// of the marks, lead bytes and the line feed (which becomes CR LF).
constexpr bool IsPlainOutput(unsigned byte) {
  return byte != 0 && byte != kCtrlZ && byte != '$' && byte != '*' && byte != '/' && byte != '\n' &&
         !IsShiftJisLeadByte(static_cast<unsigned char>(byte));
}

// Inside a comment a line feed is stored as it is.
constexpr bool IsPlainBody(unsigned byte) { return byte == '\n' || IsPlainOutput(byte); }

// One bit per byte value (an eighth of a table of bools, which setup.exe
// would carry as 512 bytes).
struct PlainTables {
  std::uint32_t output[8];
  std::uint32_t body[8];
  constexpr PlainTables() : output(), body() {
    for (unsigned b = 0; b < 256; ++b) {
      output[b / 32] |= static_cast<std::uint32_t>(IsPlainOutput(b)) << (b % 32);
      body[b / 32] |= static_cast<std::uint32_t>(IsPlainBody(b)) << (b % 32);
    }
  }
};
constexpr PlainTables kPlain;

// Takes up to limit bytes that wait in the expanded line and that the
// byte-wise path would store unchanged, as NextChar would hand them over:
// plain bytes (by table) and double-byte characters whose second byte is
// neither a line feed nor the end of input. Returns how many; *pairs tells
// whether a double-byte character was among them.
int TakePlainRun(TextCopier& t, const std::uint32_t* table, int limit, char* dest, bool* pairs) {
  if (t.look_ahead_valid || t.end_of_input) return 0;  // the byte-wise path decides
  if (limit > t.unread_count) limit = t.unread_count;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(t.read_position);
  int k = 0;
  while (k < limit) {
    unsigned char b = p[k];
    if ((table[b / 32] >> (b % 32) & 1) != 0) {
      ++k;
    } else if (IsShiftJisLead(b) && k + 2 <= limit && p[k + 1] != '\n' && p[k + 1] != kCtrlZ) {
      // A pair is taken only whole; the rare ones that end a line, the input
      // or the room left go the byte-wise way.
      *pairs = true;
      k += 2;
    } else {
      break;
    }
  }
  std::memcpy(dest, p, static_cast<size_t>(k));
  t.read_position += k;
  t.unread_count -= k;
  return k;
}

// ---- tokenizer ----

// Reads the byte after first: the mark when it is second (or second2), else
// gives it back and returns first alone.
unsigned Mark(ScriptEngine& engine, unsigned char first, unsigned char second, unsigned mark,
              unsigned char second2, unsigned mark2) {
  TextCopier& t = engine.text_copy;
  unsigned char d = NextChar(engine);
  t.look_ahead = d;
  if (d == second) return mark;
  if (second2 != 0 && d == second2) return mark2;
  t.look_ahead_valid = true;
  return first;
}

unsigned NextToken(ScriptEngine& engine) {
  TextCopier& t = engine.text_copy;
  unsigned char c;
  if (t.look_ahead_valid) {
    c = t.look_ahead;
    t.look_ahead_valid = false;
  } else {
    c = NextChar(engine);
  }
  switch (c) {
    case kCtrlZ:
      return kTokenEndOfInput;
    case '$':
      return Mark(engine, '$', '#', kTokenSplitMark, '$', kTokenRawMark);
    case '*':
      return Mark(engine, '*', '/', kTokenCommentClose, 0, 0);
    case '/':
      return Mark(engine, '/', '*', kTokenCommentOpen, 0, 0);
    default:
      break;
  }
  // A lead byte takes the next byte whatever it is, so no mark is ever seen
  // inside a double-byte character; at the end it pairs with 0x1A.
  if (IsShiftJisLead(c)) return c * 256u + NextChar(engine);
  return c;
}

// ---- writer ----

// Writes what waits in the write-behind buffer to the file.
void WritePending(ScriptEngine& engine) {
  TextCopier& t = engine.text_copy;
  int count = t.pending_count;
  t.pending_count = 0;
  if (t.destination == kNoFile || count <= 0 || t.write_failed) return;
  if (!Files(engine).Write(t.destination, t.pending, static_cast<unsigned long>(count))) {
    t.write_failed = true;  // the copy goes on; the replacement is not committed
  }
}

// Output in file order: through the write-behind buffer, or straight to the
// file when it would not fit.
void WriteBytes(ScriptEngine& engine, const char* bytes, int count) {
  TextCopier& t = engine.text_copy;
  if (t.destination == kNoFile || count <= 0 || t.write_failed) return;
  if (t.pending_count + count > kTextWriteBehindSize) WritePending(engine);
  if (count > kTextWriteBehindSize) {
    if (!t.write_failed &&
        !Files(engine).Write(t.destination, bytes, static_cast<unsigned long>(count))) {
      t.write_failed = true;
    }
    return;
  }
  std::memcpy(t.pending + t.pending_count, bytes, static_cast<size_t>(count));
  t.pending_count += count;
}

bool IsBlankOutput(const TextCopier& t) {
  for (int i = 0; i < t.output_count; ++i) {
    char c = t.output[i];
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

// Writes the buffered line, or drops it when a comment was removed from it
// and nothing but blanks is left.
void FlushOutput(ScriptEngine& engine) {
  TextCopier& t = engine.text_copy;
  if (t.drop_blank) {
    if (IsBlankOutput(t)) t.output_count = 0;
    t.drop_blank = false;
  }
  WriteBytes(engine, t.output, t.output_count);
  t.output_count = 0;
  t.output_position = t.output;
}

void Store(TextCopier& t, char c) {
  *t.output_position++ = c;
  ++t.output_count;
}

void PutChar(ScriptEngine& engine, char c) {
  TextCopier& t = engine.text_copy;
  if (t.output_count >= kTextBufferSize) FlushOutput(engine);
  if (c == '\n') {
    if (t.output_count > kTextBufferSize - 2) FlushOutput(engine);  // keep CR LF together
    Store(t, '\r');
    Store(t, '\n');
    FlushOutput(engine);
    return;
  }
  Store(t, c);
}

void PutToken(ScriptEngine& engine, unsigned token) {
  if ((token >> 8) != 0) PutChar(engine, static_cast<char>(token >> 8));
  PutChar(engine, static_cast<char>(token & 0xFF));
}

void PutString(ScriptEngine& engine, const char* text) {
  for (; *text != '\0'; ++text) PutChar(engine, *text);
}

// The body goes straight to the file, so its line ends stay single LFs.
void WriteComment(ScriptEngine& engine, bool with_marks) {
  TextCopier& t = engine.text_copy;
  if (with_marks) PutString(engine, "/*");
  FlushOutput(engine);
  WriteBytes(engine, t.body, t.body_length);
  if (with_marks) PutString(engine, "*/");
}

// ---- comment filter ----

// Adds token to the comment's text; false (reported) when it is full.
bool AppendBody(ScriptEngine& engine, unsigned token) {
  TextCopier& t = engine.text_copy;
  if (t.body_length > kTextBufferSize - 2) {  // room is kept for a double-byte token
    ReportSyntaxError(engine, CopyFault::kCommentTooLong);
    return false;
  }
  if ((token >> 8) != 0) {
    *t.body_position++ = static_cast<char>(token >> 8);
    ++t.body_length;
  }
  *t.body_position++ = static_cast<char>(token & 0xFF);
  ++t.body_length;
  return true;
}

// Collects a comment's text, starting with token, up to its close mark;
// false (reported) when the input ends first or the text does not fit.
bool ReadCommentBody(ScriptEngine& engine, unsigned token) {
  TextCopier& t = engine.text_copy;
  t.double_byte = false;
  t.split_position = -1;
  t.body_length = 0;
  t.body_position = t.body;
  for (;; token = NextToken(engine)) {
    if (token == kTokenCommentClose) return true;
    if (token == kTokenEndOfInput) {
      // A reader failure was reported already.
      if (!t.failed) ReportSyntaxError(engine, CopyFault::kCommentNotClosed);
      return false;
    }
    if (token == kTokenSplitMark) {
      t.split_position = t.body_length;  // the last mark counts
    } else {
      if (IsShiftJisLead(token >> 8)) t.double_byte = true;
      if (!AppendBody(engine, token)) return false;
    }
    // Plain bytes as AppendBody would store them, while it would accept
    // them (below 4095 bytes); the byte-wise path reports the overflow.
    bool pairs = false;
    int k =
        TakePlainRun(t, kPlain.body, kTextBufferSize - 1 - t.body_length, t.body_position, &pairs);
    if (pairs) t.double_byte = true;
    t.body_position += k;
    t.body_length += k;
  }
}

bool FilterComments(ScriptEngine& engine, LanguageMode selection) {
  TextCopier& t = engine.text_copy;
  const bool japanese = selection == kJapanese;
  for (;;) {
    // Plain bytes go to the output buffer a run at a time, exactly as
    // PutChar would store them one by one; the buffer is flushed as before
    // by the PutChar that finds it full.
    bool pairs = false;
    int k =
        TakePlainRun(t, kPlain.output, kTextBufferSize - t.output_count, t.output_position, &pairs);
    t.output_position += k;
    t.output_count += k;
    unsigned token = NextToken(engine);
    if (token == kTokenEndOfInput) break;
    if (token != kTokenCommentOpen) {
      PutToken(engine, token);
      continue;
    }
    unsigned first = NextToken(engine);
    if (first == kTokenSplitMark) {  // "/*$#": English only
      if (!ReadCommentBody(engine, NextToken(engine))) return false;
      if (japanese) {
        t.drop_blank = true;
      } else {
        WriteComment(engine, true);
      }
    } else if (first == kTokenRawMark) {  // "/*$$": raw text in both
      if (!ReadCommentBody(engine, NextToken(engine))) return false;
      PutString(engine, "$$");
      WriteComment(engine, false);
    } else {
      if (!ReadCommentBody(engine, first)) return false;
      if (t.split_position != -1) {
        if (japanese) {
          t.body_length = t.split_position;
        } else {
          t.body_length -= t.split_position;
          std::memmove(t.body, t.body + t.split_position, static_cast<size_t>(t.body_length));
        }
        WriteComment(engine, true);
      } else if (!japanese && t.double_byte) {
        t.drop_blank = true;  // a Japanese-only comment
      } else {
        WriteComment(engine, true);
      }
    }
  }
  return !t.failed;
}

}  // namespace

bool TextCopyCommand(ScriptEngine& engine, char* arguments, LanguageMode selection) {
  Arguments args;
  if (!engine.ReadArguments(kTextCopy, arguments, &args)) return false;
  // The destination is the rest of the line as it stands, blanks included.
  bool copied = CopyText(engine, args.text[0], args.text[1], selection);
  CloseSource(engine);
  CloseDestination(engine, !copied);
  return copied;
}

bool CopyText(ScriptEngine& engine, const char* source, const char* destination,
              LanguageMode selection) {
  TextCopier& t = engine.text_copy;
  FileSystem& files = Files(engine);
  t.source = kNoFile;
  t.destination = kNoFile;
  t.drop_blank = false;
  t.failed = false;
  t.fault = CopyFault::kNone;
  t.write_failed = false;

  // The destination comes first, as a replacement: the old file stays until
  // the copy has succeeded.
  t.destination = files.CreateReplacement(destination);
  if (t.destination == kNoFile) {
    ShowFileMessage(engine, kMsgCantCreate, destination);
    return false;
  }
  t.output_count = 0;
  t.output_position = t.output;
  t.pending_count = 0;

  t.source = files.OpenRead(source);
  if (t.source == kNoFile) {
    ShowFileMessage(engine, kMsgCantOpenSource, source);
    return false;
  }
  TextReaderStart(t.reader, &files, t.source);
  t.source_name = source;
  t.unread_count = 0;
  t.read_position = t.expanded_line;
  t.end_of_input = false;
  t.look_ahead_valid = false;
  t.source_line = 1;
  IndexMacros(engine.macros, &t.macro_index);

  if (!FilterComments(engine, selection)) return false;
  if (t.reader.error) {
    // A read error is no end of the file: a cut copy must not replace the old one.
    ShowFileMessage(engine, kMsgCantOpenSource, source);
    return false;
  }

  CloseSource(engine);
  FlushOutput(engine);
  WritePending(engine);
  FileHandle file = t.destination;
  t.destination = kNoFile;
  if (t.write_failed) {
    files.AbandonReplacement(file);
    ShowFileMessage(engine, kMsgCantCreate, destination);
    return false;
  }
  if (!files.CommitReplacement(file)) {
    ShowFileMessage(engine, kMsgCantCreate, destination);
    return false;
  }
  return true;
}

CopyFailure LastCopyFailure(const ScriptEngine& engine) {
  const TextCopier& t = engine.text_copy;
  // The counter runs one ahead of the lines read.
  int last = t.source_line - 1;
  if (t.fault == CopyFault::kNone || t.fault == CopyFault::kLineTooLong) return {t.fault, last};
  // A comment is named by the line it begins on: the last line read less
  // the line ends inside it. A comment that never closed holds the rest of
  // the file, the last line end included.
  int breaks = 0;
  for (int i = 0; i < t.body_length && i < kTextBufferSize; ++i) {
    if (t.body[i] == '\n') ++breaks;
  }
  int line = last - breaks;
  if (t.fault == CopyFault::kCommentNotClosed && t.body_length > 0 &&
      t.body[t.body_length - 1] == '\n') {
    ++line;
  }
  return {t.fault, line < 1 ? 1 : line};
}

void CloseSource(ScriptEngine& engine) {
  TextCopier& t = engine.text_copy;
  if (t.source == kNoFile) return;
  Files(engine).Close(t.source);
  t.source = kNoFile;
}

void CloseDestination(ScriptEngine& engine, bool abandon) {
  TextCopier& t = engine.text_copy;
  if (t.destination == kNoFile) return;
  FileHandle file = t.destination;
  if (!abandon) {
    FlushOutput(engine);
    WritePending(engine);
  }
  t.pending_count = 0;
  t.destination = kNoFile;
  if (abandon || t.write_failed) {
    Files(engine).AbandonReplacement(file);
  } else {
    Files(engine).CommitReplacement(file);
  }
}

}  // namespace setup
