// FileSystem over the ANSI file calls of the Windows API.
#include "platform/win32/file_system_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// The interface uses the plain name that <windows.h> turns into a macro.
#undef CopyFile

#include <cstdint>
#include <cstring>

namespace setup::win32 {
namespace {

// Seconds between 1601-01-01 (FILETIME's origin) and 1970-01-01.
constexpr std::int64_t kFileTimeTo1970 = 11644473600LL;
constexpr std::int64_t kFileTimeTicksPerSecond = 10000000LL;

// What a FileHandle stands for. A replacement also knows its temporary file
// and the file it is to replace.
struct OpenFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  char temp_path[MAX_PATH] = "";  // empty for a file opened for reading
  char dest_path[MAX_PATH] = "";
};

OpenFile* FromHandle(FileHandle file) { return reinterpret_cast<OpenFile*>(file); }

FileHandle ToHandle(OpenFile* open) { return reinterpret_cast<FileHandle>(open); }

// Splits path into its folder part (up to and including the last separator)
// and the name behind it, without taking the second byte of a double-byte
// character for a backslash. folder holds MAX_PATH bytes; false when the
// path does not fit it.
bool SplitFolder(const char* path, char* folder, const char** name) {
  size_t name_start = 0;
  size_t i = 0;
  while (path[i] != '\0') {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (::IsDBCSLeadByte(c) && path[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/' || (c == ':' && i == 1)) name_start = i + 1;
    ++i;
  }
  if (i >= MAX_PATH) return false;
  std::memcpy(folder, path, name_start);
  folder[name_start] = '\0';
  *name = path + name_start;
  return true;
}

// True when path names nothing, or an ordinary file that may be written.
bool CanReplace(const char* path) {
  DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  // Opening for writing (without changing anything) finds a file that is
  // locked by another program or closed to this user.
  HANDLE probe =
      ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(probe);
  return true;
}

class Win32FileSystem : public FileSystem {
 public:
  FileHandle OpenRead(const char* path) override {
    HANDLE handle = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kNoFile;
    OpenFile* open = new OpenFile;
    open->handle = handle;
    return ToHandle(open);
  }

  long Read(FileHandle file, void* buffer, unsigned long size) override {
    if (file == kNoFile) return -1;
    DWORD count = 0;
    if (!::ReadFile(FromHandle(file)->handle, buffer, size, &count, nullptr)) return -1;
    return static_cast<long>(count);
  }

  bool Write(FileHandle file, const void* data, unsigned long size) override {
    if (file == kNoFile) return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      DWORD written = 0;
      if (!::WriteFile(FromHandle(file)->handle, bytes, size, &written, nullptr) || written == 0) {
        return false;
      }
      bytes += written;
      size -= written;
    }
    return true;
  }

  void Close(FileHandle file) override {
    if (file == kNoFile) return;
    // A replacement closed without a commit must not leave its temporary.
    if (FromHandle(file)->temp_path[0] != '\0') {
      AbandonReplacement(file);
      return;
    }
    ::CloseHandle(FromHandle(file)->handle);
    delete FromHandle(file);
  }

  FileHandle CreateReplacement(const char* path) override {
    char folder[MAX_PATH];
    const char* name = nullptr;
    if (!SplitFolder(path, folder, &name)) return kNoFile;
    if (name[0] == '\0' || !CanReplace(path)) return kNoFile;
    if (folder[0] == '\0') std::strcpy(folder, ".");
    // GetTempFileNameA creates the file with a fresh name in the destination's
    // own folder, so the commit is a rename on one volume; a missing folder
    // fails here.
    char temp[MAX_PATH];
    if (::GetTempFileNameA(folder, "stp", 0, temp) == 0) return kNoFile;
    HANDLE handle = ::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      ::DeleteFileA(temp);
      return kNoFile;
    }
    OpenFile* open = new OpenFile;
    open->handle = handle;
    std::strcpy(open->temp_path, temp);  // both fit: checked by SplitFolder
    std::strcpy(open->dest_path, path);
    return ToHandle(open);
  }

  bool CommitReplacement(FileHandle file) override {
    if (file == kNoFile) return false;
    OpenFile* open = FromHandle(file);
    bool ok = ::CloseHandle(open->handle) != FALSE &&
              ::MoveFileExA(open->temp_path, open->dest_path,
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) ::DeleteFileA(open->temp_path);
    delete open;
    return ok;
  }

  void AbandonReplacement(FileHandle file) override {
    if (file == kNoFile) return;
    OpenFile* open = FromHandle(file);
    ::CloseHandle(open->handle);
    ::DeleteFileA(open->temp_path);
    delete open;
  }

  CreateFolderResult CreateFolder(const char* path) override {
    if (::CreateDirectoryA(path, nullptr)) return CreateFolderResult::kCreated;
    return ::GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::kAlreadyExists
                                                    : CreateFolderResult::kFailed;
  }

  bool CopyFile(const char* source, const char* dest) override {
    if (!::CopyFileA(source, dest, FALSE)) return false;
    // The copy carries the source's attributes. Windows does this itself;
    // Wine drops them when it overwrites a file, so they are set again where
    // they differ.
    DWORD wanted = ::GetFileAttributesA(source);
    DWORD got = ::GetFileAttributesA(dest);
    if (wanted != INVALID_FILE_ATTRIBUTES && got != INVALID_FILE_ATTRIBUTES && wanted != got) {
      ::SetFileAttributesA(dest, wanted);
    }
    return true;
  }

  bool GetStatus(const char* path, FileStatus* status) override {
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    ::FindClose(find);
    // The attribute byte, as the framework's file status keeps it.
    status->attributes = data.dwFileAttributes & 0xFF;
    std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    status->last_write_time = ticks / kFileTimeTicksPerSecond - kFileTimeTo1970;
    return true;
  }

  bool SetAttributes(const char* path, unsigned attributes) override {
    // The folder bit cannot be set, and no bits at all means a normal file.
    DWORD bits = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesA(path, bits) != FALSE;
  }
};

}  // namespace

std::unique_ptr<FileSystem> NewFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace setup::win32
