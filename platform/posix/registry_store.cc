// The simulated machine's registry file: durable, locked changes over the
// registry-editor text form.
#include "platform/posix/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix/code_page.h"
#include "platform/posix/durable_write.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/interruption.h"
#include "platform/posix/machine.h"

namespace setup::posix {
namespace {

// The predefined handles, as Windows numbers them (in RootKey order).
constexpr RegKey kRootHandles[5] = {0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u,
                                    0x80000005u};
constexpr size_t kMaxHandles = 256;

int RootIndex(RegKey key) {
  for (int i = 0; i < 5; ++i) {
    if (key == kRootHandles[i]) return i;
  }
  return -1;
}

bool HasLineBreak(const char* text) {
  return std::strchr(text, '\r') != nullptr || std::strchr(text, '\n') != nullptr;
}

std::string Describe(const std::string& what, const std::string& file) {
  return file + ": " + what + ": " + std::strerror(errno);
}

// Reads the size bytes fstat gave for fd into *text, fewer when the file
// ends before (what it gained since shows at the next look); false with
// errno set.
bool ReadAll(int fd, off_t size, std::string* text) {
  text->resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < text->size()) {
    ssize_t n = read(fd, &(*text)[done], text->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  text->resize(done);
  return true;
}

// The first line of a log of changes, as of the file.
constexpr char kLogHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
// A log longer than this is folded into the file at the next change.
constexpr off_t kFoldFrom = 1 << 20;

// The exclusive lock of a change, taken on fd (-1: not taken); released
// when it goes out of scope.
class HeldLock {
 public:
  explicit HeldLock(int fd) : fd_(fd) {}
  ~HeldLock() {
    if (fd_ >= 0) flock(fd_, LOCK_UN);
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

std::string DefuseControls(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

RegistryStore::RegistryStore(Machine& machine, std::string file)
    : machine_(machine), file_(std::move(file)) {
  sink_ = [](const std::string& message) { std::fprintf(stderr, "setup: %s\n", message.c_str()); };
}

RegistryStore::~RegistryStore() {
  // A store that never read the registry leaves the machine folder alone.
  if (!read_path_.empty() || !pending_keys_.empty()) Fold();
  Forget();
  if (lock_fd_ >= 0) close(lock_fd_);
}

void RegistryStore::SetDiagnosticSink(std::function<void(const std::string&)> sink) {
  sink_ = std::move(sink);
}

std::string RegistryStore::FilePath() const {
  return file_.empty() ? machine_.root() + "/registry.reg" : file_;
}

void RegistryStore::Diagnose(const std::string& message) {
  if (message == last_diagnostic_) return;  // once, not at every operation
  last_diagnostic_ = message;
  if (sink_) sink_(DefuseControls(message));
}

RegistryStore::FileIdentity RegistryStore::IdentityOf(const struct stat& st) {
  FileIdentity identity;
  identity.exists = true;
  identity.links = st.st_nlink;
  identity.size = st.st_size;
  identity.modified = st.st_mtim;
  identity.changed = st.st_ctim;
  identity.mode = st.st_mode & 0777;
  return identity;
}

bool RegistryStore::Unchanged(int fd, const std::string& path, FileIdentity* recorded) {
  struct stat st;
  if (fd < 0) {
    // Held when it exists: a file that was missing must still be missing.
    return !recorded->exists && stat(path.c_str(), &st) != 0 && errno == ENOENT;
  }
  if (fstat(fd, &st) != 0 || st.st_nlink == 0 || st.st_size != recorded->size) return false;
  if (!recorded->settled) {
    // This store's own write, the size it gave: the rest is as now.
    *recorded = IdentityOf(st);
    return true;
  }
  return st.st_nlink == recorded->links && st.st_mtim.tv_sec == recorded->modified.tv_sec &&
         st.st_mtim.tv_nsec == recorded->modified.tv_nsec &&
         st.st_ctim.tv_sec == recorded->changed.tv_sec &&
         st.st_ctim.tv_nsec == recorded->changed.tv_nsec;
}

void RegistryStore::Forget() {
  // Kept for the next read, which empties it rather than making its roots
  // again.
  if (registry_ != nullptr) spare_ = std::move(registry_);
  if (read_fd_ >= 0) close(read_fd_);
  read_fd_ = -1;
  if (log_fd_ >= 0) close(log_fd_);
  log_fd_ = -1;
  log_identity_ = FileIdentity();
  log_complete_ = 0;
}

bool RegistryStore::Identify(const std::string& path, FileIdentity* identity) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    *identity = IdentityOf(st);
    return true;
  }
  *identity = FileIdentity();
  return errno == ENOENT;
}

const std::string& RegistryStore::Path() {
  if (path_.empty() || (file_.empty() && machine_.root() != path_root_)) {
    if (file_.empty()) path_root_ = machine_.root();
    path_ = FilePath();
    log_path_ = LogPath(path_);
    lock_path_ = path_ + ".lock";
    if (lock_fd_ >= 0) close(lock_fd_);  // another file's
    lock_fd_ = -1;
  }
  return path_;
}

std::string RegistryStore::LogPath(const std::string& file) {
  size_t dot = file.size() >= 4 ? file.size() - 4 : std::string::npos;
  if (dot != std::string::npos && file.compare(dot, 4, ".reg") == 0 &&
      file.find('/', dot) == std::string::npos) {
    return file.substr(0, dot) + ".log";
  }
  return file + ".log";
}

long RegistryStore::Refresh(bool locked) {
  const std::string& path = Path();
  // The same file and log as read (or written) last, held open all along:
  // the same contents, since the file is only ever replaced whole and the
  // log only grows. What cannot be looked at is read again, which says why
  // it fails.
  if (registry_ != nullptr && path == read_path_ &&
      registry_->code_page() == machine_.code_page() &&
      Unchanged(read_fd_, path, &read_identity_) && Unchanged(log_fd_, log_path_, &log_identity_)) {
    return read_result_;
  }
  return Load(path, locked);
}

long RegistryStore::Load(const std::string& path, bool locked) {
  // The log is opened before the file and looked at after it (see LoadOnce):
  // a log removed by then was folded into a file that may be newer than the
  // log's own. Under the lock no one folds; else the files are read again.
  for (int attempt = 0;; ++attempt) {
    long result = LoadOnce(path);
    if (result == kErrorRegistryIoFailed || locked || attempt == 8 || log_fd_ < 0 ||
        log_identity_.links != 0) {
      return result;
    }
  }
}

long RegistryStore::LoadOnce(const std::string& path) {
  Forget();
  std::unique_ptr<StoredRegistry> registry = std::move(spare_);
  if (registry != nullptr && registry->code_page() == machine_.code_page()) {
    registry->Clear();
  } else {
    registry = std::make_unique<StoredRegistry>(machine_.code_page());
  }
  // The log first, then the file. A fold renames the new file into place
  // before it removes the log, so the file opened second is the one the log
  // was written over, or a fold of it that holds the log already (carrying
  // it out again changes nothing), unless the log was removed before the
  // file was opened, which its link count shows (see Load). With no log,
  // the file is the registry as a fold, or the first change, left it.
  const std::string& log = log_path_;
  int log_fd = open(log.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
  if (log_fd < 0 && (errno == EACCES || errno == EROFS)) {
    log_fd = open(log.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);  // for reading alone
  }
  if (log_fd < 0 && errno != ENOENT) {
    Diagnose(Describe("cannot open the registry's log", log));
    return kErrorRegistryIoFailed;
  }
  FileIdentity identity;  // a missing file: a new machine, an empty registry
  long result = kErrorSuccess;
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno != ENOENT) {
    Diagnose(Describe("cannot open the registry", path));
    if (log_fd >= 0) close(log_fd);
    return kErrorRegistryIoFailed;
  }
  if (fd >= 0) {
    // The identity is taken before the contents: a file changed in place
    // while it is read is read again at the next operation.
    struct stat st;
    std::string& text = text_;
    if (fstat(fd, &st) != 0 || !ReadAll(fd, st.st_size, &text)) {
      Diagnose(Describe("cannot read the registry", path));
      close(fd);
      if (log_fd >= 0) close(log_fd);
      return kErrorRegistryIoFailed;
    }
    identity = IdentityOf(st);
    std::string error;
    if (!ParseRegistryText(text.data(), text.size(), path, registry.get(), &error)) {
      Diagnose(error +
               " (the registry is damaged; it is left as it is and registry operations "
               "fail until it is repaired)");
      result = kErrorRegistryCorrupt;
    }
  }
  // Then the changes logged since the file was last written.
  FileIdentity log_identity;
  off_t complete = 0;
  if (log_fd >= 0) {
    struct stat st;
    std::string& text = text_;
    if (fstat(log_fd, &st) != 0 || !ReadAll(log_fd, st.st_size, &text)) {
      Diagnose(Describe("cannot read the registry's log", log));
      close(log_fd);
      if (fd >= 0) close(fd);
      return kErrorRegistryIoFailed;
    }
    log_identity = IdentityOf(st);
    log_identity.size = static_cast<off_t>(text.size());
    // Only whole records count: each ends in a blank line, which no record
    // holds inside. What follows the last one is a record cut short by a
    // crash, never acknowledged; the next change writes over it.
    size_t end = text.rfind("\r\n\r\n");
    complete = end == std::string::npos ? 0 : static_cast<off_t>(end + 4);
    std::string error;
    if (result == kErrorSuccess && complete > 0 &&
        !ApplyRegistryChanges(text.data(), static_cast<size_t>(complete), log, registry.get(),
                              &error)) {
      Diagnose(error +
               " (the registry's log of changes is damaged; it is left as it is and registry "
               "operations fail until it is repaired)");
      result = kErrorRegistryCorrupt;
    }
  }
  if (result == kErrorSuccess) {
    for (const std::string& key : pending_keys_) registry->AddKey(key);
  }
  registry_ = std::move(registry);
  read_path_ = path;
  read_identity_ = identity;
  read_result_ = result;
  read_fd_ = fd;
  log_identity_ = log_identity;
  log_fd_ = log_fd;
  log_complete_ = complete;
  return result;
}

long RegistryStore::Save(const StoredRegistry& registry, FileIdentity* identity, int* saved_fd) {
  const std::string& path = Path();
  // The file keeps the mode it was given (as read, under the lock); a new
  // one is made with 0644 under the umask, and its mode is taken at the next
  // look, as the rest of its identity (below).
  int mode = read_identity_.exists ? static_cast<int>(read_identity_.mode) : -1;
  // A temporary of its own beside the file, removed by an interruption; the
  // new text is on disk before its name replaces the old file, and the
  // rename itself before the change counts as made.
  std::string temporary = path + ".XXXXXX";
  int fd = CreateTemporary(&temporary, mode, 0644);
  if (fd < 0) {
    Diagnose(Describe("cannot write the registry", path));
    return kErrorRegistryIoFailed;
  }
  FormatRegistryText(registry, &text_);
  if (!WriteAll(fd, text_.data(), text_.size()) || fsync(fd) != 0) {
    RemoveTemporary(temporary);
  } else if (PlaceTemporary(fd, temporary, path, Placing::kReplace, false)) {
    temporary.clear();
  }
  if (!temporary.empty()) {
    Diagnose(Describe("cannot write the registry", temporary));
    close(fd);
    return kErrorRegistryIoFailed;
  }
  std::string folder = path.substr(0, path.find_last_of('/') + 1);
  if (!SyncFolder(folder.empty() ? "." : folder)) {
    // The new file is in place and every later read sees it; only a crash
    // before the system writes the folder back could undo it. The change
    // is made, so the call succeeds; the risk is said.
    Diagnose(
        Describe("the registry was written, but its folder could not be flushed to disk", path));
  }
  // The file just written is the one in memory; it stays open (see Refresh).
  *identity = FileIdentity();
  identity->exists = true;
  identity->settled = false;
  identity->size = static_cast<off_t>(text_.size());
  identity->mode = mode >= 0 ? static_cast<mode_t>(mode) : 0;
  *saved_fd = fd;
  return kErrorSuccess;
}

bool RegistryStore::SyncFolder(const std::string& folder) { return SyncFolderOf(folder); }

bool RegistryStore::AppendToLog(const std::string& records) {
  text_.clear();
  if (log_fd_ < 0 || log_complete_ == 0) text_.assign(kLogHeader);  // also over a header cut short
  text_.append(records);
  if (log_fd_ < 0) {
    // A new log appears with its first record: written under a temporary
    // name (one a later run removes, should this one be killed) and then
    // linked to its own, so that no reader and no run killed meanwhile ever
    // finds it empty. It takes the file's mode, or 0644 under the umask.
    std::string temporary = path_ + ".XXXXXX";
    int mode = read_identity_.exists ? static_cast<int>(read_identity_.mode) : -1;
    int fd = CreateTemporary(&temporary, mode, 0644);
    if (fd < 0) return false;
    if (fcntl(fd, F_SETFL, O_APPEND) != 0 || !WriteAll(fd, text_.data(), text_.size())) {
      int saved = errno;
      close(fd);
      RemoveTemporary(temporary);
      errno = saved;
      return false;
    }
    if (!PlaceTemporary(fd, temporary, log_path_, Placing::kNewName, false)) {
      int saved = errno;
      close(fd);
      errno = saved;
      return false;
    }
    log_fd_ = fd;
    log_complete_ = 0;
  } else {
    // A record a crash cut short is written over.
    if (log_identity_.size != log_complete_ && ftruncate(log_fd_, log_complete_) != 0) return false;
    if (!WriteAll(log_fd_, text_.data(), text_.size())) {
      int saved = errno;
      if (ftruncate(log_fd_, log_complete_) != 0) {
        // What was written stays a cut record, which readers pass over.
      }
      errno = saved;
      return false;
    }
  }
  log_complete_ += static_cast<off_t>(text_.size());
  log_identity_.exists = true;
  log_identity_.settled = false;
  log_identity_.size = log_complete_;
  return true;
}

int RegistryStore::Lock() {
  Path();
  if (lock_fd_ < 0) {
    lock_fd_ = open(lock_path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (lock_fd_ < 0) return -1;
  }
  while (flock(lock_fd_, LOCK_EX) != 0) {
    if (errno != EINTR) return -1;
  }
  return lock_fd_;
}

template <typename Change>
long RegistryStore::Modify(const Change& change) {
  HeldLock lock(Lock());
  if (!lock.held()) {
    Diagnose(Describe("cannot lock the registry", lock_path_));
    return kErrorRegistryIoFailed;
  }
  long result = Refresh(true);
  if (result != kErrorSuccess) return result;
  bool changed = false;
  std::string records;
  for (const std::string& key : pending_keys_) AppendKeyRecord(key, &records);
  result = change(registry_.get(), &changed, &records);
  if (result != kErrorSuccess || (!changed && pending_keys_.empty())) return result;
  if (!AppendToLog(records)) {
    Diagnose(Describe("cannot write the registry's log", log_path_));
    Forget();  // memory holds a change the log does not: read both again
    return kErrorRegistryIoFailed;
  }
  pending_keys_.clear();
  // A long log is folded into the file now, so that a reader never has
  // much of it to carry out; the change is made already either way.
  if (log_complete_ > kFoldFrom) FoldLocked();
  return kErrorSuccess;
}

void RegistryStore::Fold() {
  if (pending_keys_.empty() && log_fd_ < 0) {
    // Nothing of this store's to fold, unless a log was left (by a run
    // killed outright, say) or written since.
    FileIdentity log;
    Path();
    if (Identify(log_path_, &log) && !log.exists) return;
  }
  HeldLock lock(Lock());
  if (!lock.held()) {
    Diagnose(Describe("cannot lock the registry", lock_path_));
    return;
  }
  if (Refresh(true) != kErrorSuccess) return;
  // Keys CreateKey added are in memory: the whole file takes them along.
  if (log_identity_.exists || !pending_keys_.empty()) FoldLocked();
}

void RegistryStore::FoldLocked() {
  FileIdentity identity;
  int fd = -1;
  if (Save(*registry_, &identity, &fd) != kErrorSuccess) {
    Forget();  // the file and its log stand as they were: read them again
    return;
  }
  // The file holds every change of the log now. A crash before the log is
  // gone carries it out once more over the new file, which changes nothing.
  if (unlink(log_path_.c_str()) != 0 && errno != ENOENT) {
    Diagnose(Describe("cannot remove the registry's log", log_path_));
  }
  pending_keys_.clear();
  if (log_fd_ >= 0) close(log_fd_);
  log_fd_ = -1;
  log_identity_ = FileIdentity();
  log_complete_ = 0;
  if (read_fd_ >= 0) close(read_fd_);
  read_fd_ = fd;
  read_path_ = Path();
  read_identity_ = identity;
  read_result_ = kErrorSuccess;
}

void RegistryStore::SavePendingKeys() {
  if (pending_keys_.empty()) return;
  // Nothing more to change: Modify saves because keys are waiting.
  Modify([](StoredRegistry*, bool* changed, std::string*) {
    *changed = false;
    return kErrorSuccess;
  });
}

void RegistryStore::SavePendingKeysUnlessOpen() {
  if (pending_keys_.empty()) return;
  unsigned code_page = machine_.code_page();
  for (const std::string& handle : handles_) {
    if (handle.empty()) continue;
    for (const std::string& key : pending_keys_) {
      if (FoldName(handle, code_page) == FoldName(key, code_page)) return;
    }
  }
  SavePendingKeys();
}

const std::string* RegistryStore::PathOf(RegKey key) const {
  static const std::string* const roots =
      new std::string[5]{kStoredRootNames[0], kStoredRootNames[1], kStoredRootNames[2],
                         kStoredRootNames[3], kStoredRootNames[4]};
  int root = RootIndex(key);
  if (root >= 0) return &roots[root];
  if (key == 0 || key > handles_.size() || handles_[key - 1].empty()) return nullptr;
  return &handles_[key - 1];
}

const std::string& RegistryStore::Join(const std::string& parent, const char* name) {
  std::string& path = joined_;
  path.assign(parent);
  // Each name between backslashes that are not second bytes of double-byte
  // characters (as SplitKeyPath splits); an empty name is the same key again.
  unsigned code_page = machine_.code_page();
  size_t length = std::strlen(name);
  size_t start = 0;
  for (size_t i = 0; i <= length; ++i) {
    if (i == length || name[i] == '\\') {
      if (i > start) {
        path += '\\';
        path.append(name + start, i - start);
      }
      start = i + 1;
    } else if (IsLeadByteOf(code_page, static_cast<unsigned char>(name[i])) && i + 1 < length) {
      ++i;
    }
  }
  return path;
}

long RegistryStore::NewHandle(const std::string& path, RegKey* key) {
  for (size_t i = 0; i < handles_.size(); ++i) {
    if (handles_[i].empty()) {
      handles_[i] = path;
      *key = i + 1;
      return kErrorSuccess;
    }
  }
  if (handles_.size() >= kMaxHandles) return kErrorNoSystemResources;
  handles_.push_back(path);
  *key = handles_.size();
  return kErrorSuccess;
}

RegKey RegistryStore::Root(RootKey root) { return kRootHandles[static_cast<int>(root)]; }

long RegistryStore::OpenKey(RegKey parent, const char* name, unsigned, RegKey* key) {
  *key = 0;
  const std::string* known_parent = PathOf(parent);
  if (known_parent == nullptr) return kErrorInvalidHandle;
  const std::string& parent_path = *known_parent;
  long result = Refresh(false);
  if (result != kErrorSuccess) return result;
  // A key's levels above it exist as long as it does (a key with subkeys
  // cannot be deleted alone), so the parent is looked for only to tell why
  // a key is not found.
  const StoredKey* found = registry_->FindKey(Join(parent_path, name));
  if (found == nullptr) {
    return registry_->FindKey(parent_path) == nullptr ? kErrorKeyDeleted : kErrorFileNotFound;
  }
  return NewHandle(found->path, key);
}

long RegistryStore::CreateKey(RegKey parent, const char* name, unsigned, RegKey* key) {
  *key = 0;
  const std::string* known_parent = PathOf(parent);
  if (known_parent == nullptr) return kErrorInvalidHandle;
  const std::string& parent_path = *known_parent;
  for (const std::string& part : SplitKeyPath(name, machine_.code_page())) {
    if (!part.empty() && !IsValidKeyName(part, machine_.code_page())) return kErrorInvalidParameter;
  }
  long result = Refresh(false);
  if (result != kErrorSuccess) return result;
  if (registry_->FindKey(parent_path) == nullptr) return kErrorKeyDeleted;
  bool created = false;
  StoredKey* found = registry_->AddKey(Join(parent_path, name), &created);
  if (found == nullptr) return kErrorInvalidParameter;
  std::string path = found->path;
  // Saved with the next change, or when no handle on it is left: the walk
  // down a new key's levels and the value set in it then take one save.
  if (created) pending_keys_.push_back(path);
  result = NewHandle(path, key);
  if (result != kErrorSuccess) SavePendingKeysUnlessOpen();
  return result;
}

long RegistryStore::QueryValue(RegKey key, const char* name, unsigned* type, void* data,
                               unsigned* size) {
  const std::string* known = PathOf(key);
  if (known == nullptr) return kErrorInvalidHandle;
  const std::string& path = *known;
  long result = Refresh(false);
  if (result != kErrorSuccess) return result;
  const StoredKey* stored = registry_->FindKey(path);
  if (stored == nullptr) return kErrorKeyDeleted;
  const StoredValue* value = stored->FindValue(name != nullptr ? name : "");
  if (value == nullptr) return kErrorFileNotFound;
  if (type != nullptr) *type = value->type;
  if (data != nullptr) {
    if (size == nullptr) return kErrorInvalidParameter;
    if (*size < value->data.size()) {
      *size = static_cast<unsigned>(value->data.size());
      return kErrorMoreData;
    }
    std::memcpy(data, value->data.data(), value->data.size());
  }
  if (size != nullptr) *size = static_cast<unsigned>(value->data.size());
  return kErrorSuccess;
}

long RegistryStore::SetValue(RegKey key, const char* name, unsigned type, const void* data,
                             unsigned size) {
  const std::string* known = PathOf(key);
  if (known == nullptr) return kErrorInvalidHandle;
  const std::string& path = *known;
  if (name == nullptr) name = "";
  // A name with a line break cannot be written as one line of the file.
  if (HasLineBreak(name) || (data == nullptr && size != 0)) return kErrorInvalidParameter;
  std::string bytes(static_cast<const char*>(data), data != nullptr ? size : 0);
  return Modify([&](StoredRegistry* registry, bool* changed, std::string* record) {
    StoredKey* stored = registry->FindKey(path);
    if (stored == nullptr) return kErrorKeyDeleted;
    stored->SetValue(name, type, bytes);
    AppendValueRecord(stored->path, *stored->FindValue(name), record);
    *changed = true;
    return kErrorSuccess;
  });
}

long RegistryStore::DeleteValue(RegKey key, const char* name) {
  const std::string* known = PathOf(key);
  if (known == nullptr) return kErrorInvalidHandle;
  const std::string& path = *known;
  std::string value_name = name != nullptr ? name : "";
  return Modify([&](StoredRegistry* registry, bool* changed, std::string* record) {
    StoredKey* stored = registry->FindKey(path);
    if (stored == nullptr) return kErrorKeyDeleted;
    if (!stored->RemoveValue(value_name)) return kErrorFileNotFound;
    AppendValueDeletion(stored->path, value_name, record);
    *changed = true;
    return kErrorSuccess;
  });
}

long RegistryStore::DeleteKey(RegKey key, const char* subkey) {
  const std::string* known_parent = PathOf(key);
  if (known_parent == nullptr) return kErrorInvalidHandle;
  const std::string& parent_path = *known_parent;
  std::string path = Join(parent_path, subkey != nullptr ? subkey : "");
  return Modify([&](StoredRegistry* registry, bool* changed, std::string* record) {
    if (registry->FindKey(parent_path) == nullptr) return kErrorKeyDeleted;
    if (registry->FindKey(path) == nullptr) return kErrorFileNotFound;
    // As on Windows NT: a root, or a key that still has subkeys, stays.
    if (SplitKeyPath(path, machine_.code_page()).size() < 2 || registry->HasSubkeys(path))
      return kErrorAccessDenied;
    *changed = registry->RemoveKey(path);
    if (*changed) AppendKeyDeletion(path, record);
    return kErrorSuccess;
  });
}

void RegistryStore::CloseKey(RegKey key) {
  if (RootIndex(key) >= 0 || key == 0 || key > handles_.size()) return;
  handles_[key - 1].clear();
  SavePendingKeysUnlessOpen();
}

}  // namespace setup::posix
