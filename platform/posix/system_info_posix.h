// The machine's own facts for the POSIX stand-ins: the folders of the
// simulated Windows, the locale's code page and language, and the path the
// program was started from.
#pragma once

#include <string>

#include "platform/posix/machine.h"
#include "platform/system_info.h"

namespace setup::posix {

// The folder of the running executable; "" when the system does not say.
std::string ExecutableFolder();

class PosixSystemInfo : public SystemInfo {
 public:
  // The program folder is the folder of the running executable until
  // SetProgramFolder chooses another. The folders and the code page are
  // machine's, which outlives this.
  explicit PosixSystemInfo(Machine& machine) : machine_(machine) {}

  // Takes host_folder (absolute or relative to the current folder), e.g. a
  // medium folder given on the command line, as the folder setup.exe was
  // started from. False when it is not an existing folder.
  bool SetProgramFolder(const std::string& host_folder);

  // "C:\Windows" and "C:\Windows\System32" of the machine folder, created
  // when missing; the contract of GetWindowsDirectoryA: length written, or
  // the size needed with its NUL when size is too small.
  unsigned GetWindowsDirectory(char* buffer, unsigned size) override;
  unsigned GetSystemDirectory(char* buffer, unsigned size) override;
  // The program folder in Windows form followed by "\setup.exe".
  bool GetProgramPath(char* buffer, unsigned size) override;
  // Lead bytes of the machine's code page (932: 0x81-0x9F and 0xE0-0xFC);
  // never for single-byte code pages.
  bool IsLeadByte(unsigned char byte) override;
  // The language of LC_ALL, LC_MESSAGES or LANG, as a Windows language id.
  unsigned short GetUserDefaultLangID() override;

 private:
  Machine& machine_;
  std::string program_folder_;  // host path; empty for the executable's folder
};

}  // namespace setup::posix
