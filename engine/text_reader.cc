// Text-mode line reading over byte files.
#include "engine/text_reader.h"

#include <cstring>

namespace setup {
namespace {

// Refills the buffer; false at the end of the file or on an error.
bool Fill(TextReader& reader) {
  if (reader.ended) return false;
  long n = reader.files->Read(reader.file, reader.buffer, sizeof reader.buffer);
  if (n <= 0) {
    if (n < 0) reader.error = true;
    reader.ended = true;
    return false;
  }
  reader.count = static_cast<int>(n);
  reader.position = 0;
  return true;
}

// The next byte in text mode, or -1 at the end. CR LF becomes LF; Ctrl-Z
// ends the input for good.
int NextByte(TextReader& reader) {
  if (reader.position >= reader.count && !Fill(reader)) return -1;
  unsigned char c = static_cast<unsigned char>(reader.buffer[reader.position++]);
  if (c == 0x1A) {
    reader.ended = true;
    reader.count = reader.position = 0;
    return -1;
  }
  if (c == '\r') {
    if (reader.position >= reader.count && !Fill(reader)) return '\r';
    if (reader.buffer[reader.position] == '\n') {
      ++reader.position;
      return '\n';
    }
  }
  return c;
}

}  // namespace

void TextReaderStart(TextReader& reader, FileSystem* files, FileHandle file) {
  reader.files = files;
  reader.file = file;
  reader.count = 0;
  reader.position = 0;
  reader.ended = false;
  reader.error = false;
}

int TextReaderReadLine(TextReader& reader, char* dest, int size) {
  int n = 0;
  while (n < size - 1) {
    // Bytes that text mode passes unchanged are copied a run at a time; the
    // three that need a look (line feed, CR, Ctrl-Z) go through NextByte.
    if (reader.position < reader.count) {
      const char* run = reader.buffer + reader.position;
      int room = reader.count - reader.position;
      if (room > size - 1 - n) room = size - 1 - n;
      // The run ends at the first of them (memchr scans fast).
      int k = room;
      if (const void* at = std::memchr(run, '\n', static_cast<size_t>(k)))
        k = static_cast<int>(static_cast<const char*>(at) - run);
      if (const void* at = std::memchr(run, '\r', static_cast<size_t>(k)))
        k = static_cast<int>(static_cast<const char*>(at) - run);
      if (const void* at = std::memchr(run, 0x1A, static_cast<size_t>(k)))
        k = static_cast<int>(static_cast<const char*>(at) - run);
      std::memcpy(dest + n, run, static_cast<size_t>(k));
      n += k;
      reader.position += k;
      if (n >= size - 1) break;
    }
    int c = NextByte(reader);
    if (c < 0) break;
    dest[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  dest[n] = '\0';
  return n == 0 ? -1 : n;
}

}  // namespace setup
