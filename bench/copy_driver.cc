// The copies bench/run times: BinCopy and TextCopy run through the engine's
// commands over the real POSIX back end, and the text file they are fed.
//   copy_driver make-text FILE MIB       writes the bilingual test text
//   copy_driver make-files FOLDER COUNT  COUNT small files of 1 to 8 KiB
//   copy_driver bincopy SOURCE DEST      one file, or every file of a folder
//   copy_driver textcopy SOURCE DEST     TextCopy in a Japanese run, 50 macros
//   copy_driver make-medium FOLDER       a whole medium: Setup.Inf and its files
//   copy_driver make-pe FILE KIB         a DLL crafted to slow the version reader
#include <dirent.h>
#include <sys/stat.h>

#include <cmath>
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

// The folders of the whole-medium benchmark, parents first; the same names
// on the medium and below the program folder. Mixed case, as media carry it.
const char* const kMediumFolders[] = {"Program",
                                      "Program\\Bin",
                                      "Program\\Lib",
                                      "Program\\Plugins",
                                      "Program\\Plugins\\Codecs",
                                      "Data",
                                      "Data\\Maps",
                                      "Data\\Sounds",
                                      "Data\\Sounds\\Voices",
                                      "Data\\Textures",
                                      "Data\\Textures\\HiRes",
                                      "Docs",
                                      "Docs\\Manual",
                                      "Docs\\Manual\\Images",
                                      "Fonts",
                                      "Samples",
                                      "Samples\\Projects",
                                      "Samples\\Projects\\Demo",
                                      "Locale",
                                      "Locale\\Ja"};
constexpr int kMediumFiles = 800;  // spread evenly over the folders
constexpr int kMediumTexts = 4;    // bilingual text files, copied with TextCopy
constexpr int kMediumValues = 40;  // SetRegistry lines

