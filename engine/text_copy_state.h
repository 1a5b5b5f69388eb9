// State of the bilingual text copier. It lives inside the engine record,
// so a copy allocates nothing; one copy runs at a time.
#pragma once

#include "engine/macro_table.h"
#include "engine/text_reader.h"
#include "platform/file_system.h"

namespace setup {

inline constexpr int kTextBufferSize = 4096;
// Finished output lines gather here before they go to the file, as they
// would in a C runtime stream's buffer: one system write per 32 KiB, not
// one per line.
inline constexpr int kTextWriteBehindSize = 32768;

// What in the source's text stopped a copy (its open and write failures
// aside), so that a caller can explain it.
enum class CopyFault {
  kNone,
  kLineTooLong,       // a line longer than the buffer once its macros are expanded
  kCommentTooLong,    // a comment's text longer than the buffer
  kCommentNotClosed,  // the input ended inside a comment
};

struct TextCopier {
  FileHandle source = kNoFile;       // opened for text reading
  FileHandle destination = kNoFile;  // a replacement of the destination file
  char raw_line[kTextBufferSize];
  int unread_count = 0;
  const char* read_position = nullptr;
  char expanded_line[kTextBufferSize];
  const char* source_name = nullptr;
  int source_line = 0;
  int output_count = 0;
  char* output_position = nullptr;
  char output[kTextBufferSize];
  int split_position = -1;
  int body_length = 0;
  char* body_position = nullptr;
  char body[kTextBufferSize];
  bool drop_blank = false;
  bool double_byte = false;
  bool end_of_input = false;
  unsigned char look_ahead = 0;
  bool look_ahead_valid = false;
  TextReader reader;       // the source in text mode
  MacroIndex macro_index;  // of the macro table, which a copy does not change
  int pending_count = 0;   // bytes waiting in pending
  char pending[kTextWriteBehindSize];
  bool failed = false;                 // a failure was reported; the input counts as ended
  CopyFault fault = CopyFault::kNone;  // what the reported syntax error was
  bool write_failed = false;  // a write to the replacement failed; it must not be committed
};

}  // namespace setup
