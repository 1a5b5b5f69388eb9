// The simulated Windows machine of the POSIX stand-ins: a folder that holds
// drive C: (drive_c) and the registry (registry.reg). Windows-form paths map
// onto the host: C:\x -> <machine>/drive_c/x, Z:\x -> /x, rooted paths
// (\x) on C:, relative paths against the medium; a component missing
// with its exact case is found case-insensitively, as Windows would. The
// machine is a sandbox: writes land inside the machine folder, reads reach it
// and the medium folder, unless host access is granted.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/code_page.h"

namespace setup::posix {

// The machine folder used when none is chosen: $XDG_DATA_HOME/setup-machine
// (or ~/.local/share/setup-machine).
std::string DefaultMachineRoot();

// Splits a Windows-form path into the text before its last separator and the
// last component, stepping over double-byte characters of code_page:
// "C:\a\b*" -> "C:\a", "b*"; "C:\b" -> "C:\", "b"; "\b" -> "\", "b";
// "b" -> "", "b"; "C:b" -> "C:", "b".
void SplitLastComponent(unsigned code_page, std::string_view windows_path, std::string* folder,
                        std::string* name);

// One simulated machine: its folder, its ANSI code page and what the
// case-insensitive lookup knows of the folders it read. The program makes one
// and hands it to every back end that maps paths or reads the code page.
class Machine {
 public:
  // code_page: the ANSI code page of the machine's texts and names.
  explicit Machine(unsigned code_page);
  // The code page of the LC_CTYPE locale.
  Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Selects the machine folder and creates what every Windows has when
  // missing: drive_c with Program Files, Program Files/Common Files,
  // Windows, Windows/System32 and Windows/Fonts. False (with errno) on
  // failure; ELOOP when one of those is a symbolic link.
  bool SetRoot(const std::string& folder);
  // The machine folder in use; DefaultMachineRoot(), created at first use,
  // unless SetRoot chose one.
  const std::string& root();
  // Instead of SetRoot, for a reader of the medium alone (the medium check):
  // the machine folder is a path that cannot exist, below a device, so no
  // machine folder is made or used, drive C: holds nothing and no write is
  // allowed anywhere; reads reach the medium only.
  void UseNoFolder() {
    root_ = real_root_ = "/dev/null/machine";
    resolved_.clear();
    stamps_.clear();
  }

  // Takes host_folder (absolute or relative to the process's current folder)
  // as the medium: readable, never writable, and the current folder of the
  // programs on the machine, as for a setup.exe started from its medium.
  // A medium whose path holds a name the code page cannot spell
  // (Téléchargements on code page 932) is drive D:, its root the medium.
  // False (with errno) when it is not an existing folder.
  bool SetMedium(const std::string& host_folder);
  // The medium folder, absolute; empty until SetMedium.
  const std::string& medium() const { return medium_; }

  // With host access, Z: is the whole host, readable and writable, relative
  // paths follow the process's current folder and links lead anywhere.
  // Without it (the default), the checks of MapFor apply.
  void set_host_access(bool on) { host_access_ = on; }
  bool host_access() const { return host_access_; }

  unsigned code_page() const { return code_page_; }
  void set_code_page(unsigned code_page) { code_page_ = code_page; }
  // The code page belongs to the machine, not to the run: the first run
  // records it in the machine folder (the file code_page, one decimal line),
  // every later one takes it from there whatever the locale. Records
  // requested, or the code page in use when requested is 0, on a machine
  // that has none yet; then uses the record. False with *error set when the
  // record cannot be read or written, or when it names a code page other
  // than a non-zero requested (*refused set then: the machine is not
  // converted).
  bool UseRecordedCodePage(unsigned requested, std::string* error, bool* refused);
  // True when byte starts a double-byte character in the code page.
  bool IsLeadByte(unsigned char byte) const { return IsLeadByteOf(code_page_, byte); }

