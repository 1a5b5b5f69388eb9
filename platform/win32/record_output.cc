// setup.exe's install record: one file, written line by line.
#include <windows.h>

#include <cstdio>

#include "platform/win32/record_output_win32.h"

namespace setup::win32 {

bool LogFile::Open(const char*, RecordStart* start) {
  HANDLE file = CreateFileA(path_, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = file;
  SYSTEMTIME now;
  GetSystemTime(&now);
  std::snprintf(start->started, sizeof start->started, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear,
                now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  std::snprintf(start->machine, sizeof start->machine, "code page %u", GetACP());
  return true;
}

bool LogFile::Write(const char* text, std::size_t length) {
  DWORD written = 0;
  return WriteFile(file_, text, static_cast<DWORD>(length), &written, nullptr) != 0 &&
         written == length;
}

bool LogFile::Close(bool whole) {
  bool closed = CloseHandle(file_) != 0;
  return whole ? closed : DeleteFileA(path_) != 0;
}

}  // namespace setup::win32
