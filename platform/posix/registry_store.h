// The registry of the simulated machine: a Registry kept in the file
// registry.reg of the machine folder (see registry_file.h for its form).
//
// The file is parsed once and kept in memory. The store keeps the file and
// log it read (or wrote) open, and every operation first looks at them
// through those descriptors (fstat; a file it holds none of, by its name) and
// reads them again only when one has changed since: its link count, size,
// modification and change times (to the nanosecond) all have to match. A
// replacement by another process (always a new file renamed over the old
// one) or a removal takes the held file's last link, which is seen even
// within one tick of the file-system clock and wherever inode numbers are
// reused; a file moved away changes its change time. The log only grows
// between folds, but for a record cut short by a crash, which the next
// change writes over: after this store's own write, which leaves no such
// record, any change by another process shows in the log's size, so the
// store keeps the size it wrote and takes the times the next look finds.
//
// Every change is in the log of changes beside the file (registry.log for
// registry.reg; file.log for another name) when the call returns: a record
// in the file's own text form ("[key]" and the value set, "[-key]",
// "name"=-) appended with one write, so the change outlives the process at
// any moment, kill -9 included; a new log is written under a temporary name
// with its first record and then linked to its own, so it never appears
// empty. Every reader opens the log, then the file, and carries the log out
// over the file (a log removed in between is seen by its link count, and
// both are read again). The file itself is only ever replaced whole: Fold
// (called at the end of a run, by the destructor, and by a change that finds
// the log longer than 1 MiB) writes the whole registry to a temporary of its own
// (registry.reg.XXXXXX, created exclusively), flushes it to disk, renames it
// over registry.reg, flushes the folder and then removes the log; a crash
// in between carries the log out once more, which changes nothing, so a
// crash leaves either the old or the new file, with its log. The log is not
// flushed at each change: like the files a run copies (which are left to
// the system's write-back, as CopyFileA leaves them), the changes of a run
// reach the disk for certain when the run ends; a power failure before can
// lose them, never make the file half-written. A record cut short by such a
// failure (no blank line after it) is passed over and written over by the
// next change. The file and its log keep the file's mode. A key that
// CreateKey adds is logged together with the next change of this store (a
// value set in it), or when the last handle on a key so added is closed, so
// that a new key and all its levels take one record; a failure then goes to
// the diagnostic sink.
// Changes hold an exclusive flock on registry.reg.lock across the check of the
// file, the change and the write, so concurrent processes never lose each
// other's changes; the lock file stays open between changes. Reads take no
// lock: the rename makes every version of the file appear whole.
//
// A damaged file (not in the format, truncated, garbage) is never emptied or
// overwritten: every operation fails with kErrorRegistryCorrupt, and the
// diagnostic sink (standard error by default) receives "file:line: what is
// wrong" once. The engine sees only failed registry operations.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/machine.h"
#include "platform/posix/registry_file.h"
#include "platform/registry.h"

namespace setup::posix {

inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorNoSystemResources = 1450;
inline constexpr long kErrorKeyDeleted = 1018;
inline constexpr long kErrorRegistryCorrupt = 1015;
inline constexpr long kErrorRegistryIoFailed = 1016;

// text with every control byte (below 0x20, and 0x7F) written as \xNN, so
// that a key or path in a diagnostic cannot drive the terminal.
std::string DefuseControls(const std::string& text);

class RegistryStore : public Registry {
 public:
  // Names are in machine's code page. file: the store's path; empty means
  // registry.reg in machine's folder, looked up at every operation (so the
  // machine folder may be chosen later). machine outlives the store.
  explicit RegistryStore(Machine& machine, std::string file = "");
  // Folds the log into the file (see Fold).
  ~RegistryStore() override;
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // Where diagnostics go (damaged file, failed writes, a folder that could
  // not be flushed after a successful write); each distinct message is
  // delivered once per store, its control bytes defused. The destructor may
  // still deliver one (keys it could not save), so sink must outlive it.
  void SetDiagnosticSink(std::function<void(const std::string&)> sink);
  // The path of the store file in use.
  std::string FilePath() const;
  // The log of changes of file: registry.log beside registry.reg.
  static std::string LogPath(const std::string& file);
  // Writes the registry with every logged change (and the keys added and not
  // logged yet) to the file, flushed to disk, and removes the log; nothing
  // when there is no log and no such key. A failure goes to the diagnostic
  // sink and leaves the file and the log as they were.
  void Fold();

