// What a run changes on the machine, noted where it happens: decorators over
// the platform interfaces pass every call on and, when a mutating call
// succeeded, hand one line describing the change to a ChangeSink. The
// engine and the actions know nothing of it.
//
// A line is the kind of change, padded to a column, then the Windows-form
// name as the script gave it (ANSI bytes of the machine's code page):
//
//   folder created          C:\Program Files\Hanami
//   file added              C:\Program Files\Hanami\a.exe (12,345 bytes)
//   file replaced           C:\Windows\x.ini (100 bytes)
//   attributes set          C:\Windows\x.ini (read-only off)
//   registry key created    HKEY_LOCAL_MACHINE\Software\Hanami
//   registry set            HKEY_LOCAL_MACHINE\Software\Hanami  Version = "1.0"
//   registry value deleted  HKEY_CURRENT_USER\Software\Hanami  FirstRunDone
//   registry key deleted    HKEY_CURRENT_USER\Software\Hanami\Recent
//   registered              C:\Windows\System32\HanamiRT.dll
//   registered (simulated)  C:\Windows\System32\HanamiRT.dll
//
// The default value of a key is written @. Control bytes of names and data
// come out as \xNN, so a line is always one line.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/components.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/posix/components_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/machine.h"
#include "platform/registry.h"

namespace setup::posix {

// Receives each change as one line, without its line end.
class ChangeSink {
 public:
  virtual ~ChangeSink() = default;
  virtual void Changed(const std::string& line) = 0;
};

// One record line: kind padded to its column, then text.
std::string ChangeLine(const char* kind, const std::string& text);

// A file system that notes folders created, files added or replaced (by a
// copy or a committed replacement, with the size of the result) and
// attributes set.
class RecordingFileSystem : public FileSystem {
 public:
  // inner does the work; sizes are read through machine's mapping, or of a
  // copy from copies (inner itself, when it is the POSIX file system). All
  // outlive this.
  RecordingFileSystem(FileSystem& inner, Machine& machine, ChangeSink& sink,
                      const PosixFileSystem* copies = nullptr)
      : inner_(inner), machine_(machine), sink_(sink), copies_(copies) {}

  FileHandle OpenRead(const char* path) override { return inner_.OpenRead(path); }
  long Read(FileHandle file, void* buffer, unsigned long size) override {
    return inner_.Read(file, buffer, size);
  }
  bool Write(FileHandle file, const void* data, unsigned long size) override;
  void Close(FileHandle file) override;
  FileHandle CreateReplacement(const char* path) override;
  bool CommitReplacement(FileHandle file) override;
  void AbandonReplacement(FileHandle file) override;
  CreateFolderResult CreateFolder(const char* path) override;
  bool CopyFile(const char* source, const char* dest) override;
  bool GetStatus(const char* path, FileStatus* status) override {
    return inner_.GetStatus(path, status);
  }
  bool SetAttributes(const char* path, unsigned attributes) override;

 private:
  struct Replacement {
    std::string path;
    bool existed = false;
    unsigned long long written = 0;
  };
  // Whether path names an existing file or folder now.
  bool Exists(const char* path);
  void NoteFile(const std::string& path, bool existed, unsigned long long size);

  FileSystem& inner_;
  Machine& machine_;
  ChangeSink& sink_;
  const PosixFileSystem* copies_;
  std::map<FileHandle, Replacement> replacements_;
};

// A registry that notes keys created, values set and values and keys
// deleted, under the full key name (HKEY_LOCAL_MACHINE\Software\...).
class RecordingRegistry : public Registry {
 public:
  RecordingRegistry(Registry& inner, ChangeSink& sink) : inner_(inner), sink_(sink) {}

  RegKey Root(RootKey root) override;
  long OpenKey(RegKey parent, const char* name, unsigned access, RegKey* key) override;
  long CreateKey(RegKey parent, const char* name, unsigned access, RegKey* key) override;
  long QueryValue(RegKey key, const char* name, unsigned* type, void* data,
                  unsigned* size) override {
    return inner_.QueryValue(key, name, type, data, size);
  }
  long SetValue(RegKey key, const char* name, unsigned type, const void* data,
                unsigned size) override;
  long DeleteValue(RegKey key, const char* name) override;
  long DeleteKey(RegKey key, const char* subkey) override;
  void CloseKey(RegKey key) override;

 private:
  // The full name of key joined with name ("" is key itself).
  std::string NameOf(RegKey key, const char* name) const;

  Registry& inner_;
  ChangeSink& sink_;
  std::map<RegKey, std::string> names_;
  std::set<RegKey> roots_;
};

// Components that note a registration: a DllRegisterServer export that
// returned S_OK, or a program started with /regserver that has ended (what
// the program itself wrote is not seen; the line says it was registered).
// A registration that simulation (when given) says was simulated is noted
// as "registered (simulated)": nothing ran.
class RecordingComponents : public Components {
 public:
  RecordingComponents(Components& inner, ChangeSink& sink,
                      const MachineComponents* simulation = nullptr)
      : inner_(inner), sink_(sink), simulation_(simulation) {}

  ModuleHandle LoadModule(const char* path) override;
  bool CallExport(ModuleHandle module, const char* name, long* status) override;
  void FreeModule(ModuleHandle module) override;
  ProcessHandle StartProcess(const char* command_line, const char* folder) override;
  bool HasEnded(ProcessHandle process) override;
  void Sleep(unsigned milliseconds) override { inner_.Sleep(milliseconds); }
  void CloseProcess(ProcessHandle process) override;

 private:
  // The kind of a registration line for handle.
  const char* RegisteredKind(std::uintptr_t handle) const;

  Components& inner_;
  ChangeSink& sink_;
  const MachineComponents* simulation_;
  std::map<ModuleHandle, std::string> modules_;
  std::map<ProcessHandle, std::string> processes_;  // command lines, until noted
};

// The three decorators over one platform; platform() is the bundle to hand
// to the engine, the other interfaces passed on as they are.
class RecordingPlatform {
 public:
  // simulation: the machine's components under inner.components, copies:
  // the POSIX file system under inner.files, when they are (for
  // RecordingComponents and RecordingFileSystem).
  RecordingPlatform(const Platform& inner, Machine& machine, ChangeSink& sink,
                    const MachineComponents* simulation = nullptr,
                    const PosixFileSystem* copies = nullptr);
  const Platform& platform() const { return platform_; }

 private:
  RecordingFileSystem files_;
  RecordingRegistry registry_;
  RecordingComponents components_;
  Platform platform_;
};

}  // namespace setup::posix
