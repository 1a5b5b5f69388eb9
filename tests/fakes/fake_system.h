// A SystemInfo with settable folders, code page and language.
#pragma once

#include <cstring>
#include <string>

#include "platform/shift_jis.h"
#include "platform/system_info.h"

namespace setup::testing {

class FakeSystem : public SystemInfo {
 public:
  std::string windows_dir = "C:\\WINDOWS";
  std::string system_dir = "C:\\WINDOWS\\system32";
  std::string program_path = "D:\\SETUP.EXE";
  bool japanese = true;  // code page 932 lead bytes when set, else single-byte
  unsigned short lang_id = 0x0411;

  unsigned GetWindowsDirectory(char* buffer, unsigned size) override {
    return Copy(windows_dir, buffer, size);
  }
  unsigned GetSystemDirectory(char* buffer, unsigned size) override {
    return Copy(system_dir, buffer, size);
  }
  bool GetProgramPath(char* buffer, unsigned size) override {
    return Copy(program_path, buffer, size) < size;
  }
  bool IsLeadByte(unsigned char b) override { return japanese && IsShiftJisLeadByte(b); }
  unsigned short GetUserDefaultLangID() override { return lang_id; }

 private:
  static unsigned Copy(const std::string& text, char* buffer, unsigned size) {
    if (text.size() >= size) return static_cast<unsigned>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<unsigned>(text.size());
  }
};

}  // namespace setup::testing
