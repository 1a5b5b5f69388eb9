// Random media through the medium check: no crash, no overrun, every
// diagnostic on a line that exists, the counts those of the diagnostics,
// every file closed again, and the medium never written.
//
// Input: the script, then (after the first "\n--\n", if any) the bytes of
// D:\a.txt, a text the script may copy.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "check/checker.h"
#include "tests/fakes/fake_file_system.h"

namespace {

using namespace setup;
using namespace setup::testing;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "checker_fuzz: %s\n", what);
    std::abort();
  }
}

// Below the medium folder D:, with either separator and in either case.
bool OnMedium(const char* path) {
  return (path[0] == 'D' || path[0] == 'd') && path[1] == ':' &&
         (path[2] == '\\' || path[2] == '/');
}

class Counted : public CheckReport {
 public:
  void Diagnostic(const char* file, int line, int script_line, Severity severity,
                  const char* text) override {
    Check(line >= 0 && script_line >= 0, "a line number below 0");
    // Named as the script names it: "$$FD$$/a.txt" is D:/a.txt.
    Check(file == nullptr || OnMedium(file), "a file off the medium");
    Check(std::strlen(text) < 2 * kTextSize, "a text beyond its buffer");
    // Notes are never counted: they change no status.
    if (severity == Severity::kError) ++errors;
    if (severity == Severity::kWarning) ++warnings;
  }
  int errors = 0;
  int warnings = 0;
};

// One checker's room for the whole session. A checker is half a megabyte,
// and a fresh one from the heap for every input came as new pages from the
// system each time, their faults and clearing a tenth of the run. The room
// is cleared before each checker is built in it, so that what the
// constructor leaves unset reads as on fresh pages, never as the previous
// input's state: a finding replays alone.
alignas(Checker) unsigned char checker_room[sizeof(Checker)];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string script = input;
  FakeFileSystem medium;
  size_t split = input.find("\n--\n");
  if (split != std::string::npos) {
    script = input.substr(0, split + 1);
    medium.AddFile("D:\\a.txt", input.substr(split + 4));
  }
  medium.AddFile("D:\\Setup.Inf", script);
  std::vector<std::string> before = medium.Listing();

  Counted report;
  CheckOptions options;
  options.japanese = (size % 2) == 1;
  std::memset(checker_room, 0, sizeof checker_room);
  Checker* checker = new (checker_room) Checker(medium, options, report);
  CheckCounts counts = checker->Run();
  checker->~Checker();
  Check(counts.errors == report.errors && counts.warnings == report.warnings,
        "counts that differ from the diagnostics");
  Check(medium.OpenCount() == 0, "a file left open");
  Check(medium.Listing() == before, "the medium changed");
  return 0;
}
