// Line reading in the C runtime's text mode over a byte file: CR LF arrives
// as LF, a lone CR stays, and a Ctrl-Z byte ends the file. The same rules
// hold on every platform because the engine applies them itself.
#pragma once

#include "platform/file_system.h"

namespace setup {

inline constexpr int kTextReaderBufferSize = 4096;

struct TextReader {
  FileSystem* files = nullptr;
  FileHandle file = kNoFile;
  char buffer[kTextReaderBufferSize];
  int count = 0;     // bytes in buffer
  int position = 0;  // next unread byte in buffer
  bool ended = false;
  bool error = false;  // a read failed: the end met was not the file's end
};

// Starts reading file (already open) from its beginning.
void TextReaderStart(TextReader& reader, FileSystem* files, FileHandle file);

// As fgets: reads up to size-1 bytes into dest, stopping after a line feed,
// and terminates them. Returns the number of bytes stored (they may include
// NUL bytes), or -1 when nothing more could be read.
int TextReaderReadLine(TextReader& reader, char* dest, int size);

}  // namespace setup
