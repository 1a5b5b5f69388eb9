// Folders, code page, language and program path of the simulated machine.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/posix/code_page.h"
#include "platform/posix/system_info_posix.h"

namespace setup::posix {
namespace {

// Copies text with the size contract of GetWindowsDirectoryA.
unsigned CopyOut(const std::string& text, char* buffer, unsigned size) {
  if (text.size() >= size) return static_cast<unsigned>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<unsigned>(text.size());
}

}  // namespace

std::string ExecutableFolder() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "";
  std::string exe(path, static_cast<size_t>(length));
  size_t slash = exe.rfind('/');
  return slash == 0 ? "/" : exe.substr(0, slash);
}

namespace {

// Asks for folder (Windows form) below the machine root and returns it.
std::string MachineFolder(Machine* machine, const char* windows_path) {
  std::string host;
  if (machine->ToHostPath(windows_path, &host)) mkdir(host.c_str(), 0777);  // EEXIST is fine
  return windows_path;
}

}  // namespace

bool PosixSystemInfo::SetProgramFolder(const std::string& host_folder) {
  struct stat st;
  if (host_folder.empty() || stat(host_folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return false;
  }
  if (host_folder[0] == '/') {
    program_folder_ = host_folder;
  } else {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return false;
    program_folder_ = std::string(cwd) + "/" + host_folder;
  }
  return true;
}

unsigned PosixSystemInfo::GetWindowsDirectory(char* buffer, unsigned size) {
  return CopyOut(MachineFolder(&machine_, "C:\\Windows"), buffer, size);
}

unsigned PosixSystemInfo::GetSystemDirectory(char* buffer, unsigned size) {
  MachineFolder(&machine_, "C:\\Windows");
  return CopyOut(MachineFolder(&machine_, "C:\\Windows\\System32"), buffer, size);
}

bool PosixSystemInfo::GetProgramPath(char* buffer, unsigned size) {
  std::string folder = program_folder_.empty() ? ExecutableFolder() : program_folder_;
  if (folder.empty()) return false;
  std::string path = machine_.ToWindowsPath(folder);
  if (path.back() != '\\') path += '\\';  // a drive root already ends in one
  path += "setup.exe";
  return CopyOut(path, buffer, size) < size;
}

bool PosixSystemInfo::IsLeadByte(unsigned char byte) { return machine_.IsLeadByte(byte); }

unsigned short PosixSystemInfo::GetUserDefaultLangID() {
  return LangIdForLocale(LocaleName("LC_MESSAGES"));
}

}  // namespace setup::posix
