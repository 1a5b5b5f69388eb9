// Checking a medium without installing anything: Setup.Inf is loaded with
// the real loader and pre-scan, then every line is read the way the
// interpreter would read it, through the engine's command table, and
// whatever would stop or mislead a run is reported in compiler form. No
// command is executed: the only file operations are reads of the medium.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/script_engine.h"

namespace setup {

// A note informs and never changes the status: --werror leaves it a note
// and it is not counted.
enum class Severity { kNote, kWarning, kError };

// Where the diagnostics go, in the order they are found.
class CheckReport {
 public:
  virtual ~CheckReport() = default;
  // file: nullptr for the script, else the Windows-form path of a medium
  // file as the script names it (a text copied by TextCopy). line: 1-based;
  // 0 for the file as a whole. script_line: the script line it concerns
  // (for a copied text, the line that copies it), so that a front end can
  // put them in order; the Goto targets come last, being known only then.
  // text: Shift-JIS bytes, no line end.
  virtual void Diagnostic(const char* file, int line, int script_line, Severity severity,
                          const char* text) = 0;
};

struct CheckOptions {
  // The value of $$FD$$ and the folder of Setup.Inf, Windows form, without a
  // final backslash. The medium file system answers for paths below it.
  const char* medium_folder = "D:";
  bool japanese = false;  // the language of the diagnostics
  bool werror = false;    // warnings are reported, and counted, as errors
  // Whether the medium file at a Windows-form path is a component Regsvr can
  // register (it reads the file's headers, which is the platform's to do);
  // empty: Regsvr targets are not judged.
  std::function<bool(const char* path)> is_component;
};

struct CheckCounts {
  int errors = 0;
  int warnings = 0;
};

// One check of one medium. Big (it holds an engine record): make it on the
// heap. Run may be called once.
class Checker {
 public:
  // medium: read-only use (OpenRead, Read, Close, GetStatus) of paths below
  // options.medium_folder. Both must outlive the checker.
  Checker(FileSystem& medium, const CheckOptions& options, CheckReport& report);
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;

  CheckCounts Run();

  // The file operations the engine gets: reads go to the medium, a text
  // copy's destination is a sink that takes every byte, nothing else works.
  class Files : public FileSystem {
   public:
    explicit Files(FileSystem& medium) : medium_(medium) {}
    FileHandle OpenRead(const char* path) override { return medium_.OpenRead(path); }
    long Read(FileHandle file, void* buffer, unsigned long size) override;
    bool Write(FileHandle file, const void*, unsigned long) override { return file == kSink; }
    void Close(FileHandle file) override;
    FileHandle CreateReplacement(const char*) override { return kSink; }
    bool CommitReplacement(FileHandle file) override { return file == kSink; }
    void AbandonReplacement(FileHandle) override {}
    CreateFolderResult CreateFolder(const char*) override { return CreateFolderResult::kFailed; }
    bool CopyFile(const char*, const char*) override { return false; }
    bool GetStatus(const char* path, FileStatus* status) override {
      return medium_.GetStatus(path, status);
    }
    bool SetAttributes(const char*, unsigned) override { return false; }

   private:
    static constexpr FileHandle kSink = ~static_cast<FileHandle>(0);
    FileSystem& medium_;
  };

  // What the engine would have shown: kept, so that a failure of the loader
  // or of the text copier becomes a diagnostic.
  class Ui : public SetupUi {
   public:
    void RunSetupDialog(const char*, const char*) override {}
    void SetProgressRange(int) override {}
    void SetProgressPos(int) override {}
    void ShowError(const char* text) override;
    void ShowTopmostError(const char* text) override { ShowError(text); }
    void ShowInformation(const char*) override {}
    bool AskScriptMessage(const char*) override { return true; }
    bool PromptDisk(const char*) override { return false; }
    void ShowCompleted() override {}

    char last_error[kTextSize] = "";
    int error_count = 0;
  };

  // The machine the loader asks: a Japanese Windows with its usual folders.
  class System : public SystemInfo {
   public:
    explicit System(const char* medium_folder) : medium_folder_(medium_folder) {}
    unsigned GetWindowsDirectory(char* buffer, unsigned size) override;
    unsigned GetSystemDirectory(char* buffer, unsigned size) override;
    bool GetProgramPath(char* buffer, unsigned size) override;
    bool IsLeadByte(unsigned char byte) override;
    unsigned short GetUserDefaultLangID() override { return 0x0411; }

   private:
    const char* medium_folder_;
  };

  // A registry that holds nothing: the Registry form of SetupDir takes its
  // default folder.
  class EmptyRegistry : public Registry {
   public:
    RegKey Root(RootKey) override { return 1; }
    long OpenKey(RegKey, const char*, unsigned, RegKey*) override { return kErrorFileNotFound; }
    long CreateKey(RegKey, const char*, unsigned, RegKey*) override { return kErrorFileNotFound; }
    long QueryValue(RegKey, const char*, unsigned*, void*, unsigned*) override {
      return kErrorFileNotFound;
    }
    long SetValue(RegKey, const char*, unsigned, const void*, unsigned) override {
      return kErrorFileNotFound;
    }
    long DeleteValue(RegKey, const char*) override { return kErrorFileNotFound; }
    long DeleteKey(RegKey, const char*) override { return kErrorFileNotFound; }
    void CloseKey(RegKey) override {}
  };

