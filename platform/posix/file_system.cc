// Files and folders of the simulated machine on the host file system.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/posix/code_page.h"
#include "platform/posix/durable_write.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/interruption.h"
#include "platform/posix/machine.h"

namespace setup::posix {
namespace {

// What a FileHandle points to.
struct OpenFile {
  int fd = -1;
  std::string temp_path;  // set for a replacement: the temporary file
  std::string dest_path;  // set for a replacement: the file it replaces
  bool replaces = false;  // dest_path existed when the replacement began
};

OpenFile* FromHandle(FileHandle file) { return reinterpret_cast<OpenFile*>(file); }
FileHandle ToHandle(OpenFile* file) { return reinterpret_cast<FileHandle>(file); }

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

// The permissions an installed file gets. Media from FAT, ISO or tar often
// mark every file 0777 or carry setuid bits, so the source's mode is never
// copied whole:
// - a new file gets 0666, plus the execute bits of source (when there is
//   one), all under the process's umask;
// - a replaced file (existing) keeps its own permission bits, limited to
//   0777: setuid, setgid and sticky bits are dropped, the umask is not
//   applied again, and execute bits stay its own;
// - either way every write bit goes when source is read-only, so the copy
//   carries the read-only attribute along as CopyFileA does.
mode_t InstalledMode(const struct stat* existing, const struct stat* source) {
  mode_t mode;
  if (existing != nullptr) {
    mode = existing->st_mode & 0777;
  } else {
    mode_t mask = umask(0);
    umask(mask);  // reading the umask means setting it; put it back at once
    mode = (0666 | (source != nullptr ? source->st_mode & 0111 : 0)) & ~mask;
  }
  if (source != nullptr && IsReadOnly(*source)) mode &= ~static_cast<mode_t>(0222);
  return mode;
}

// InstalledMode of a new file before the umask, which the creation of the
// file applies.
mode_t NewFileMode(const struct stat* source) {
  mode_t mode = 0666 | (source->st_mode & 0111);
  if (IsReadOnly(*source)) mode &= ~static_cast<mode_t>(0222);
  return mode;
}

// What Target learnt of the file it returns.
enum class Probe { kUnknown, kMissing, kExists };

// Follows a symbolic link at path to the file it names, so that renaming
// replaces the file and keeps the link. When path is no link, *st gets its
// status (kExists) or it is missing (kMissing); else kUnknown.
std::string Target(const std::string& path, struct stat* st, Probe* probe,
                   const Machine::LastEntry* seen = nullptr) {
  *probe = Probe::kUnknown;
  if (seen != nullptr && seen->known) {
    // The mapping looked at it a moment ago: no need to look again.
    if (!seen->exists) {
      *probe = Probe::kMissing;
      return path;
    }
    *st = seen->status;
  } else if (lstat(path.c_str(), st) != 0) {
    if (errno == ENOENT) *probe = Probe::kMissing;
    return path;
  }
  if (!S_ISLNK(st->st_mode)) {
    *probe = Probe::kExists;
    return path;
  }
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string target(real);
  std::free(real);
  return target;
}

// Checks that dest may be overwritten or created; *existing gets its status
// when it exists, taken from Target's when it knew it (probe). Sets errno
// and returns false otherwise.
bool CanReplace(const std::string& dest, Probe probe, struct stat* existing, bool* exists) {
  if (probe == Probe::kUnknown) {
    *exists = stat(dest.c_str(), existing) == 0;
    if (!*exists) return errno == ENOENT;
  } else {
    *exists = probe == Probe::kExists;
    if (!*exists) return true;
  }
  if (S_ISDIR(existing->st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (IsReadOnly(*existing)) {
    errno = EACCES;  // the read-only attribute stops every writer, root included
    return false;
  }
  return true;
}

// Creates the temporary ".<name>.XXXXXX" beside dest; -1 on failure (a
// missing folder among them). An interruption removes it until
// RemoveTemporary or Finish.
int MakeTemporary(Machine* machine, const std::string& dest, std::string* temp_path,
                  mode_t creation = 0600) {
  size_t slash = dest.rfind('/');
  std::string name = dest.substr(slash + 1);
  if (name.size() > 200) name.resize(200);  // keep the temporary's name below NAME_MAX
  std::string pattern = dest.substr(0, slash + 1) + "." + name + ".XXXXXX";
  Machine::FolderChange change = machine->BeginFolderChange(pattern);
  int fd = CreateTemporary(&pattern, -1, creation);
  machine->EndFolderChange(change, "");
  if (fd >= 0) *temp_path = pattern;
  return fd;
}

// Closes the temporary, renames it over the destination; removes it on
// failure. When it replaces a file (replaces), the new contents reach the
// disk before the rename, so a crash never trades the old file for a
// truncated one. A new file has nothing to lose that way and is left to the
// system's own write-back, as CopyFileA leaves it: a sync per file would
// make an installation of many small files wait on the disk for each.
bool Finish(Machine* machine, int fd, const std::string& temp_path, const std::string& dest_path,
            bool replaces) {
  // Closed before the rename, so that a late write error (a full disk seen
  // at close) keeps the old file.
  bool ok = !replaces || fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    RemoveTemporary(temp_path);
    return false;
  }
  Machine::FolderChange change = machine->BeginFolderChange(dest_path);
  if (!PlaceTemporary(-1, temp_path, dest_path, Placing::kReplace, false)) {
    machine->EndFolderChange(change, "");
    return false;
  }
  machine->EndFolderChange(change, dest_path);
  if (replaces) SyncFolderOf(dest_path);  // a failure here loses nothing
  return true;
}

bool CopyByReadWrite(int in, int out) {
  char buffer[65536];
  for (;;) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(out, buffer, static_cast<size_t>(got))) return false;
  }
}

// True for the errors that mean "this way of copying is not available here".
bool IsUnsupported(int error) {
  return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

// Copies the rest of in to out: copy_file_range (which may share blocks),
// else sendfile, else read and write. Each later way goes on from where the
// file offsets stand. size: the source's size when it was opened, where
// copy_file_range stops without reading the end once more; a file that
// grows meanwhile is copied as it was then. -1: to the end, however far.
bool CopyData(int in, int out, off_t size = -1) {
  bool first = true;
  off_t done = 0;
  for (;;) {
    ssize_t copied = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (copied > 0) {
      first = false;
      done += copied;
      if (size > 0 && done >= size) return true;
      continue;
    }
    if (copied == 0 && !first) return true;
    if (copied < 0 && errno == EINTR) continue;
    if (copied < 0 && !IsUnsupported(errno)) return false;
    break;  // unsupported, or 0 at once, which some file systems give for files with content
  }
  for (;;) {
    ssize_t sent = sendfile(out, in, nullptr, 1 << 30);
    if (sent > 0) continue;
    if (sent == 0) return CopyByReadWrite(in, out);  // reads once more to be sure of the end
    if (errno == EINTR) continue;
    if (!IsUnsupported(errno)) return false;
    return CopyByReadWrite(in, out);
  }
}

// Opens a source to read and fills *st; -1 unless it is a regular file. A
// FIFO, device or folder would hang the copy or never end it (/dev/zero):
// O_NONBLOCK keeps the open of a FIFO without writer from waiting, and the
// check comes before any byte is read. On a regular file O_NONBLOCK changes
// nothing, so it stays set.
int OpenRegular(const std::string& host, struct stat* st) {
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// Length of the UTF-8 character that starts with byte (1 for a stray byte).
size_t CharLength(unsigned char byte) {
  if (byte >= 0xF0 && byte <= 0xF7) return 4;
  if (byte >= 0xE0) return byte <= 0xEF ? 3 : 1;
  if (byte >= 0xC0) return 2;
  return 1;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Matches a host name against a pattern of * (any run) and ? (one
// character), ASCII letters case-insensitively; a pattern ending in ".*" also
// matches where the name ends ("setup.*" finds "setup"), as on Windows.
bool Matches(const char* pattern, const char* name) {
  const char* star = nullptr;   // the last * seen, to retry from
  const char* retry = nullptr;  // where in name that * resumes
  for (;;) {
    if (*name == '\0') {
      while (*pattern == '*') ++pattern;
      if (pattern[0] == '.' && pattern[1] == '*') {
        pattern += 2;
        while (*pattern == '*') ++pattern;
      }
      if (*pattern == '\0') return true;
    } else if (*pattern == '*') {
      star = ++pattern;
      retry = name;
      continue;
    } else if (*pattern == '?') {
      ++pattern;
      name += CharLength(static_cast<unsigned char>(*name));
      continue;
    } else if (Fold(*pattern) == Fold(*name)) {
      ++pattern;
      ++name;
      continue;
    }
    if (star == nullptr || *retry == '\0') return false;
    retry += CharLength(static_cast<unsigned char>(*retry));
    pattern = star;
    name = retry;
  }
}

void FillStatus(const struct stat& st, FileStatus* status) {
  status->attributes = 0;
  if (S_ISDIR(st.st_mode)) status->attributes |= kAttrDirectory;
  if (IsReadOnly(st)) status->attributes |= kAttrReadOnly;
  status->last_write_time = static_cast<std::int64_t>(st.st_mtime);
}

// The first entry of folder matching pattern, in case-insensitive name order;
// a link that leads where the machine may not read is passed over, as a
// dangling one is.
bool FindFirst(Machine* machine, const std::string& folder, const std::string& pattern,
               FileStatus* status) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  std::string best;
  struct stat best_stat = {};
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == ".." || !Matches(pattern.c_str(), name.c_str())) continue;
    if (!best.empty()) {
      int order = strcasecmp(name.c_str(), best.c_str());
      if (order > 0 || (order == 0 && name > best)) continue;
    }
    struct stat st;
    std::string entry_path = folder;
    entry_path += '/';
    entry_path += name;
    if (stat(entry_path.c_str(), &st) != 0) continue;                 // a dangling link
    bool plain = entry->d_type == DT_REG || entry->d_type == DT_DIR;  // no link to follow
    if (!plain && !machine->Allows(Machine::Access::kRead, entry_path)) continue;
    best = name;
    best_stat = st;
  }
  closedir(dir);
  if (best.empty()) return false;
  FillStatus(best_stat, status);
  return true;
}

}  // namespace

FileHandle PosixFileSystem::OpenRead(const char* path) {
  DropHeld();
  std::string host;
  if (!machine_.MapFor(Machine::Access::kRead, path, &host)) return kNoFile;
  struct stat st;
  int fd = OpenRegular(host, &st);  // a folder is no file to read, as on Windows
  if (fd < 0) return kNoFile;
  OpenFile* file = new OpenFile;
  file->fd = fd;
  return ToHandle(file);
}

long PosixFileSystem::Read(FileHandle file, void* buffer, unsigned long size) {
  if (file == kNoFile) return -1;
  if (size > LONG_MAX) size = LONG_MAX;  // the count must fit the result
  for (;;) {
    ssize_t got = read(FromHandle(file)->fd, buffer, size);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

bool PosixFileSystem::Write(FileHandle file, const void* data, unsigned long size) {
  if (file == kNoFile) return false;
  return WriteAll(FromHandle(file)->fd, static_cast<const char*>(data), size);
}

void PosixFileSystem::Close(FileHandle file) {
  if (file == kNoFile) return;
  OpenFile* open_file = FromHandle(file);
  if (!open_file->temp_path.empty()) {
    AbandonReplacement(file);
    return;
  }
  close(open_file->fd);
  delete open_file;
}

FileHandle PosixFileSystem::CreateReplacement(const char* path) {
  DropHeld();
  std::string host;
  if (!machine_.MapFor(Machine::Access::kWrite, path, &host)) return kNoFile;
  struct stat existing;
  Probe probe;
  host = Target(host, &existing, &probe);
  bool exists;
  if (!CanReplace(host, probe, &existing, &exists)) return kNoFile;
  std::string temp_path;
  int fd = MakeTemporary(&machine_, host, &temp_path);
  if (fd < 0) return kNoFile;
  if (exists && fchown(fd, existing.st_uid, existing.st_gid) != 0) {
    // Only root may give the file away; the new version then stays ours.
  }
  // After fchown, which may clear the setgid and setuid bits it would keep.
  if (fchmod(fd, InstalledMode(exists ? &existing : nullptr, nullptr)) != 0) {
    int saved = errno;
    close(fd);
    unlink(temp_path.c_str());
    errno = saved;
    return kNoFile;
  }
  OpenFile* file = new OpenFile;
  file->fd = fd;
  file->temp_path = temp_path;
  file->dest_path = host;
  file->replaces = exists;
  return ToHandle(file);
}

bool PosixFileSystem::CommitReplacement(FileHandle file) {
  if (file == kNoFile) return false;
  OpenFile* open_file = FromHandle(file);
  bool ok = Finish(&machine_, open_file->fd, open_file->temp_path, open_file->dest_path,
                   open_file->replaces);
  delete open_file;
  return ok;
}

void PosixFileSystem::AbandonReplacement(FileHandle file) {
  if (file == kNoFile) return;
  OpenFile* open_file = FromHandle(file);
  close(open_file->fd);
  if (!open_file->temp_path.empty()) RemoveTemporary(open_file->temp_path);
  delete open_file;
}

CreateFolderResult PosixFileSystem::CreateFolder(const char* path) {
  DropHeld();
  std::string host;
  if (!machine_.MapFor(Machine::Access::kWrite, path, &host)) {
    // A folder that exists where nothing may be written (the medium, say)
    // is there all the same, as on a CD.
    struct stat st;
    return machine_.MapFor(Machine::Access::kRead, path, &host) && lstat(host.c_str(), &st) == 0
               ? CreateFolderResult::kAlreadyExists
               : CreateFolderResult::kFailed;
  }
  Machine::FolderChange change = machine_.BeginFolderChange(host);
  if (mkdir(host.c_str(), 0777) == 0) {
    machine_.EndFolderChange(change, host);
    return CreateFolderResult::kCreated;
  }
  return errno == EEXIST ? CreateFolderResult::kAlreadyExists : CreateFolderResult::kFailed;
}

bool PosixFileSystem::CopyFile(const char* source, const char* dest) {
  Machine::Place to;
  if (TakeHeld(dest, &to)) {
    // Looked at for reading by GetStatus (ClearReadOnly), to be written now.
    if (!machine_.Allows(Machine::Access::kWrite, to)) {
      Machine::CloseFolder(&to);
      return false;
    }
  } else if (!machine_.Locate(Machine::Access::kWrite, dest, &to)) {
    return false;
  }
  // A link at the destination, or no folder to work in: by the paths.
  if (to.folder < 0 || !to.last.known || (to.last.exists && S_ISLNK(to.last.status.st_mode))) {
    Machine::CloseFolder(&to);
    return CopyFileByPath(source, dest);
  }
  bool ok = CopyInto(source, &to);
  Machine::CloseFolder(&to);
  return ok;
}

bool PosixFileSystem::CopyInto(const char* source, Machine::Place* to) {
  Machine::Place from;
  if (!machine_.Locate(Machine::Access::kRead, source, &from, O_RDONLY | O_NONBLOCK)) {
    return false;
  }
  struct stat source_stat;
  int in = from.opened;
  from.opened = -1;
  if (in >= 0) {
    source_stat = from.last.status;
    if (!S_ISREG(source_stat.st_mode)) {  // a FIFO, device or folder, see OpenRegular
      close(in);
      in = -1;
    }
  } else if (!from.last.known || from.last.exists) {
    in = OpenRegular(from.host, &source_stat);  // a link, followed where the checks allow
  }
  Machine::CloseFolder(&from);
  if (in < 0) return false;
  const struct stat& existing = to->last.status;
  bool exists = to->last.exists;
  bool ok = true;
  if (exists && S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    ok = false;
  } else if (exists && IsReadOnly(existing)) {
    errno = EACCES;  // the read-only attribute stops every writer, root included
    ok = false;
  } else if (exists && existing.st_dev == source_stat.st_dev &&
             existing.st_ino == source_stat.st_ino) {
    ok = false;  // copying a file onto itself fails, as it does on Windows
  }
  if (!ok) {
    close(in);
    return false;
  }
  // The temporary ".<name>.XXXXXX" beside the destination, made in its
  // folder; the interruption table holds its whole path.
  std::string name = to->name;
  if (name.size() > 200) name.resize(200);  // keep the temporary's name below NAME_MAX
  size_t slash = to->host.rfind('/');
  std::string temp_path = to->host.substr(0, slash + 1) + "." + name + ".XXXXXX";
  Machine::FolderChange change = machine_.BeginFolderChange(*to);
  int out = MakeTrackedTemporary(&temp_path, NewFileMode(&source_stat), to->folder, slash + 1);
  if (out < 0) {
    close(in);
    return false;
  }
  struct timespec times[2] = {source_stat.st_atim, source_stat.st_mtim};
  ok = CopyData(in, out, source_stat.st_size) &&
       (!exists || fchmod(out, InstalledMode(&existing, &source_stat)) == 0) &&
       futimens(out, times) == 0;
  close(in);
  // As Finish: a replaced file's new contents reach the disk before the
  // rename; a new file is left to the system's write-back.
  ok = ok && (!exists || fsync(out) == 0);
  ok = close(out) == 0 && ok;
  const char* temp_name = temp_path.c_str() + slash + 1;
  if (ok && renameat(to->folder, temp_name, to->folder, to->name.c_str()) == 0) {
    UntrackTemporary(temp_path);
  } else {
    int saved = errno;
    unlinkat(to->folder, temp_name, 0);
    UntrackTemporary(temp_path);
    machine_.EndFolderChange(change, "", to->folder);
    errno = saved;
    return false;
  }
  machine_.EndFolderChange(change, to->host, to->folder);
  if (exists) SyncFolderOf(to->host);  // a failure here loses nothing
  last_copy_ = CopyReport{exists, static_cast<unsigned long long>(source_stat.st_size)};
  return true;
}

bool PosixFileSystem::CopyFileByPath(const char* source, const char* dest) {
  std::string source_host, dest_host;
  Machine::LastEntry dest_seen;
  if (!machine_.MapFor(Machine::Access::kRead, source, &source_host) ||
      !machine_.MapFor(Machine::Access::kWrite, dest, &dest_host, &dest_seen)) {
    return false;
  }
  struct stat source_stat, existing;
  Probe probe;
  dest_host = Target(dest_host, &existing, &probe, &dest_seen);
  int in = OpenRegular(source_host, &source_stat);
  if (in < 0) return false;
  bool exists;
  bool ok =
      CanReplace(dest_host, probe, &existing, &exists) &&
      // Copying a file onto itself fails, as it does on Windows.
      !(exists && existing.st_dev == source_stat.st_dev && existing.st_ino == source_stat.st_ino);
  // A new file is made with its mode, the kernel applying the umask; a
  // replaced one gets the old file's, which the umask must not cut again.
  std::string temp_path;
  int out = ok ? MakeTemporary(&machine_, dest_host, &temp_path, NewFileMode(&source_stat)) : -1;
  if (out < 0) {
    close(in);
    return false;
  }
  // The copy's times are the source's; its permissions carry the read-only
  // attribute along, as CopyFileA copies the attributes.
  struct timespec times[2] = {source_stat.st_atim, source_stat.st_mtim};
  ok = CopyData(in, out) && (!exists || fchmod(out, InstalledMode(&existing, &source_stat)) == 0) &&
       futimens(out, times) == 0;
  close(in);
  if (!ok) {
    close(out);
    RemoveTemporary(temp_path);
    return false;
  }
  if (!Finish(&machine_, out, temp_path, dest_host, exists)) return false;
  last_copy_ = CopyReport{exists, static_cast<unsigned long long>(source_stat.st_size)};
  return true;
}

bool PosixFileSystem::GetStatus(const char* path, FileStatus* status) {
  // A second look at the same path (the install record asks whether the
  // copy's destination exists after ClearReadOnly did) serves from the place
  // held, within the time of the first look.
  std::string& folder = split_folder_;
  std::string& name = split_name_;
  SplitLastComponent(machine_.code_page(), path, &folder, &name);
  if (name.empty() || HasWildcard(name)) DropHeld();  // never a path held
  if (name.empty()) return false;                     // "C:\x\" and "C:\" name no entry to find
  if (HasWildcard(name)) {
    std::string host;
    if (!machine_.MapFor(Machine::Access::kRead, folder.empty() ? "." : folder.c_str(), &host))
      return false;
    return FindFirst(&machine_, host, AnsiToHost(machine_.code_page(), name), status);
  }
  Machine::Place place;
  struct timespec looked_at = held_at_;
  if (!TakeHeld(path, &place)) {
    clock_gettime(CLOCK_MONOTONIC, &looked_at);
    if (!machine_.Locate(Machine::Access::kRead, path, &place)) return false;
  }
  const Machine::LastEntry& seen = place.last;
  struct stat st;
  bool found;
  if (seen.known && !seen.exists) {
    errno = ENOENT;
    found = false;
  } else if (seen.exists && !S_ISLNK(seen.status.st_mode)) {
    st = seen.status;  // what the mapping saw serves unless it is a link, which stat follows
    found = true;
  } else {
    found = stat(place.host.c_str(), &st) == 0;
  }
  if (found) FillStatus(st, status);
  Hold(path, &place, looked_at);
  return found;
}

void PosixFileSystem::Hold(const char* path, Machine::Place* place, const timespec& looked_at) {
  if (place->folder < 0) return;
  held_path_ = path;
  held_ = *place;
  place->folder = -1;
  held_at_ = looked_at;
}

bool PosixFileSystem::TakeHeld(const char* path, Machine::Place* place) {
  if (held_.folder < 0) return false;
  bool same = held_path_ == path;
  if (same) {
    // Only a look a moment ago, never one from before a wait: a folder
    // may have been moved meanwhile, and the descriptor would follow it.
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long elapsed_ms =
        (now.tv_sec - held_at_.tv_sec) * 1000LL + (now.tv_nsec - held_at_.tv_nsec) / 1000000;
    same = elapsed_ms >= 0 && elapsed_ms < kHeldForMs;
  }
  if (!same) {
    DropHeld();
    return false;
  }
  *place = held_;
  held_.folder = -1;
  return true;
}

void PosixFileSystem::DropHeld() {
  if (held_.folder < 0) return;
  int saved = errno;
  Machine::CloseFolder(&held_);
  errno = saved;
}

PosixFileSystem::~PosixFileSystem() { DropHeld(); }

bool PosixFileSystem::SetAttributes(const char* path, unsigned attributes) {
  DropHeld();
  std::string host;
  struct stat st;
  if (!machine_.MapFor(Machine::Access::kWrite, path, &host) || stat(host.c_str(), &st) != 0)
    return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kAttrReadOnly) != 0 ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
  if (mode == (st.st_mode & 07777)) return true;
  // A file with other names shares its mode with them, and those may lie
  // outside the machine: it gets an inode of its own first.
  if (S_ISREG(st.st_mode) && st.st_nlink > 1) return ReplaceWithPrivateCopy(host, mode);
  return chmod(host.c_str(), mode) == 0;
}

bool PosixFileSystem::ReplaceWithPrivateCopy(const std::string& host, mode_t mode) {
  int in = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return false;
  std::string temp_path;
  int out = MakeTemporary(&machine_, host, &temp_path);
  bool ok = out >= 0 && CopyData(in, out) && fchmod(out, mode) == 0;
  close(in);
  if (out < 0) return false;
  if (!ok) {
    close(out);
    RemoveTemporary(temp_path);
    return false;
  }
  return Finish(&machine_, out, temp_path, host, true);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace setup::posix
