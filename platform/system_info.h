// What the engine asks of the machine itself: its folders, its code page,
// the user's language and the path the program was started from.
#pragma once

namespace setup {

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;

  // As GetWindowsDirectoryA: writes the Windows folder (no final backslash)
  // and returns its length; 0 on failure; a result >= size means it did not
  // fit and the buffer holds nothing usable.
  virtual unsigned GetWindowsDirectory(char* buffer, unsigned size) = 0;
  // As GetSystemDirectoryA, same contract.
  virtual unsigned GetSystemDirectory(char* buffer, unsigned size) = 0;
  // The program's own path in Windows form (C:\Setup\setup.exe); false when it
  // does not fit.
  virtual bool GetProgramPath(char* buffer, unsigned size) = 0;
  // True when the byte starts a double-byte character in the ANSI code page.
  virtual bool IsLeadByte(unsigned char byte) = 0;
  // As GetUserDefaultLangID.
  virtual unsigned short GetUserDefaultLangID() = 0;
};

}  // namespace setup