 private:
  struct Label {
    std::string name;
    int first_line;
    int last_line;
  };
  struct Goto {
    int line;
    std::string label;
  };
  struct DefineLine {
    int line;
    std::string name;  // as the #define line writes it
    int begin;         // where the name is, from the line's first byte that is no blank
    int end;
  };
  struct Split {
    int line;   // a line of the file that the loader stores as several
    int extra;  // how many more than one
  };

  // Reporting. A diagnostic of a script line that an ignore comment
  // silences (see IsIgnoreComment in checker.cc) is dropped.
  void Say(const char* file, int line, Severity severity, int message, ...);
  // The encoding of the script's bytes (encoding.cc); false when it cannot
  // be opened.
  bool CheckEncoding();
  // The whole walk.
  void CollectDefines();
  void CheckLine(int number, const char* stored);
  void CheckMacroUses(const char* raw, CommandCode code);
  // A line whose arguments read with the check's setup folders (expanded)
  // but not with folders without blanks (long_line): the run stops there
  // for a user who chooses such a folder.
  void CheckFolderWithoutBlank(const char* expanded, const char* long_line);
  // One use of macro token at line of file (nullptr: the script): said when
  // the macro is not defined at the line being checked.
  void CheckMacroName(const char* file, int line, const char* token);
  // One command (a line, or a tail); text is expanded and may be cut. raw is
  // the line as written when text is the whole line (a #define names its
  // macro as written), else nullptr.
  void CheckCommand(char* text, int depth, const char* raw = nullptr);
  // Says why argument index of a decoded command could not be read, if it
  // is the one that failed; false then.
  bool ArgRead(CommandCode code, const Arguments& args, int index);
  void CheckDefine(char* text, const char* raw);
  void CheckIf(CommandCode code, const Arguments& args, int depth);
  // Text behind a command's last argument (args.end): ignored by the run,
  // or read as a value the author did not mean.
  void CheckTrailingText(CommandCode code, const Arguments& args);
  // A comment of another language's style read as an argument; true when
  // said.
  bool CheckCommentAsArgument(CommandCode code, const Arguments& args);
  void CheckTextCopy(CommandCode code, const char* source, const char* destination);
  // True when path is a file on the medium; else says message, if below it.
  bool CheckMediumFile(const char* path, Severity severity, int message);
  void CheckRegistryPath(const char* path);
  void CheckSetupDir(CommandCode code, const char* raw);
  void RunCopier(const char* source, LanguageMode selection, bool* failed, int* line, int* kind);
  // The bytes and macros of a copied text (text_files.cc), at its own lines.
  void CheckTextFile(const char* source);
  // Labels and Goto lines (labels.cc): each Goto is looked for once the
  // whole script is known.
  void AddLabel(const char* name);
  void AddGoto(const char* name);
  void CheckGotos();
  bool OnMedium(const char* path) const;
  // True the first time the 255-byte folder risk is to be noted.
  bool FirstLongFolder();
  // A medium file that is not found, behind a DiskCheck: true when it is
  // accounted for (found in the disk's folder, or said as a note).
  bool OnOtherDisk(const char* path);
  // A line of bytes (its line end included) as the loader stores it
  // (encoding.cc).
  void NoteSplit(int line, int bytes);
  // The line of the file that a stored line comes from.
  int PhysicalLine(int stored) const;
  // A macro table's index, which takes only the entries the table gains:
  // during the walk a #define of a known name changes only its value, which
  // the index does not hold.
  struct IndexedMacros {
    MacroIndex index;
    int count = -1;  // the table's count when indexed; -1: never
  };
  // ExpandMacros over table with its index.
  static bool Expand(const MacroTable& table, IndexedMacros* indexed, const char* source,
                     char* dest, unsigned size);

  CheckOptions options_;
  CheckReport& report_;
  FileSystem& medium_;
  Files files_;
  Ui ui_;
  System system_;
  EmptyRegistry registry_;
  Platform platform_;
  ScriptEngine engine_;
  MacroTable long_macros_;           // the same macros with 255-byte setup folders
  IndexedMacros macros_index_;       // of engine_.macros, from the walk on
  IndexedMacros long_macros_index_;  // of long_macros_
  CheckCounts counts_;
  int line_ = 0;  // the script line being checked

  std::vector<Label> labels_;                            // in the order of their lines
  std::unordered_map<std::string, size_t> label_index_;  // name -> labels_
  std::vector<Goto> gotos_;
  std::vector<DefineLine> defines_;
  size_t next_define_ = 0;  // the walk's place in defines_ (CheckMacroUses)
  // The lines that define each name, in order, so that a use looks up its
  // name instead of walking every #define line; and the first kMaxMacros
  // names in the order of their first lines, the names a suggestion may
  // offer: the table holds no more, so a later name is never defined.
  std::unordered_map<std::string, std::vector<int>> define_lines_;
  std::vector<const char*> define_names_;
  std::string looked_up_;  // a token as a key, its room kept from use to use
  std::set<std::pair<std::string, LanguageMode>> copies_;  // the text copies checked
  std::vector<Split> splits_;
  bool physical_lines_ = true;     // Say's lines are lines of the file
  bool long_folder_said_ = false;  // the 255-byte folder risk is noted once
  // The last DiskCheck above this line: its stored line (0: none) and the
  // medium's folder that holds that disk's files (empty: none exists).
  int disk_line_ = 0;
  std::string disk_folder_;
  // Stored lines below an ignore comment, and the one check it silences
  // there (nullptr: all of them).
  std::map<int, const char*> ignored_;
  std::set<std::string> texts_checked_;  // the copied texts whose bytes were looked at
  int text_diagnostics_ = 0;             // diagnostics said at a line of a copied text
};

}  // namespace setup
