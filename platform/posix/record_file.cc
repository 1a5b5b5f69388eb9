// The install record's file: a temporary written line by line, renamed to
// its free name at the end. What the end needs (the open temporary and the
// names) sits in a static record as well, so that a signal handler can end
// the record with async-signal-safe calls alone.
#include "platform/posix/record_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include "platform/posix/code_page.h"
#include "platform/posix/durable_write.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/interruption.h"

namespace setup::posix {
namespace {

constexpr size_t kTitleBytes = 60;
constexpr int kMaxSuffix = 9999;

// The record in progress, for FinishRecordOnInterruption.
struct Pending {
  volatile sig_atomic_t active;
  // The length of the whole lines written: a line a signal cuts short is
  // taken off again before the result goes after them.
  volatile sig_atomic_t whole;
  int fd;
  char temp[PATH_MAX];
  char base[PATH_MAX];
};
Pending pending;

// Appends text to buffer (size bytes, NUL-terminated); false when it does
// not fit. Async-signal-safe.
bool Append(char* buffer, size_t size, const char* text) {
  size_t used = std::strlen(buffer);
  size_t length = std::strlen(text);
  if (used + length >= size) return false;
  std::memcpy(buffer + used, text, length + 1);
  return true;
}

// Renames temp to base + ".txt", or the first free base + " (n).txt";
// the name taken goes to name (PATH_MAX bytes). Async-signal-safe.
bool Publish(const char* temp, const char* base, char* name) {
  for (int n = 1; n <= kMaxSuffix; ++n) {
    name[0] = '\0';
    char suffix[16] = " (";
    char digits[8];
    int length = 0;
    for (int v = n; v > 0; v /= 10) digits[length++] = static_cast<char>('0' + v % 10);
    size_t at = 2;
    while (length > 0) suffix[at++] = digits[--length];
    suffix[at++] = ')';
    suffix[at] = '\0';
    if (!Append(name, PATH_MAX, base) || (n > 1 && !Append(name, PATH_MAX, suffix)) ||
        !Append(name, PATH_MAX, ".txt")) {
      errno = ENAMETOOLONG;
      return false;
    }
    // A hard link never replaces an existing name; the temporary goes after.
    if (link(temp, name) == 0) {
      unlink(temp);
      return true;
    }
    if (errno == EEXIST) continue;
    // A file system without hard links: a plain rename onto a free name.
    if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK) {
      if (access(name, F_OK) == 0) continue;
      return rename(temp, name) == 0;
    }
    return false;
  }
  errno = EEXIST;
  return false;
}

// Adds the result line (when result is not null), flushes and puts the
// temporary in place. Async-signal-safe.
bool End(int fd, const char* temp, const char* base, const char* result, char* name) {
  bool ok =
      (result == nullptr || (WriteAll(fd, "\nresult   ", 10) &&
                             WriteAll(fd, result, std::strlen(result)) && WriteAll(fd, "\n", 1))) &&
      fsync(fd) == 0;
  int saved = errno;
  close(fd);
  if (!ok) {
    unlink(temp);
    errno = saved;
    return false;
  }
  return Publish(temp, base, name);
}

// The title as part of a file name: UTF-8, no path separator or control
// byte, at most kTitleBytes bytes, cut between characters.
std::string FileTitle(unsigned code_page, const char* title) {
  std::string text;
  Iconv to_utf8("UTF-8", IconvName(code_page));
  to_utf8.Convert(title != nullptr ? title : "", true, &text);
  for (char& c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) c = '_';
  }
  if (text.size() > kTitleBytes) {
    size_t cut = kTitleBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  return text.empty() ? "Setup" : text;
}

}  // namespace

RecordFile::RecordFile(std::string folder, unsigned code_page)
    : folder_(std::move(folder)), code_page_(code_page), to_utf8_("UTF-8", IconvName(code_page)) {}

RecordFile::~RecordFile() {
  if (fd_ >= 0 && !closed_ && pending.active != 0) {  // not ended by a signal already
    if (error_ == 0 && !line_.empty()) WriteLines(line_.size());
    InterruptionBlock block;
    pending.active = 0;
    char name[PATH_MAX];
    End(fd_, temp_.c_str(), base_.c_str(), "stopped", name);
    fd_ = -1;
  }
}

