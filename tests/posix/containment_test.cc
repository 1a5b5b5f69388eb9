// The simulated machine as a sandbox: every way a script could reach the
// host, run through the engine over the real POSIX back end, with the message
// it ends in and what it leaves outside the machine folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "engine/script_engine.h"
#include "platform/posix/components_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/machine.h"
#include "platform/posix/pe_version.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/system_info_posix.h"
#include "tests/fakes/recording_ui.h"
#include "tests/posix/test_machine.h"

namespace setup::testing {
namespace {

namespace fs = std::filesystem;

void WriteHostFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadHostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Everything below folder but the machine: each entry's relative path and
// its contents and mode ("/" for a folder, "->target" for a link).
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
    std::string name = fs::relative(it->path(), folder).string();
    if (name == "machine") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_symlink()) {
      entries[name] = "->" + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      entries[name] = "/";
    } else {
      // The mode too: a hard link shares it with the machine's name.
      auto mode = static_cast<unsigned>(fs::status(it->path()).permissions());
      entries[name] = ReadHostFile(it->path()) + " (" + std::to_string(mode) + ")";
    }
  }
  return entries;
}

// Replaces each {M} (the medium) and {O} (the outside folder) with its
// Windows-form path, {C} (drive_c), {H} (the medium) and {X} (the outside
// folder) with the host's.
std::string Expand(std::string text, posix::Machine& machine, const fs::path& top) {
  const std::pair<const char*, std::string> names[] = {
      {"{M}", machine.ToWindowsPath((top / "medium").string())},
      {"{O}", machine.ToWindowsPath((top / "outside").string())},
      {"{C}", (top / "machine" / "drive_c").string()},
      {"{H}", (top / "medium").string()},
      {"{X}", (top / "outside").string()},
  };
  for (const auto& [name, value] : names) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
      text.replace(at, 3, value);
      at += value.size();
    }
  }
  return text;
}

// A host folder with the machine, the medium and an outside folder that
// nothing may reach: secret.txt, target.txt and an executable probe.sh. The
// probe, when started, writes what it was given to $HOME/probe.txt.
class Host {
 public:
  Host() {
    char pattern[] = "/tmp/setup-contain-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    top_ = pattern;
    fs::create_directories(top_ / "medium");
    fs::create_directories(top_ / "outside");
    WriteHostFile(top_ / "medium" / "a.txt", "medium file");
    WriteHostFile(top_ / "outside" / "secret.txt", "secret");
    WriteHostFile(top_ / "outside" / "target.txt", "target");
    const char probe[] =
        "#!/bin/sh\n"
        "echo \"home=$HOME secret=$SETUP_CONTAIN_SECRET dir=$(pwd) args=$*\" >\"$HOME/probe.txt\"\n"
        "cat >>\"$HOME/probe.txt\"\n";
    for (const char* folder : {"medium", "outside"}) {
      WriteHostFile(top_ / folder / "probe.sh", probe);
      fs::permissions(top_ / folder / "probe.sh", fs::perms::owner_all);
    }
  }
  ~Host() {
    std::error_code ignored;
    fs::remove_all(top_, ignored);
  }
  const fs::path& top() const { return top_; }

 private:
  fs::path top_;
};

// Links a row puts in place before its run: name -> target. A name starting
// with "M/" lies on the medium, "R/" in the machine folder, any other in
// drive_c; a target starting with "O/" below the outside folder, "C/" below
// drive_c. A hard link is made to a target that is read-only.
struct Link {
  const char* name;
  const char* target;
  bool hard = false;
};

// What happens while a MessageBox waits: C:\a, used already, is moved out
// of the machine and a link to its new place put where it stood.
void MoveFolderOut(const fs::path& top) {
  fs::rename(top / "machine" / "drive_c" / "a", top / "outside" / "a");
  fs::create_directory_symlink(top / "outside" / "a", top / "machine" / "drive_c" / "a");
}

struct Case {
  const char* way_out;
  const char* body;   // the script after SetupDir; {M}, {O} expanded
  const char* typed;  // the folder typed in the dialog; nullptr keeps C:\App
  bool host_access;
  Link link;                  // name nullptr: none
  const char* events;         // what the user sees after the dialog, {M} {O} {C} expanded
  const char* outside_after;  // entry that appears or changes outside the machine, or ""
  const char* probe;          // what a started probe.sh wrote, or nullptr when none ran
  bool native = false;        // --native-components (implied by host access)
  void (*during_message)(const fs::path& top) = nullptr;  // at each MessageBox
};