  // Maps a Windows-form path (ANSI bytes of the code page) to a host path in
  // UTF-8. Separators are \ and /, never the second byte of a double-byte
  // character; "." and ".." are resolved by name and never leave the drive;
  // relative paths start at the medium (with host access: at the process's
  // current folder) and fail when there is none;
  // trailing dots and spaces of a component are dropped as Windows does.
  // False for a drive other than C: and Z:, a UNC path, or a component
  // holding a character Windows does not allow in names (< > : " | * ? and
  // controls).
  bool ToHostPath(const char* windows_path, std::string* host_path);
  // What a mapped path is used for.
  enum class Access { kRead, kWrite };
  // ToHostPath, then a check of where the host path leads once its links are
  // followed: a write must stay inside the machine folder, a read inside the
  // machine folder or the medium. False (errno EACCES) when it leads
  // elsewhere, or when that cannot be told (a loop of links, say).
  bool MapFor(Access access, const char* windows_path, std::string* host_path);
  // What the mapping saw of the path's last component, so that a caller
  // need not look again: whether it exists and, when it does, its lstat.
  struct LastEntry {
    bool known = false;  // the lookup told whether it exists
    bool exists = false;
    struct stat status = {};
  };
  // MapFor, also filling *last.
  bool MapFor(Access access, const char* windows_path, std::string* host_path, LastEntry* last);
  // A mapped entry with its folder open: the checks of MapFor passed and the
  // folder reached from its place without a link, so that the operations on
  // the entry can go relative to it (openat, fstatat, renameat) instead of
  // resolving the path again. Held only within one operation: a descriptor
  // kept longer would follow its folder wherever it was moved meanwhile.
  struct Place {
    int folder = -1;                 // the entry's folder (O_PATH), or -1: use host
    struct stat folder_status = {};  // the folder's status when opened
    std::string host;                // the entry's host path
    std::string name;                // its name in the folder, as found there
    std::string physical;            // where it leads; "" when that needs a look
    LastEntry last;
    int opened = -1;  // with open_flags: the entry opened, -1 when it was not
  };
  // MapFor with the folder opened; the caller closes place->folder and
  // place->opened (CloseFolder). Where no folder can be had (a drive root, a
  // kernel without openat2) folder is -1 and host serves as with MapFor.
  // open_flags >= 0: the entry is opened with them and O_NOFOLLOW instead of
  // being looked at, when the folder is open; last.status is then the opened
  // entry's. An entry that is a link is looked at, not opened.
  bool Locate(Access access, const char* windows_path, Place* place, int open_flags = -1);
  // Whether a place Locate found for one access allows another.
  bool Allows(Access access, const Place& place);
  static void CloseFolder(Place* place);
  // The check of MapFor on a host path that has no "." or ".." components.
  bool Allows(Access access, const std::string& host_path);

  // Maps a host path (relative ones against the current folder) to Windows
  // form: C:\... inside drive_c, else Z:\...; a drive root ends in \.
  std::string ToWindowsPath(const std::string& host_path);

  // The case-insensitive lookup of ToHostPath remembers what it read of each
  // folder until the folder changes, and ToHostPath and MapFor remember
  // where each folder of a path led (the host folder, its links followed)
  // until that folder changes or another takes its place, so that a path in
  // a known folder costs a stat of the folder and an lstat of its last
  // component. A change this process makes itself is
  // bracketed by these two calls, with the host path of the entry it creates,
  // renames, makes or removes: when the folder had not changed otherwise
  // before it, the lookup's knowledge follows (added: a new entry's host
  // path, or "" for a temporary or a removal, which names never resolve to)
  // instead of the folder being read again. A change from elsewhere always
  // makes the next lookup read the folder again, up to the clock's
  // resolution for the folder's change time.
  struct FolderChange {
    std::string folder;
    bool known = false;    // the listing was up to date
    bool stamped = false;  // the folder's stamp was up to date
  };
  FolderChange BeginFolderChange(const std::string& host_path) const;
  void EndFolderChange(const FolderChange& change, const std::string& added);
  // The same for a change made relative to place's open folder: the
  // folder's status at Locate is the one before, and the one after is taken
  // from the descriptor.
  FolderChange BeginFolderChange(const Place& place) const;
  void EndFolderChange(const FolderChange& change, const std::string& added, int folder_fd);

 private:
  // What the lookup knows of one folder: for each name folded with tolower
  // (as strcasecmp folds), the first such entry in byte order, as of the
  // folder's change time when it was read.
  struct FolderListing {
    dev_t device = 0;
    ino_t inode = 0;
    struct timespec changed = {};
    std::unordered_map<std::string, std::string> first;
  };

  // What the mapping knows of a folder it resolved, under the folded form of
  // the path that named it (drive root, then the host form of each
  // component): the spelling (unfolded) that named it, the host folder it led
  // to and that folder with its links followed. It serves a later path only
  // of the same spelling (where host entries differ only in case the
  // spelling decides) and only while the folder's stamp holds.
  struct ResolvedFolder {
    std::string spelling;
    std::string host;
    std::string physical;
  };
  // The folder a resolution led to, as of the time it was made or as this
  // process's own changes (BeginFolderChange/EndFolderChange) left it: any
  // other change of its entries, its mode or its own place changes the
  // change time (up to the clock's resolution); another folder in its place
  // (an ancestor renamed, replaced or linked elsewhere) has another inode.
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    struct timespec changed = {};
  };
  // What a mapping found for the last component of a path.
  enum class Entry { kExists, kMissing, kUnknown };
  struct Mapping {
    bool want_folder = false;  // keep the folder open in folder_fd
    int open_flags = -1;       // open the last component with these (see Locate)
    int folder_fd = -1;
    int opened = -1;
    struct stat folder_stat = {};
    bool cached = false;   // the folder came from (or went to) resolved_
    std::string physical;  // the folder's physical path when cached
    Entry last = Entry::kUnknown;
    bool link = false;           // the last component is a symbolic link
    struct stat last_stat = {};  // its lstat when last is kExists
    // Where in the host path the first component found missing starts (its
    // '/'): nothing below it exists either. npos when none was.
    size_t missing_at = std::string::npos;
  };

