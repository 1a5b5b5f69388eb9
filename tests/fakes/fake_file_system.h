// An in-memory FileSystem with Windows path rules (case-insensitive, drive
// roots always present) that records what happened and can fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace setup::testing {

class FakeFileSystem : public FileSystem {
 public:
  struct Node {
    std::string path;  // as first created, in its own case
    bool folder = false;
    std::string bytes;
    unsigned attributes = 0;
    std::int64_t last_write_time = 0;
  };

  // --- setting up the world ---
  // Adds (or replaces) a file; its folders are created as needed.
  void AddFile(const std::string& path, const std::string& bytes, unsigned attributes = 0,
               std::int64_t time = 0);
  // Adds a folder and its parents.
  void AddFolder(const std::string& path);
  // A file that cannot be opened or overwritten (as one held open elsewhere).
  void Lock(const std::string& path) { locked_.push_back(Key(path)); }

  // Makes the nth call (1-based) of operation op fail, e.g. ("Write", 2).
  // Operation names are the method names of FileSystem.
  void FailOperation(const std::string& op, int nth = 1);
  // Makes the nth call of any operation fail (0: never).
  int fail_at = 0;

  // --- looking at the world ---
  bool Exists(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  // The bytes of a file; empty when it does not exist.
  std::string Contents(const std::string& path) const;
  unsigned Attributes(const std::string& path) const;
  // Every file and folder, in sorted order, folders marked with a final "\".
  std::vector<std::string> Listing() const;
  // The names of the entries directly in folder, in their own case.
  std::vector<std::string> Names(const std::string& folder) const;
  // Sets an entry's last-write time; false when it does not exist.
  bool SetLastWriteTime(const std::string& path, std::int64_t time);
  // Removes a file (not a folder); false when there is none.
  bool Remove(const std::string& path);
  // Handles still open.
  int OpenCount() const { return static_cast<int>(open_.size()); }

  // One line per call: "CreateReplacement C:\A.TXT -> ok".
  std::vector<std::string> log;
  std::int64_t clock = 1000000000;  // time given to files written
  std::size_t largest_write = 0;    // the most bytes one Write call was given

  // --- FileSystem ---
  FileHandle OpenRead(const char* path) override;
  long Read(FileHandle file, void* buffer, unsigned long size) override;
  bool Write(FileHandle file, const void* data, unsigned long size) override;
  void Close(FileHandle file) override;
  FileHandle CreateReplacement(const char* path) override;
  bool CommitReplacement(FileHandle file) override;
  void AbandonReplacement(FileHandle file) override;
  CreateFolderResult CreateFolder(const char* path) override;
  bool CopyFile(const char* source, const char* dest) override;
  bool GetStatus(const char* path, FileStatus* status) override;
  bool SetAttributes(const char* path, unsigned attributes) override;

  // The case-folded form paths are compared in.
  static std::string Key(const std::string& path);
  // The folder part of a path ("" when it has none).
  static std::string Parent(const std::string& path);

 private:
  struct Open {
    std::string path;   // the file read, or the file a replacement is for
    std::string temp;   // the replacement's temporary (empty for reads)
    std::string bytes;  // a read's snapshot
    std::size_t position = 0;
  };

  bool ShouldFail(const char* op);
  bool FolderExists(const std::string& path) const;
  bool IsLocked(const std::string& path) const;
  void Log(const char* op, const std::string& what, bool ok);

  std::map<std::string, Node> nodes_;  // by Key()
  std::map<FileHandle, Open> open_;
  std::map<std::string, int> calls_;
  std::map<std::string, std::vector<int>> failing_;
  std::vector<std::string> locked_;
  int all_calls_ = 0;
  FileHandle next_handle_ = 1;
  int next_temp_ = 1;
};

}  // namespace setup::testing