struct DialogOk {
  ScriptEngine* engine;
  const char* typed;
  static void PressOk(void* context, const char* folder1, const char* folder2) {
    DialogOk* run = static_cast<DialogOk*>(context);
    StartRun(*run->engine, run->typed != nullptr ? run->typed : folder1, folder2, kEnglish);
  }
};

constexpr Case kCases[] = {
    {"Z: write outside the medium",
     "BinCopy \"{M}\\a.txt\" \"{O}\\stolen.txt\"\n",
     nullptr,
     false,
     {},
     "error: It failed in the copy form {M}\\a.txt to {O}\\stolen.txt\n",
     "",
     nullptr},
    {"Z: folder on the medium",
     "MakeDir \"{M}\\new\"\n",
     nullptr,
     false,
     {},
     "error: The '{M}\\new' directroy can not be make\n",
     "",
     nullptr},
    {"Z: text file on the medium",
     "TextCopy \"{M}\\a.txt\" {M}\\b.txt\n",
     nullptr,
     false,
     {},
     "error: Can't Create {M}\\b.txt file\n",
     "",
     nullptr},
    {"Z: read outside the medium",
     "BinCopy \"{O}\\secret.txt\" \"C:\\stolen.txt\"\n",
     nullptr,
     false,
     {},
     "error: It failed in the copy form {O}\\secret.txt to C:\\stolen.txt\n",
     "",
     nullptr},
    {"relative folder",
     "MakeDir rel_dir\n",
     nullptr,
     false,
     {},
     "error: The 'rel_dir' directroy can not be make\n",
     "",
     nullptr},
    {"misspelt macro",
     "MakeDir \"$$SETUP_DIR$$\"\n",
     nullptr,
     false,
     {},
     "error: The '$$SETUP_DIR$$' directroy can not be make\n",
     "",
     nullptr},
    {"relative read",
     "BinCopy a.txt \"C:\\a.txt\"\nMessage read\n",
     nullptr,
     false,
     {},
     "info: read\ncompleted\n",
     "",
     nullptr},
    {"dot-dot out of the medium",
     "BinCopy a.txt \"..\\outside\\x.txt\"\n",
     nullptr,
     false,
     {},
     "error: It failed in the copy form a.txt to ..\\outside\\x.txt\n",
     "",
     nullptr},
    {"dot-dot typed in the dialog",
     "MakeDir \"$$SETUPDIR$$\"\n",
     "..\\escaped",
     false,
     {},
     "error: The '..\\escaped' directroy can not be make\n",
     "",
     nullptr},
    {"link out, written",
     "BinCopy \"{M}\\a.txt\" \"C:\\link.txt\"\n",
     nullptr,
     false,
     {"link.txt", "O/target.txt"},
     "error: It failed in the copy form {M}\\a.txt to C:\\link.txt\n",
     "",
     nullptr},
    {"link out, read",
     "BinCopy \"C:\\link.txt\" \"C:\\copy.txt\"\n",
     nullptr,
     false,
     {"link.txt", "O/secret.txt"},
     "error: It failed in the copy form C:\\link.txt to C:\\copy.txt\n",
     "",
     nullptr},
    {"link out, folder",
     "MakeDir \"C:\\out\\new\"\n",
     nullptr,
     false,
     {"out", "O/"},
     "error: The 'C:\\out\\new' directroy can not be make\n",
     "",
     nullptr},
    {"link out, dangling",
     "BinCopy \"{M}\\a.txt\" \"C:\\link.txt\"\n",
     nullptr,
     false,
     {"link.txt", "O/new.txt"},
     "error: It failed in the copy form {M}\\a.txt to C:\\link.txt\n",
     "",
     nullptr},
    {"link out, found by pattern",
     "IfFileFind \"C:\\lin*.txt\" x Message found\n",
     nullptr,
     false,
     {"link.txt", "O/secret.txt"},
     "completed\n",
     "",
     nullptr},
    {"link inside the machine",
     "BinCopy \"{M}\\a.txt\" \"C:\\link.txt\"\nMessage copied\n",
     nullptr,
     false,
     {"link.txt", "C/inner.txt"},
     "info: copied\ncompleted\n",
     "",
     nullptr},
    {"Regsvr outside",
     "Regsvr \"{O}\\probe.sh\"\n",
     nullptr,
     false,
     {},
     "topmost error:  '{O}\\probe.sh' registration can't be done\n",
     "",
     nullptr},
    {"Regsvr on the medium",
     "Regsvr \"{M}\\probe.sh\"\n",
     nullptr,
     false,
     {},
     "topmost error:  '{M}\\probe.sh' registration can't be done\n",
     "",
     nullptr},
    {"Regsvr on the medium, native components",
     "Regsvr \"{M}\\probe.sh\"\nMessage started\n",
     nullptr,
     false,
     {},
     "info: started\ncompleted\n",
     "",
     "home={C} secret= dir={H} args=/regserver\n",
     true},
    {"lead byte before '/', read",
     "BinCopy \"{M}\\\x81/secret.txt\" \"C:\\stolen.txt\"\n",
     nullptr,
     false,
     {"M/\x81", "O/"},
     "error: It failed in the copy form {M}\\\x81/secret.txt to C:\\stolen.txt\n",
     "",
     nullptr},
    {"lead byte before '/', write",  // the UTF-8 bytes of a host name ending in a lead byte
     "MakeDir \"C:\\\xE5\x85\xB1\xE6\x9C\x89/new\"\n",
     nullptr,
     false,
     {"\xE5\x85\xB1\xE6\x9C\x89", "O/"},
     "error: The 'C:\\\xE5\x85\xB1\xE6\x9C\x89/new' directroy can not be make\n",
     "",
     nullptr},
    {"folder moved out and linked between two commands",
     "MakeDir C:\\a\nMakeDir C:\\a\\b\nBinCopy \"{M}\\a.txt\" C:\\a\\b\\one.txt\n"
     "MessageBox \"wait\"\nBinCopy \"{M}\\a.txt\" C:\\a\\b\\two.txt\n",
     nullptr,
     false,
     {},
     "message: wait\nerror: It failed in the copy form {M}\\a.txt to C:\\a\\b\\two.txt\n",
     "",
     nullptr,
     false,
     MoveFolderOut},
    {"registry lock linked out",
     "SetRegistry \"HKEY_CURRENT_USER\\Software\\X\\V\" \"1\"\nMessage went on\n",
     nullptr,
     false,
     {"R/registry.reg.lock", "O/lock"},
     "error: Registry write error : (HKEY_CURRENT_USER\\Software\\X\\V , 1)\ninfo: went on\n"
     "completed\n",
     "",
     nullptr},
    {"registry log linked out",
     "SetRegistry \"HKEY_CURRENT_USER\\Software\\X\\V\" \"1\"\nMessage went on\n",
     nullptr,
     false,
     {"R/registry.log", "O/log"},
     "error: Registry write error : (HKEY_CURRENT_USER\\Software\\X\\V , 1)\ninfo: went on\n"
     "completed\n",
     "",
     nullptr},
    {"hard link to a read-only host file",
     "BinCopy \"{M}\\a.txt\" C:\\shared.txt\nMessage copied\n",
     nullptr,
     false,
     {"shared.txt", "O/target.txt", true},
     "info: copied\ncompleted\n",
     "",
     nullptr},
    {"host access: Regsvr outside",
     "Regsvr \"{O}\\probe.sh\"\nMessage started\n",
     nullptr,
     true,
     {},
     "info: started\ncompleted\n",
     "",
     "home={C} secret= dir={X} args=/regserver\n"},
    {"host access: Z: read and write",
     "BinCopy \"{O}\\secret.txt\" \"{O}\\copy.txt\"\nMessage copied\n",
     nullptr,
     true,
     {},
     "info: copied\ncompleted\n",
     "outside/copy.txt",
     nullptr},
    {"host access: relative folder",
     "MakeDir rel_dir\nMessage made\n",
     nullptr,
     true,
     {},
     "info: made\ncompleted\n",
     "outside/rel_dir",
     nullptr},
    {"host access: link out",
     "BinCopy \"{M}\\a.txt\" \"C:\\link.txt\"\nMessage copied\n",
     nullptr,
     true,
     {"link.txt", "O/target.txt"},
     "info: copied\ncompleted\n",
     "outside/target.txt",
     nullptr},
};

