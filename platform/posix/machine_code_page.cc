// The code page a machine was made with, recorded in its folder.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/durable_write.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/machine.h"

namespace setup::posix {
namespace {

// Reads the code page recorded at path: 1 read, 0 no record, -1 failure
// (errno set; EINVAL for a file that is no record).
int ReadCodePageRecord(const std::string& path, unsigned* code_page) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : -1;
  char text[16] = {};
  ssize_t got = read(fd, text, sizeof text - 1);
  int saved = errno;
  close(fd);
  errno = saved;
  if (got < 0) return -1;
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || (*end != '\0' && std::strcmp(end, "\n") != 0) || value == 0 || value > 65535) {
    errno = EINVAL;
    return -1;
  }
  *code_page = static_cast<unsigned>(value);
  return 1;
}

// Records code_page at path, whole or not at all: written to a temporary
// and linked to its name, which fails with EEXIST when another run recorded
// one first. 0 when the record is made.
int WriteCodePageRecord(const std::string& path, unsigned code_page) {
  std::string temporary = path + ".XXXXXX";
  int fd = CreateTemporary(&temporary, 0644);
  if (fd < 0) return -1;
  char text[16];
  int length = std::snprintf(text, sizeof text, "%u\n", code_page);
  bool ok = WriteAll(fd, text, static_cast<size_t>(length));
  if (!ok) RemoveTemporary(temporary);
  ok = ok && PlaceTemporary(fd, temporary, path, Placing::kNewName, true);
  int saved = errno;
  close(fd);
  errno = saved;
  return ok ? 0 : -1;
}

}  // namespace

bool Machine::UseRecordedCodePage(unsigned requested, std::string* error, bool* refused) {
  *refused = false;
  std::string path = root() + "/code_page";
  unsigned recorded = 0;
  int found = ReadCodePageRecord(path, &recorded);
  if (found == 0) {
    if (WriteCodePageRecord(path, requested != 0 ? requested : code_page_) != 0) {
      if (errno != EEXIST) {
        *error = "cannot record the code page in '" + path + "': " + std::strerror(errno);
        return false;
      }
    }
    found = ReadCodePageRecord(path, &recorded);  // ours, or that of a run that came first
  }
  if (found <= 0) {
    *error = "cannot read the code page of the machine from '" + path +
             "': " + (errno == EINVAL ? "it holds no code page" : std::strerror(errno));
    return false;
  }
  if (requested != 0 && requested != recorded) {
    *refused = true;
    *error = "the machine in '" + root() + "' uses code page " + std::to_string(recorded) +
             ", not " + std::to_string(requested) +
             "; its names cannot change code page (choose another --machine folder)";
    return false;
  }
  code_page_ = recorded;
  return true;
}

}  // namespace setup::posix
