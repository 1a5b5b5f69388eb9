// The file operations of the engine over the host file system, through the
// drive mapping of the simulated machine.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>

#include "platform/file_system.h"
#include "platform/posix/machine.h"

namespace setup::posix {

// Writes all size bytes of data to fd, going on after an interrupted or a
// short write; false with errno set. Async-signal-safe.
bool WriteAll(int fd, const char* data, size_t size);

// Files and folders as Windows would treat them: the read-only attribute is
// the owner's write bit (a clear bit makes a file read-only for root too),
// names are found case-insensitively, and a file is only ever replaced
// whole: writers and copies go to a temporary beside the destination that is
// renamed over it at the end, so a failure never leaves a truncated file.
// Each path passes the machine's sandbox (Machine::MapFor): a write that
// would land outside the machine folder, or a read outside it and the
// medium, fails as the operation fails on a path it cannot use.
class PosixFileSystem : public FileSystem {
 public:
  // Paths are Windows-form and mapped onto machine, which outlives this.
  explicit PosixFileSystem(Machine& machine) : machine_(machine) {}
  ~PosixFileSystem() override;
  PosixFileSystem(const PosixFileSystem&) = delete;
  PosixFileSystem& operator=(const PosixFileSystem&) = delete;

  // Fails for a missing file and for a folder.
  FileHandle OpenRead(const char* path) override;
  long Read(FileHandle file, void* buffer, unsigned long size) override;
  bool Write(FileHandle file, const void* data, unsigned long size) override;
  // Closing a replacement abandons it.
  void Close(FileHandle file) override;

  // A temporary ".<name>.XXXXXX" in path's folder. Fails when the folder is
  // missing, path is a folder or an existing path is read-only. The new file
  // gets the old one's permission bits (without setuid, setgid and sticky),
  // or 0666 under the umask; a failure to set them fails the call.
  FileHandle CreateReplacement(const char* path) override;
  // Flushes the temporary to disk and renames it over path.
  bool CommitReplacement(FileHandle file) override;
  void AbandonReplacement(FileHandle file) override;

  // mkdir of the last level; kAlreadyExists for any existing entry, file or
  // folder (ERROR_ALREADY_EXISTS).
  CreateFolderResult CreateFolder(const char* path) override;
  // As CopyFileA with FALSE: fails for a missing source or destination
  // folder, a source that is a folder, a destination that is a folder, is
  // read-only or is the source itself. The copy keeps the source's times and
  // read-only attribute; a new file gets 0666 plus the source's execute bits
  // under the umask, a replaced one keeps its own permission bits (without
  // setuid, setgid and sticky); never the source's whole mode.
  bool CopyFile(const char* source, const char* dest) override;
  // As FindFirstFileA: * and ? in the last component match case-insensitively
  // ("name.*" also matches "name"; "." and ".." never match); of several
  // matches the first in case-insensitive name order. A path ending in a
  // separator finds nothing.
  bool GetStatus(const char* path, FileStatus* status) override;
  // kAttrReadOnly set clears every write bit, clear gives the owner's back.
  bool SetAttributes(const char* path, unsigned attributes) override;

  // What the last CopyFile that succeeded found and left: whether it
  // replaced a file, and the copy's size. The install record reads it
  // instead of looking at the destination twice more.
  struct CopyReport {
    bool replaced = false;
    unsigned long long size = 0;
  };
  const CopyReport& last_copy() const { return last_copy_; }

 private:
  // Puts a copy of the file at host (mode mode) in its place, so that its
  // other hard links keep the old inode untouched.
  bool ReplaceWithPrivateCopy(const std::string& host, mode_t mode);
  // CopyFile into the open folder of *to (no link at the destination),
  // relative to it: the source opened in its own folder, the temporary made
  // and renamed in the destination's.
  bool CopyInto(const char* source, Machine::Place* to);
  // CopyFile by host paths, for a destination that is a link or whose folder
  // could not be opened.
  bool CopyFileByPath(const char* source, const char* dest);

  // BinCopy asks for the destination's status (ClearReadOnly) and copies
  // onto it at once: GetStatus keeps the place it found, folder open, for a
  // CopyFile of the same path that follows within kHeldForMs. Any other
  // call lets it go, so that a place never outlasts one command. A second
  // GetStatus of the path takes it up again, its time still that of the
  // first look.
  static constexpr long long kHeldForMs = 200;
  void Hold(const char* path, Machine::Place* place, const timespec& looked_at);
  bool TakeHeld(const char* path, Machine::Place* place);
  void DropHeld();

  Machine& machine_;
  CopyReport last_copy_;
  Machine::Place held_;
  std::string held_path_;
  struct timespec held_at_ = {};
  // GetStatus's split of a path, kept so that a look allocates nothing.
  std::string split_folder_;
  std::string split_name_;
};

}  // namespace setup::posix