std::string HostForm(const std::string& windows) {
  std::string host = windows;
  for (char& c : host) {
    if (c == '\\') c = '/';
  }
  return host;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// The medium of the whole-run benchmark: kMediumFiles files of 0.5 to
// 256 KiB (sizes spread evenly on a log scale, one in 36 of 128 to 256 KiB;
// about 37 MB in all) in the folders of kMediumFolders, kMediumTexts
// bilingual texts and a Setup.Inf that makes the folders, copies everything
// and writes kMediumValues registry values. The same call always yields the
// same bytes.
bool MakeMedium(const std::string& folder) {
  std::string script =
      "' Setup.Inf of the whole-medium benchmark\r\n"
      "WindowTitle Bench Suite 3.0 Setup\r\n"
      "SetupDir \"C:\\Program Files\\Bench Soft\\Bench Suite\" \"Program folder\"\r\n"
      "#define $$REGKEY$$ Software\\Bench Soft\\Bench Suite\r\n"
      "MakeDir \"C:\\Program Files\"\r\n"
      "MakeDir \"$$SETUPROOT$$\"\r\n"
      "MakeDir \"$$SETUPDIR$$\"\r\n";
  // A script holds at most 64 KiB: each folder gets a macro for its source
  // ($$Snn$$) and one for its destination ($$Dnn$$), as long scripts do.
  constexpr int kFolders = sizeof kMediumFolders / sizeof kMediumFolders[0];
  for (int f = 0; f < kFolders; ++f) {
    const char* name = kMediumFolders[f];
    if (mkdir((folder + "/" + HostForm(name)).c_str(), 0777) != 0) return false;
    char line[256];
    std::snprintf(line, sizeof line,
                  "MakeDir \"$$SETUPDIR$$\\%s\"\r\n#define $$S%02d$$ $$FD$$\\%s\r\n"
                  "#define $$D%02d$$ $$SETUPDIR$$\\%s\r\n",
                  name, f, name, f, name);
    script += line;
  }
  unsigned seed = 4242;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  std::string bytes;
  for (int i = 0; i < kMediumFiles; ++i) {
    int where = i % kFolders;
    size_t size;
    if (i % 36 == 35) {
      size = (128 << 10) + next() % (128 << 10);
    } else {
      size = static_cast<size_t>(512.0 * std::pow(2.0, 9.0 * (next() % 100000) / 100000.0));
    }
    bytes.resize(size);
    for (char& b : bytes) b = static_cast<char>(next());
    char name[64];
    static const char* const kKinds[] = {".dat", ".BIN", ".Dll", ".txt", ".png"};
    std::snprintf(name, sizeof name, "%s_%03d%s", i % 3 == 0 ? "Part" : "item", i, kKinds[i % 5]);
    std::string relative = std::string(kMediumFolders[where]) + "\\" + name;
    if (!WriteBytes(folder + "/" + HostForm(relative), bytes)) return false;
    char line[192];  // room for two names of up to 63 bytes
    std::snprintf(line, sizeof line, "BinCopy \"$$S%02d$$\\%s\" \"$$D%02d$$\\%s\"\r\n", where, name,
                  where, name);
    script += line;
  }
  for (int i = 0; i < kMediumTexts; ++i) {
    std::string text;
    setup::bench::AppendSampleText(text, 4096L << i);
    std::string relative =
        std::string(kMediumFolders[(i * 7) % kFolders]) + "\\ReadMe" + std::to_string(i) + ".txt";
    if (!WriteBytes(folder + "/" + HostForm(relative), text)) return false;
    script += "TextCopy \"$$FD$$\\" + relative + "\" $$SETUPDIR$$\\" + relative + "\r\n";
  }
  for (int i = 0; i < kMediumValues; ++i) {
    char line[256];
    std::snprintf(line, sizeof line, "SetRegistry \"%s\\$$REGKEY$$\\%s\\Value%02d\" \"%s%d\"\r\n",
                  i % 2 ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE",
                  i % 4 < 2 ? "Settings" : "Paths", i, i % 4 < 2 ? "setting " : "$$SETUPDIR$$\\",
                  i);
    script += line;
  }
  return WriteBytes(folder + "/Setup.Inf", script);
}

void Put16(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, unsigned value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void Set32(std::string& out, size_t at, unsigned value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
void Align4(std::string& out) {
  while (out.size() % 4 != 0) out += '\0';
}

// One node of a version block: its key, its value (text: an ASCII string
// stored as UTF-16) and its children, laid out as the resource compiler does.
std::string VersionNode(const char* key, const std::string& value, bool text,
                        const std::string& children) {
  std::string node(6, '\0');
  for (const char* k = key; *k != '\0'; ++k) Put16(node, static_cast<unsigned char>(*k));
  Put16(node, 0);
  Align4(node);
  unsigned value_length = static_cast<unsigned>(value.size());
  if (text) {
    for (char c : value) Put16(node, static_cast<unsigned char>(c));
    Put16(node, 0);
    value_length += 1;
  } else {
    node += value;
  }
  Align4(node);
  node += children;
  node[0] = static_cast<char>(node.size() & 0xFF);
  node[1] = static_cast<char>(node.size() >> 8);
  node[2] = static_cast<char>(value_length & 0xFF);
  node[3] = static_cast<char>(value_length >> 8);
  node[4] = text ? 1 : 0;
  return node;
}

// A DLL made to cost the version reader as much as its size allows: the most
// sections the reader takes (96), the resource section last among them; a
// type directory and a name directory that fill the file with entries
// (the most 16-bit counts allow, 131,070 each), the one IfFileVersion looks
// for last in each; and a version block of 64 KiB whose wanted children
// come after a thousand others. The rest of the file, when the directories
// are full, is padding. FileVersion is 1.2.3.4.
bool MakePe(const std::string& path, long kib) {
  constexpr unsigned kSections = 96;
  constexpr size_t kResourceOffset = 0x2000;
  constexpr unsigned kResourceRva = 0x100000;
  const size_t size = static_cast<size_t>(kib) << 10;
  std::string file(kResourceOffset, '\0');
  file[0] = 'M';
  file[1] = 'Z';
  Set32(file, 0x3C, 0x40);
  std::string headers = std::string("PE\0\0", 4);
  Put16(headers, 0x14C);      // i386
  Put16(headers, kSections);  // NumberOfSections
  Put32(headers, 0);
  Put32(headers, 0);
  Put32(headers, 0);
  Put16(headers, 224);     // SizeOfOptionalHeader
  Put16(headers, 0x2102);  // a DLL
  std::string optional(224, '\0');
  optional[0] = 0x0B;  // PE32
  optional[1] = 0x01;
  Set32(optional, 92, 16);  // NumberOfRvaAndSizes
  headers += optional;
  for (unsigned i = 0; i < kSections; ++i) {
    std::string section(40, '\0');
    bool resource = i == kSections - 1;
    Set32(section, 12, resource ? kResourceRva : 0x1000 * (i + 1));
    Set32(section, 16, resource ? static_cast<unsigned>(size - kResourceOffset) : 0x200);
    Set32(section, 20, resource ? static_cast<unsigned>(kResourceOffset) : 0x1800);
    headers += section;
  }
  file.replace(0x40, headers.size(), headers);

  // The version block first, so the directories know where it lies.
  std::string fixed;
  Put32(fixed, 0xFEEF04BD);
  Put32(fixed, 0x10000);
  Put32(fixed, 0x10002);  // 1.2
  Put32(fixed, 0x30004);  // .3.4
  fixed.resize(52, '\0');
  std::string strings, others;
  for (int i = 0; i < 1000; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "Note%d", i);
    strings += VersionNode(key, "x", true, "");
    others += VersionNode(key, "", false, "");
  }
  strings += VersionNode("FileVersion", "1.2.3.4", true, "");
  std::string translation;
  Put16(translation, 0x0409);
  Put16(translation, 0x04B0);
  std::string children =
      others +
      VersionNode("StringFileInfo", "", false, VersionNode("040904B0", "", false, strings)) +
      VersionNode("VarFileInfo", "", false, VersionNode("Translation", translation, false, ""));
  std::string block = VersionNode("VS_VERSION_INFO", fixed, false, children);
  if (block.size() > 0xFFFF) return false;

  // The directories: header, entries; the types with the version type last,
  // the names with name 1 last, one language.
  size_t room = size - kResourceOffset - block.size() - 3 * 16 - 8 - 16;
  size_t entries = room / 8;
  if (size < kResourceOffset + block.size() + 1024) return false;
  size_t types = entries / 2 < 131070 ? entries / 2 : 131070;
  size_t names = entries - types < 131070 ? entries - types : 131070;
  std::string resources;
  auto directory = [&resources](size_t count, unsigned wanted, unsigned target) {
    std::string header(12, '\0');
    unsigned named = count > 65535 ? static_cast<unsigned>(count - 65535) : 0;
    resources += header;
    Put16(resources, named);
    Put16(resources, static_cast<unsigned>(count - named));
    for (size_t i = 0; i + 1 < count; ++i) {
      Put32(resources, 1000 + static_cast<unsigned>(i % 50000));  // never the wanted id
      Put32(resources, 0x80000000u);
    }
    Put32(resources, wanted);
    Put32(resources, target);
  };
  size_t names_at = 16 + 8 * types;
  size_t languages_at = names_at + 16 + 8 * names;
  size_t data_at = languages_at + 16 + 8;
  size_t block_at = data_at + 16;
  directory(types, 16, 0x80000000u | static_cast<unsigned>(names_at));
  directory(names, 1, 0x80000000u | static_cast<unsigned>(languages_at));
  directory(1, 0x411, static_cast<unsigned>(data_at));
  Put32(resources, kResourceRva + static_cast<unsigned>(block_at));
  Put32(resources, static_cast<unsigned>(block.size()));
  Put32(resources, 0);
  Put32(resources, 0);
  resources += block;
  file += resources;
  file.resize(size, '\0');
  Set32(file, 0x40 + 24 + 96 + 2 * 8, kResourceRva);  // the resource directory
  Set32(file, 0x40 + 24 + 96 + 2 * 8 + 4, static_cast<unsigned>(resources.size()));
  return WriteBytes(path, file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "make-text") == 0) {
    return setup::bench::WriteSampleText(argv[2], std::atol(argv[3]) << 20) ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "make-medium") == 0) return MakeMedium(argv[2]) ? 0 : 1;
  if (argc == 4 && std::strcmp(argv[1], "make-pe") == 0) {
    return MakePe(argv[2], std::atol(argv[3])) ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "make-files") == 0) {
    return MakeFiles(argv[2], std::atol(argv[3])) ? 0 : 1;
  }
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: copy_driver make-text FILE MIB | make-files FOLDER COUNT |\n"
                 "       copy_driver make-medium FOLDER | make-pe FILE KIB |\n"
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