// Swaps standard input for a pipe holding answers, for one test.
class AnswerInput {
 public:
  AnswerInput() {
    int answers[2];
    if (pipe(answers) != 0 || write(answers[1], "ok\n", 3) != 3) std::abort();
    close(answers[1]);
    saved_ = dup(STDIN_FILENO);
    dup2(answers[0], STDIN_FILENO);
    close(answers[0]);
  }
  ~AnswerInput() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

TEST(ContainmentTest, EveryWayOutFailsWithTheCommandsOwnMessage) {
  // What a started program must not see: the installer's environment and
  // the answers piped to the installer.
  EnvironmentScope secret("SETUP_CONTAIN_SECRET", "leaked");
  AnswerInput answers;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.way_out);
    Host host;
    const fs::path& top = host.top();
    // The process stands in the outside folder, where a relative path would
    // land if it followed the process.
    CurrentFolderScope in_outside((top / "outside").string());
    posix::Machine machine(932);
    ASSERT_TRUE(machine.SetRoot((top / "machine").string()));
    ASSERT_TRUE(machine.SetMedium((top / "medium").string()));
    machine.set_host_access(c.host_access);
    fs::path drive_c = top / "machine" / "drive_c";
    if (c.link.name != nullptr) {
      std::string target = c.link.target;
      fs::path to = (target[0] == 'O' ? top / "outside" : drive_c) / target.substr(2);
      std::string name = c.link.name;
      fs::path at = name.compare(0, 2, "M/") == 0   ? top / "medium" / name.substr(2)
                    : name.compare(0, 2, "R/") == 0 ? top / "machine" / name.substr(2)
                                                    : drive_c / name;
      if (c.link.hard) {
        fs::permissions(to, fs::perms::owner_read | fs::perms::group_read);
        fs::create_hard_link(to, at);
      } else {
        fs::create_symlink(to, at);
      }
    }
    WriteHostFile(
        top / "medium" / "Setup.Inf",
        Expand("WindowTitle Containment\nSetupDir \"C:\\App\" Folder\n" + std::string(c.body),
               machine, top));
    std::map<std::string, std::string> before = Snapshot(top);

