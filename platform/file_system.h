// The file operations the engine and the file actions need. Paths are byte
// strings in the ANSI code page, in Windows form; a back end maps them to its
// own file system.
#pragma once

#include <cstdint>

namespace setup {

// An open file; 0 is "no file".
using FileHandle = std::uintptr_t;
inline constexpr FileHandle kNoFile = 0;

inline constexpr unsigned kAttrReadOnly = 0x01;
inline constexpr unsigned kAttrDirectory = 0x10;

// What GetStatus finds out about a file or folder.
struct FileStatus {
  unsigned attributes = 0;           // kAttr* bits
  std::int64_t last_write_time = 0;  // seconds since 1970 (UTC)
};

enum class CreateFolderResult { kCreated, kAlreadyExists, kFailed };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing file for reading bytes; kNoFile on failure.
  virtual FileHandle OpenRead(const char* path) = 0;
  // Reads up to size bytes; returns the count, 0 at the end, -1 on error.
  virtual long Read(FileHandle file, void* buffer, unsigned long size) = 0;
  // Writes all bytes; false on failure.
  virtual bool Write(FileHandle file, const void* data, unsigned long size) = 0;
  // Closes a file from OpenRead (or an abandoned replacement's handle).
  virtual void Close(FileHandle file) = 0;

  // Starts writing a new version of path: a temporary file in path's folder.
  // Fails (kNoFile) when path could not be created or overwritten, so callers
  // report it before touching anything else.
  virtual FileHandle CreateReplacement(const char* path) = 0;
  // Closes the temporary and puts it in place of path; false on failure (the
  // temporary is removed then).
  virtual bool CommitReplacement(FileHandle file) = 0;
  // Closes and removes the temporary; path stays as it was.
  virtual void AbandonReplacement(FileHandle file) = 0;

  // Creates the last level of path only, as CreateDirectoryA does.
  virtual CreateFolderResult CreateFolder(const char* path) = 0;
  // Copies a file byte for byte, overwriting dest, keeping the source's
  // last-write time and attributes (as CopyFileA with FALSE).
  virtual bool CopyFile(const char* source, const char* dest) = 0;
  // Status of the first match of path, which may hold the wildcards * and ?;
  // folders count. False when nothing matches.
  virtual bool GetStatus(const char* path, FileStatus* status) = 0;
  // Sets the attribute bits of an existing file; false on failure.
  virtual bool SetAttributes(const char* path, unsigned attributes) = 0;
};

}  // namespace setup