  // ToHostPath, telling mapping what it found on the way. The host path is
  // left in host_ (and copied to *host_path unless that is nullptr).
  bool Map(const char* windows_path, std::string* host_path, Mapping* mapping);
  // Resolves the folder of the first count components of spelling_ into
  // host_, through resolved_ when its stamp holds; root_size: the length of
  // the drive's root folder in spelling_. *folder_stat gets the folder's
  // status when mapping->cached.
  void ResolveFolder(size_t root_size, size_t count, Mapping* mapping, struct stat* folder_stat);
  // Appends a component to spelling_, or drops the last for "..".
  void AppendPart(std::string_view name);
  // A component's host form: ansi itself when it is ASCII or does not
  // convert, else its UTF-8 in converted_.
  std::string_view HostName(std::string_view ansi);
  // The verdict of Allows on a path with its links already followed.
  bool Permits(Access access, const std::string& physical);
  static bool SameStamp(const Stamp& stamp, const struct stat& st);
  const std::string& DriveC();
  // The folder's listing, read again when the folder changed since; nullptr
  // when it cannot be read.
  // known: the folder's status when the caller has it already.
  const FolderListing* Listing(const std::string& folder, const struct stat* known = nullptr);
  // Appends one component to host, taking an existing entry that differs
  // only in the case of its (ASCII) letters when the exact name does not
  // exist; of several such entries the first in byte order, so the choice
  // is stable.
  // What it found goes to *entry (and the entry's status to *st when it
  // exists); folder_stat: the folder's status when known.
  // With mapping, the component is looked at (or opened) relative to its
  // open folder. *absent (when given) tells that the name does not exist in
  // any case, so that nothing below it does.
  void AppendComponent(std::string* host, std::string_view name,
                       const struct stat* folder_stat = nullptr, Entry* entry = nullptr,
                       struct stat* st = nullptr, Mapping* mapping = nullptr,
                       bool* absent = nullptr);
  // Map and the checks of MapFor.
  bool MapChecked(Access access, const char* windows_path, std::string* host_path,
                  Mapping* mapping);
  FolderChange ChangeFrom(const std::string& folder, const struct stat& before) const;
  static bool SameFolder(const FolderListing& listing, const struct stat& st);

  std::string root_;
  std::string real_root_;  // root_ with its links followed, for the checks
  std::string medium_;
  std::string real_medium_;
  // The medium's path holds a name the code page cannot spell: it is drive
  // D: of its own, as a CD would be, instead of a place on Z:.
  bool medium_drive_ = false;
  bool host_access_ = false;
  unsigned code_page_;
  // Folders read lately. Reading a folder costs time in proportion to its
  // entries, and a new file's name is looked up that way each time: without
  // this, copying n files into one folder would take time in n squared.
  std::unordered_map<std::string, FolderListing> listings_;
  // Folders resolved lately, and their stamps by host folder. Without them
  // each path would be resolved from the root, a lookup and a link check of
  // every component: some eighty system calls for a copy eleven levels deep.
  std::unordered_map<std::string, ResolvedFolder> resolved_;
  std::unordered_map<std::string, Stamp> stamps_;

  // What Map works in, kept from path to path so that mapping one costs no
  // allocation once they have grown: the drive's root folder and each
  // component in host form (spelling_), where each component's '/' is
  // (part_starts_), the folded spelling of a folder (key_), the host path
  // (host_), a folder of it for its listing (folder_), a folded name
  // (folded_) and a converted one (converted_).
  std::string spelling_;
  std::vector<size_t> part_starts_;
  std::string key_;
  std::string host_;
  std::string folder_;
  std::string folded_;
  std::string converted_;
  std::string drive_c_;  // DriveC() of root_
  // ANSI names to UTF-8 for to_host_page_ (0: not open yet).
  Iconv to_host_;
  unsigned to_host_page_ = 0;
};

}  // namespace setup::posix
