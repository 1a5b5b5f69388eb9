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
constexpr std::uint32_t kFileTimeTicksPerSecond = 10000000;

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

// True when path names nothing, or a file that fopen(path, "wb") could open.
bool CanReplace(const char* path) {
  DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
  }
  if (!CanWriteOver(attributes)) return false;
  // Opening for writing (without changing anything) finds a file that is
  // locked by another program or closed to this user.
  HANDLE probe =
      ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(probe);
  return true;
}

// Creates a new, empty temporary in folder (which ends in a separator, or is
// empty for the current folder) and returns its handle, its path in temp.
// The name is "~" and base-36 digits, no longer than the destination's own
// name (name_length) where one is free: any destination path that fits
// MAX_PATH then has a temporary that fits too, which GetTempFileNameA, with
// its 14 bytes of name, cannot promise.
HANDLE CreateTemporary(const char* folder, size_t name_length, char* temp) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  size_t folder_length = std::strlen(folder);
  size_t digits = (name_length < 9 ? name_length : 9) - 1;
  DWORD seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
  for (DWORD attempt = 0; attempt < 64; ++attempt) {
    // Only one name has no digits; the next attempts take a digit more.
    if (digits == 0 && attempt > 0) digits = 1;
    if (folder_length + 1 + digits >= MAX_PATH) return INVALID_HANDLE_VALUE;
    std::memcpy(temp, folder, folder_length + 1);  // the name follows the folder
    char* name = temp + folder_length;
    *name++ = '~';
    DWORD value = seed + attempt * 7919;
    for (size_t i = 0; i < digits; ++i, value /= 36) *name++ = kDigits[value % 36];
    *name = '\0';
    HANDLE handle =
        ::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return handle;
    DWORD error = ::GetLastError();
    // A name in use, by a file or a folder, is passed over; anything else
    // (a missing folder, a full disk) ends the search.
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      return INVALID_HANDLE_VALUE;
    }
  }
  return INVALID_HANDLE_VALUE;
}

// Writes the finished temporary's bytes over dest in place, as fopen(dest,
// "wb") would: for a destination another program holds open without delete
// sharing, which refuses the rename but not the write.
bool OverwriteInPlace(const char* temp, const char* dest) {
  HANDLE from = ::CreateFileA(temp, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (from == INVALID_HANDLE_VALUE) return false;
  HANDLE to = ::CreateFileA(dest, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = to != INVALID_HANDLE_VALUE;
  char buffer[4096];
  while (ok) {
    DWORD got = 0;
    if (!::ReadFile(from, buffer, sizeof buffer, &got, nullptr)) {
      ok = false;
    } else if (got == 0) {
      break;
    } else {
      DWORD written = 0;
      ok = ::WriteFile(to, buffer, got, &written, nullptr) && written == got;
    }
  }
  if (to != INVALID_HANDLE_VALUE && !::CloseHandle(to)) ok = false;
  ::CloseHandle(from);
  return ok;
}

// One copy, run by a thread of its own.
struct CopyJob {
  const char* source;
  const char* dest;
  BOOL copied;
};

DWORD WINAPI RunCopy(void* data) {
  CopyJob* job = static_cast<CopyJob*>(data);
  job->copied = ::CopyFileA(job->source, job->dest, FALSE);
  return 0;
}

class Win32FileSystem : public FileSystem {
 public:
  explicit Win32FileSystem(void (*while_copying)()) : while_copying_(while_copying) {}

  FileHandle OpenRead(const char* path) override {
    // The sharing of fopen(path, "r"): a file that another program holds
    // open for writing, a log say, is still read.
    HANDLE handle = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    // The temporary lies in the destination's own folder, so the commit is a
    // rename on one volume; a missing folder fails here.
    char temp[MAX_PATH];
    HANDLE handle = CreateTemporary(folder, std::strlen(name), temp);
    if (handle == INVALID_HANDLE_VALUE) return kNoFile;
    OpenFile* open = new OpenFile;
    open->handle = handle;
    std::strcpy(open->temp_path, temp);  // both fit: checked by SplitFolder
    std::strcpy(open->dest_path, path);
    return ToHandle(open);
  }

  bool CommitReplacement(FileHandle file) override {
    if (file == kNoFile) return false;
    OpenFile* open = FromHandle(file);
    bool ok = ::CloseHandle(open->handle) != FALSE;
    if (ok && !::MoveFileExA(open->temp_path, open->dest_path,
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      // Refused for sharing: the temporary is complete, so writing it over
      // the destination leaves nothing half done that fopen would not.
      DWORD error = ::GetLastError();
      ok = (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) &&
           OverwriteInPlace(open->temp_path, open->dest_path);
    }
    // Renamed away, or no longer needed.
    ::DeleteFileA(open->temp_path);
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
    if (!Copy(source, dest)) return false;
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
    std::uint64_t ticks = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
    // Whole seconds by long division a byte at a time: 32-bit divisions
    // only, so setup.exe links no 64-bit division routine (320 bytes).
    std::uint64_t seconds = 0;
    std::uint32_t rest = 0;
    for (int shift = 56; shift >= 0; shift -= 8) {
      std::uint32_t part = rest << 8 | static_cast<std::uint32_t>(ticks >> shift & 0xFF);
      seconds = seconds << 8 | part / kFileTimeTicksPerSecond;
      rest = part % kFileTimeTicksPerSecond;
    }
    status->last_write_time = static_cast<std::int64_t>(seconds) - kFileTimeTo1970;
    return true;
  }

  bool SetAttributes(const char* path, unsigned attributes) override {
    // The folder bit cannot be set, and no bits at all means a normal file.
    DWORD bits = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesA(path, bits) != FALSE;
  }

 private:
  // CopyFileA, on a thread of its own while the calling thread handles its
  // messages (the system's progress callback, which would serve as well,
  // is not called by every implementation of the API).
  bool Copy(const char* source, const char* dest) {
    if (while_copying_ == nullptr) return ::CopyFileA(source, dest, FALSE) != FALSE;
    CopyJob job{source, dest, FALSE};
    HANDLE thread = ::CreateThread(nullptr, 0, RunCopy, &job, 0, nullptr);
    if (thread == nullptr) return ::CopyFileA(source, dest, FALSE) != FALSE;
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
      while_copying_();
    }
    // Also when the wait failed: the job lives on this stack.
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    return job.copied != FALSE;
  }

  void (*while_copying_)();
};

}  // namespace

bool CanWriteOver(unsigned long attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                        FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::unique_ptr<FileSystem> NewFileSystem(void (*while_copying)()) {
  return std::make_unique<Win32FileSystem>(while_copying);
}

}  // namespace setup::win32