    posix::PosixSystemInfo system(machine);
    ASSERT_TRUE(system.SetProgramFolder((top / "medium").string()));
    posix::PosixFileSystem files(machine);
    posix::RegistryStore registry(machine);
    posix::PeVersionInfo versions(&machine);
    std::unique_ptr<Components> components =
        posix::NewComponents(machine, c.native || c.host_access ? posix::NativeCode::kAllowed
                                                                : posix::NativeCode::kNever);
    Platform platform;
    platform.system = &system;
    platform.files = &files;
    platform.registry = &registry;
    platform.versions = &versions;
    platform.components = components.get();
    RecordingUi ui;
    auto engine = std::make_unique<ScriptEngine>(platform, ui);
    if (c.during_message != nullptr) {
      ui.on_message = [&] {
        c.during_message(top);
        before = Snapshot(top);  // what the attacker did is no escape of the run's
      };
    }
    DialogOk run{engine.get(), c.typed};
    ui.on_dialog = &DialogOk::PressOk;
    ui.dialog_context = &run;
    engine->InitInstance();

    std::string seen;
    for (size_t i = 1; i < ui.events.size(); ++i) seen += ui.events[i] + "\n";
    EXPECT_EQ(seen, Expand(c.events, machine, top));
    std::map<std::string, std::string> after = Snapshot(top);
    if (c.outside_after[0] != '\0') {
      EXPECT_NE(after[c.outside_after], before[c.outside_after]);
      after.erase(c.outside_after);
      before.erase(c.outside_after);
    }
    EXPECT_EQ(after, before);
    fs::path probe = drive_c / "probe.txt";
    EXPECT_EQ(fs::exists(probe) ? ReadHostFile(probe) : "<none>",
              c.probe != nullptr ? Expand(c.probe, machine, top) : "<none>");
  }
}

}  // namespace
}  // namespace setup::testing
