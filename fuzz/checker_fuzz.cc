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
#include <memory>
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

class Counted : public CheckReport {
 public:
  void Diagnostic(const char* file, int line, int script_line, Severity severity,
                  const char* text) override {
    Check(line >= 0 && script_line >= 0, "a line number below 0");
    Check(file == nullptr || std::strncmp(file, "D:\\", 3) == 0, "a file off the medium");
    Check(std::strlen(text) < 2 * kTextSize, "a text beyond its buffer");
    ++(severity == Severity::kError ? errors : warnings);
  }
  int errors = 0;
  int warnings = 0;
};

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
  auto checker = std::make_unique<Checker>(medium, options, report);
  CheckCounts counts = checker->Run();
  Check(counts.errors == report.errors && counts.warnings == report.warnings,
        "counts that differ from the diagnostics");
  Check(medium.OpenCount() == 0, "a file left open");
  Check(medium.Listing() == before, "the medium changed");
  return 0;
}