bool RecordFile::Open(const char* title, RecordStart* start) {
  if (fd_ >= 0) return true;
  if (error_ != 0 || closed_) return false;
  if (mkdir(folder_.c_str(), 0777) != 0 && errno != EEXIST) {
    error_ = errno;
    return false;
  }
  // installs/ belongs to the machine: a link there would take the record,
  // and the files made for it, out of the machine folder.
  struct stat st;
  if (lstat(folder_.c_str(), &st) != 0) {
    error_ = errno;
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    error_ = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
    return false;
  }
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H-%M-%S", &utc);
  std::strftime(start->started, sizeof start->started, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::snprintf(start->machine, sizeof start->machine,
                "code page %u (names below converted to UTF-8)", code_page_);
  base_ = folder_ + "/" + stamp + " " + FileTitle(code_page_, title);
  std::string temp = folder_ + "/." + stamp + ".XXXXXX";
  if (base_.size() + 16 >= PATH_MAX || temp.size() >= PATH_MAX) {
    error_ = ENAMETOOLONG;
    return false;
  }
  InterruptionBlock block;
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  fd_ = fd;
  temp_ = temp;
  pending.fd = fd;
  pending.whole = 0;
  std::memcpy(pending.temp, temp_.c_str(), temp_.size() + 1);
  std::memcpy(pending.base, base_.c_str(), base_.size() + 1);
  pending.active = 1;
  return true;
}

bool RecordFile::Write(const char* text, std::size_t length) {
  if (fd_ < 0 || error_ != 0) return false;
  std::string_view in(text, length);
  if (std::all_of(in.begin(), in.end(), [](char c) { return (c & 0x80) == 0; })) {
    line_ += in;  // ASCII is the same in UTF-8, as in every code page here
  } else {
    std::string converted;
    to_utf8_.Convert(in, true, &converted);
    line_ += converted;
  }
  // A line goes to the file once its end has come, in one write.
  size_t end = line_.rfind('\n');
  return end == std::string::npos || WriteLines(end + 1);
}

bool RecordFile::WriteLines(size_t length) {
  // Written without holding signals off: a line is in the record whole or
  // not at all all the same, as the interruption's end cuts the file back
  // to pending.whole, which moves only once a write is complete.
  if (!WriteAll(fd_, line_.data(), length)) {
    error_ = errno;
    return false;
  }
  written_ += length;
  pending.whole = static_cast<sig_atomic_t>(written_);
  line_.erase(0, length);
  return true;
}

bool RecordFile::Close(bool whole) {
  if (closed_) return error_ == 0;
  if (fd_ >= 0 && error_ == 0 && !line_.empty()) WriteLines(line_.size());  // a last line unended
  if (!whole && error_ == 0) error_ = EIO;
  closed_ = true;
  if (fd_ < 0) return false;
  InterruptionBlock block;
  pending.active = 0;
  char name[PATH_MAX];
  int fd = fd_;
  fd_ = -1;
  if (error_ != 0) {
    close(fd);
    unlink(temp_.c_str());
    return false;
  }
  if (!End(fd, temp_.c_str(), base_.c_str(), nullptr, name)) {
    error_ = errno;
    return false;
  }
  path_ = name;
  SyncFolderOf(path_);  // the new name, too, survives a crash
  return true;
}

std::string RecordFile::ErrorText() const {
  return "cannot write the install record in '" + folder_ +
         "': " + std::strerror(error_ != 0 ? error_ : EIO);
}

bool PosixCopyFacts::LastCopy(const char*, bool* replaced, unsigned long long* size) {
  *replaced = files_.last_copy().replaced;
  *size = files_.last_copy().size;
  return true;
}

void FinishRecordOnInterruption() {
  if (pending.active == 0) return;
  pending.active = 0;
  if (ftruncate(pending.fd, pending.whole) != 0) return;  // a cut line stays hidden
  char name[PATH_MAX];
  End(pending.fd, pending.temp, pending.base, "cancelled", name);
}

std::string RecordFolder(const std::string& machine_root) { return machine_root + "/installs"; }

std::string LatestRecord(const std::string& machine_root) {
  std::string folder = RecordFolder(machine_root);
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return "";
  std::string latest;
  while (const dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    // Hidden names are temporaries of records being written.
    if (name[0] != '.' && name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0 &&
        name > latest) {
      latest = name;
    }
  }
  closedir(listing);
  return latest.empty() ? "" : folder + "/" + latest;
}

}  // namespace setup::posix
