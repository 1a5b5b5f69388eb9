// The Linux program's command line on any arguments: no read past the
// arguments given, a caption without folder, no argument of an accepted
// line left unread, and the two documented spellings of a value option
// ("--medium=DIR" and "--medium DIR") read alike. setup.exe reads no
// arguments, so it has no target here.
//
// Input: the arguments, argv[0] first, each ended by a NUL byte (the last
// one by the end of the input).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ui/terminal/options.h"

namespace {

using setup::terminal::Options;
using setup::terminal::ParseOptions;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "options_fuzz: %s\n", what);
    std::abort();
  }
}

// Parses args through an argv of exactly args.size() + 1 pointers, the last
// null as the system's is, so that a read past it is an overrun.
Options Parse(const std::vector<std::string>& args) {
  std::unique_ptr<const char*[]> argv(new const char*[args.size() + 1]);
  for (std::size_t i = 0; i < args.size(); ++i) argv[i] = args[i].c_str();
  argv[args.size()] = nullptr;
  return ParseOptions(static_cast<int>(args.size()), argv.get());
}

bool Same(const Options& a, const Options& b) {
  return a.help == b.help && a.version == b.version && a.medium == b.medium &&
         a.machine == b.machine && a.code_page == b.code_page && a.host_access == b.host_access &&
         a.trace == b.trace && a.english == b.english && a.unattended == b.unattended &&
         a.folder1 == b.folder1 && a.folder2 == b.folder2 && a.check == b.check &&
         a.werror == b.werror && a.dry_run == b.dry_run && a.error == b.error;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size && args.size() <= 64; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }

  std::string caption = setup::terminal::ProgramCaption(args[0].c_str());
  Check(!caption.empty() && caption.find('/') == std::string::npos, "a caption with a folder");

  Options options = Parse(args);
  // The explanation is one line of printable text, whatever was typed.
  for (char c : options.error) {
    Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a control byte in the error");
  }
  if (!options.error.empty()) return 0;

  // A stray argument after an accepted line is refused: the parser looked at
  // every argument, none was skipped.
  std::vector<std::string> longer = args;
  longer.push_back("x");
  Check(!Parse(longer).error.empty(), "an argument after an accepted line went unread");

  // The first argument stands where an option is expected: written
  // "--name=value", it reads as "--name" followed by "value".
  if (args.size() >= 2 && args[1].compare(0, 2, "--") == 0) {
    std::size_t equals = args[1].find('=');
    if (equals != std::string::npos && equals + 1 < args[1].size()) {
      std::vector<std::string> split = args;
      split[1] = args[1].substr(0, equals);
      split.insert(split.begin() + 2, args[1].substr(equals + 1));
      Check(Same(Parse(split), options), "--name=value and --name value read differently");
    }
  }
  return 0;
}
