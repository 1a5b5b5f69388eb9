// What a run changes on the machine, noted where it happens: decorators over
// the platform interfaces pass every call on and, when a mutating call
// succeeded, hand one line describing the change to a ChangeSink. The
// engine and the actions know nothing of it. Both programs use them, so they
// hold no OS header and no allocating container: the handles in use sit in
// small fixed tables.
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
//   registry set            HKEY_LOCAL_MACHINE\Software\Hanami  Version = "1.1" (was "1.0")
//   registry value deleted  HKEY_CURRENT_USER\Software\Hanami  FirstRunDone (was dword:00000001)
//   registry key deleted    HKEY_CURRENT_USER\Software\Hanami\Recent
//   registered              C:\Windows\System32\HanamiRT.dll
//   registered (simulated)  C:\Windows\System32\HanamiRT.dll
//   program run             "C:\Hanami\tool.exe" /init
//
// A replaced value or a deleted one is noted with the data it had, for the
// change to be reversed. The default value of a key is written @. Control
// bytes of names and data come out as \xNN, so a line is always one line; a
// line longer than kChangeLineSize - 1 bytes is cut and ends in "...".
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/components.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/record_output.h"
#include "platform/registry.h"

namespace setup {

inline constexpr int kChangeLineSize = 4096;
inline constexpr int kChangeNameSize = 600;  // a path, a key's full name, a command line

// Receives each change as one line, without its line end.
class ChangeSink {
 public:
  virtual void Changed(const char* line) = 0;

 protected:
  ~ChangeSink() = default;
};

// A line being built in a fixed buffer; what does not fit is cut, with
// "..." at the end.
class LineText {
 public:
  LineText() { text_[0] = '\0'; }

  LineText& Add(const char* text);
  LineText& Add(const char* text, std::size_t length);
  // text with control bytes as \xNN.
  LineText& Defused(const char* text);
  LineText& Defused(const char* text, std::size_t length);
  // 12345 as "12,345".
  LineText& Thousands(unsigned long long n);
  // Blanks up to column, at least two.
  LineText& PadTo(std::size_t column);
  const char* c_str() const { return text_; }
  std::size_t size() const { return length_; }

 private:
  std::size_t length_ = 0;
  char text_[kChangeLineSize];  // NOLINT(*-member-init): read up to length_ only
};

// The start of a record line: kind padded to its column.
void StartChangeLine(LineText* line, const char* kind);

// A file system that notes folders created, files added or replaced (by a
// copy or a committed replacement, with the size of the result) and
// attributes set.
class RecordingFileSystem : public FileSystem {
 public:
  // inner does the work; facts (if any) tell about copies. Both outlive this.
  RecordingFileSystem(FileSystem& inner, ChangeSink& sink, CopyFacts* facts = nullptr)
      : inner_(inner), sink_(sink), facts_(facts) {}

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
    FileHandle file = kNoFile;  // kNoFile: a free slot
    bool existed = false;
    unsigned long long written = 0;
    char path[kChangeNameSize];
  };
  bool Exists(const char* path);
  Replacement* Find(FileHandle file);
  void NoteFile(const char* path, bool existed, bool sized, unsigned long long size);

  FileSystem& inner_;
  ChangeSink& sink_;
  CopyFacts* facts_;
  Replacement replacements_[4];
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
  struct Name {
    RegKey key = 0;
    bool used = false;
    char text[kChangeNameSize];
  };
  static constexpr int kRoots = 5;
  // The full name of key joined with name ("" or null: key itself).
  void AddName(LineText* line, RegKey key, const char* name) const;
  // Remembers key under the name of parent joined with name.
  void Remember(RegKey key, RegKey parent, const char* name);
  // " (was <data>)" when the value name of key has data now.
  void AddFormer(LineText* line, RegKey key, const char* name);

  Registry& inner_;
  ChangeSink& sink_;
  RegKey roots_[kRoots] = {};
  bool root_known_[kRoots] = {};
  Name names_[16];
};

// Components that note a registration: a DllRegisterServer export that
// returned S_OK, or a program started with /regserver that has ended (what
// the program itself wrote is not seen; the line says it was registered).
// A registration that simulation (when given) says was simulated is noted
// as "registered (simulated)": nothing ran.
class RecordingComponents : public Components {
 public:
  RecordingComponents(Components& inner, ChangeSink& sink,
                      const SimulationFacts* simulation = nullptr)
      : inner_(inner), sink_(sink), simulation_(simulation) {}

  ModuleHandle LoadModule(const char* path) override;
  bool CallExport(ModuleHandle module, const char* name, long* status) override;
  void FreeModule(ModuleHandle module) override;
  ProcessHandle StartProcess(const char* command_line, const char* folder) override;
  bool HasEnded(ProcessHandle process) override;
  void Sleep(unsigned milliseconds) override { inner_.Sleep(milliseconds); }
  void CloseProcess(ProcessHandle process) override;

 private:
  struct Started {
    std::uintptr_t handle = 0;  // 0: a free slot
    char text[kChangeNameSize];
  };
  static constexpr int kSlots = 4;  // modules or processes started at once
  static Started* Find(Started* table, std::uintptr_t handle);
  static void Keep(Started* table, std::uintptr_t handle, const char* text);
  // A line "registered" (or "registered (simulated)") or "program run".
  void Note(std::uintptr_t handle, bool registration, const char* text, std::size_t length);

  Components& inner_;
  ChangeSink& sink_;
  const SimulationFacts* simulation_;
  Started modules_[kSlots];
  Started processes_[kSlots];  // command lines, until noted
};

// The three decorators over one platform; platform() is the bundle to hand
// to the engine, the other interfaces passed on as they are.
class RecordingPlatform {
 public:
  RecordingPlatform(const Platform& inner, ChangeSink& sink, CopyFacts* copies = nullptr,
                    const SimulationFacts* simulation = nullptr);
  const Platform& platform() const { return platform_; }

 private:
  RecordingFileSystem files_;
  RecordingRegistry registry_;
  RecordingComponents components_;
  Platform platform_;
};

}  // namespace setup
