// The copies bench/run times: BinCopy and TextCopy run through the engine's
// commands over the real POSIX back end, and the text file they are fed.
//   copy_driver make-text FILE MIB       writes the bilingual test text
//   copy_driver make-files FOLDER COUNT  COUNT small files of 1 to 8 KiB
//   copy_driver bincopy SOURCE DEST      one file, or every file of a folder
//   copy_driver textcopy SOURCE DEST     TextCopy in a Japanese run, 50 macros
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/text_sample.h"
#include "engine/script_engine.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/machine.h"
#include "platform/posix/system_info_posix.h"

namespace {

using setup::ScriptEngine;

// Errors go to stderr; the copies ask nothing.
class QuietUi : public setup::SetupUi {
 public:
  void RunSetupDialog(const char*, const char*) override {}
  void SetProgressRange(int) override {}
  void SetProgressPos(int) override {}
  void ShowError(const char* text) override { std::fprintf(stderr, "error: %s\n", text); }
  void ShowTopmostError(const char* text) override { ShowError(text); }
  void ShowInformation(const char*) override {}
  bool AskScriptMessage(const char*) override { return true; }
  bool PromptDisk(const char*) override { return true; }
  void ShowCompleted() override {}
};

// Host path -> Windows form of the simulated machine (Z:\ for the host root).
std::string Windows(setup::posix::Machine& machine, const std::string& host) {
  char* real = realpath(host.c_str(), nullptr);
  std::string path = real != nullptr ? real : host;
  std::free(real);
  return machine.ToWindowsPath(path);
}

// Runs one command line (keyword, TAB, arguments) through the interpreter's
// dispatch; false when it stopped the run.
bool Run(ScriptEngine& engine, const std::string& command) {
  char text[setup::kWorkLineSize];
  if (command.size() >= sizeof text) return false;
  std::memcpy(text, command.c_str(), command.size() + 1);
  char* tail = nullptr;
  return engine.ExecuteCommand(text, &tail) != setup::Outcome::kStop;
}

int BinCopy(setup::posix::Machine& machine, ScriptEngine& engine, const std::string& source,
            const std::string& dest) {
  struct stat st;
  if (stat(source.c_str(), &st) != 0) return 1;
  if (!S_ISDIR(st.st_mode)) {
    return Run(engine, "BinCopy\t" + Windows(machine, source) + "\t" + Windows(machine, dest)) ? 0
                                                                                               : 1;
  }
  // A folder: every file in it, as a script of BinCopy lines would.
  std::vector<std::string> names;
  DIR* dir = opendir(source.c_str());
  if (dir == nullptr) return 1;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  }
  closedir(dir);
  std::string from = Windows(machine, source) + "\\", to = Windows(machine, dest) + "\\";
  for (const std::string& name : names) {
    if (!Run(engine, "BinCopy\t" + from + name + "\t" + to + name)) return 1;
  }
  return 0;
}

int TextCopy(setup::posix::Machine& machine, ScriptEngine& engine, const std::string& source,
             const std::string& dest) {
  setup::bench::DefineSampleMacros(engine.macros);
  engine.mode = setup::kJapanese;
  return Run(engine, "TextCopy\t" + Windows(machine, source) + "\t" + Windows(machine, dest)) ? 0
                                                                                              : 1;
}

// count files of 1 to 8 KiB of varying bytes, named f00000.bin and on.
bool MakeFiles(const std::string& folder, long count) {
  std::string bytes;
  unsigned seed = 12345;
  for (long i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.resize(1024 + (seed >> 8) % 7169);
    for (char& b : bytes) b = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    char name[32];
    std::snprintf(name, sizeof name, "/f%05ld.bin", i);
    std::FILE* file = std::fopen((folder + name).c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !ok) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "make-text") == 0) {
    return setup::bench::WriteSampleText(argv[2], std::atol(argv[3]) << 20) ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "make-files") == 0) {
    return MakeFiles(argv[2], std::atol(argv[3])) ? 0 : 1;
  }
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: copy_driver make-text FILE MIB | make-files FOLDER COUNT |\n"
                 "       copy_driver bincopy|textcopy SOURCE DEST\n");
    return 2;
  }
  // The simulated machine lives where bench/run says, not in the home folder.
  setup::posix::Machine machine;
  if (const char* folder = std::getenv("SETUP_BENCH_MACHINE")) {
    if (!machine.SetRoot(folder)) return 2;
  }
  setup::posix::PosixSystemInfo system(machine);
  setup::posix::PosixFileSystem files(machine);
  setup::Platform platform;
  platform.system = &system;
  platform.files = &files;
  QuietUi ui;
  // The engine record is large: it lives on the heap, not the stack.
  auto* engine = new ScriptEngine(platform, ui);
  std::strcpy(engine->script_path, "Z:\\bench\\Setup.Inf");
  int result = 2;
  if (std::strcmp(argv[1], "bincopy") == 0) result = BinCopy(machine, *engine, argv[2], argv[3]);
  if (std::strcmp(argv[1], "textcopy") == 0) result = TextCopy(machine, *engine, argv[2], argv[3]);
  delete engine;
  return result;
}