  RegKey Root(RootKey root) override;
  long OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) override;
  long CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) override;
  long QueryValue(RegKey key, const char* name, unsigned* type, void* data,
                  unsigned* size) override;
  long SetValue(RegKey key, const char* name, unsigned type, const void* data,
                unsigned size) override;
  long DeleteValue(RegKey key, const char* name) override;
  long DeleteKey(RegKey key, const char* subkey) override;
  void CloseKey(RegKey key) override;

 private:
  // What tells one version of the file from another; exists is false for a
  // missing file (an empty registry).
  struct FileIdentity {
    bool exists = false;
    // False after this store's own write: only the size and a link are
    // known, the rest (the mode of a new file too) is taken from the next
    // look.
    bool settled = true;
    nlink_t links = 0;
    off_t size = 0;
    timespec modified = {};
    timespec changed = {};
    mode_t mode = 0;  // the permission bits, not part of the comparison
  };
  static FileIdentity IdentityOf(const struct stat& st);

  // The identity of the file at path (exists false when it is missing);
  // false with errno when it cannot be had.
  static bool Identify(const std::string& path, FileIdentity* identity);
  // Whether the file held as fd (-1: none, look at path) is still as
  // *recorded; false also when it cannot be looked at (it is read again).
  static bool Unchanged(int fd, const std::string& path, FileIdentity* recorded);
  // Makes registry_ the contents of the file and its log as they are now,
  // reading them only when one changed since it was last read or written;
  // the keys added and not saved yet are added again after a read. locked:
  // the lock of changes is held. kErrorSuccess, or the error of a damaged or
  // unreadable file or log.
  long Refresh(bool locked);
  // Reads and parses the file and carries out its log into registry_, again
  // when the file was replaced meanwhile (which the lock rules out).
  long Load(const std::string& path, bool locked);
  long LoadOnce(const std::string& path);
  // Lock, refresh, apply change, and when it reports a change (or keys added
  // before wait to be saved) append its records to the log. change returns
  // a Windows error code, sets *changed and appends the change's record to
  // *record (a template: a std::function of the callers' captures would
  // cost an allocation at every change).
  template <typename Change>
  long Modify(const Change& change);
  // The store's file (FilePath), with log_path_ and lock_path_ beside it,
  // made again only when the machine folder changed.
  const std::string& Path();
  // Takes the exclusive lock of changes; its descriptor, or -1 with errno.
  int Lock();
  // Appends records to the log (made with its header when there is none);
  // false with errno set, the log as it was.
  bool AppendToLog(const std::string& records);
  // Fold with the lock held and registry_ current.
  void FoldLocked();
  // Writes registry to the file; on success *identity and *fd are those of
  // the new file, held open.
  long Save(const StoredRegistry& registry, FileIdentity* identity, int* fd);
  // Saves the keys added and not saved yet; a failure is only diagnosed.
  void SavePendingKeys();
  // The same, unless a handle is still open on one of them.
  void SavePendingKeysUnlessOpen();
  void Forget();
  // Flushes folder's entries to disk; false with errno set. Virtual so that
  // a test can fail it: nothing else makes fsync of a folder fail at will.
  virtual bool SyncFolder(const std::string& folder);
  void Diagnose(const std::string& message);
  // The key path a handle stands for (valid until the next new handle);
  // nullptr for an unknown handle.
  const std::string* PathOf(RegKey key) const;
  // parent's path joined with a relative name ("" = parent itself), in
  // memory of the store's that the next Join reuses.
  const std::string& Join(const std::string& parent, const char* name);
  long NewHandle(const std::string& path, RegKey* key);

  Machine& machine_;
  std::string file_;
  std::function<void(const std::string&)> sink_;
  std::string last_diagnostic_;
  std::vector<std::string> handles_;  // slot i is handle i+1; "" is free

  // The file as last read or written: its path, identity, the result of
  // reading it, and its contents (null until read, or after a failed
  // write, when memory may hold a change the file does not).
  std::string read_path_;
  FileIdentity read_identity_;
  long read_result_ = kErrorSuccess;
  std::unique_ptr<StoredRegistry> registry_;
  // The registry last read, emptied and read into at the next read.
  std::unique_ptr<StoredRegistry> spare_;
  int read_fd_ = -1;  // the file read, held open (see above); -1 for none
  // The log as last read or written, held open so that its inode number
  // cannot pass to a new log, and the length of its whole records.
  FileIdentity log_identity_;
  int log_fd_ = -1;
  off_t log_complete_ = 0;
  std::string text_;    // the text last read or written, its memory reused
  std::string joined_;  // see Join
  // The lock file, open from the first change on.
  int lock_fd_ = -1;
  // See Path(); path_root_ is the machine folder they were made for.
  std::string path_, log_path_, lock_path_, path_root_;
  // Keys CreateKey added that the file does not hold yet.
  std::vector<std::string> pending_keys_;
};

}  // namespace setup::posix
