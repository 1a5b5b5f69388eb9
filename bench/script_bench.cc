// Engine speed over the fakes: a full 64 KiB script through the
// interpreter, macro expansion of script and text lines, and the text copier
// on the bilingual sample.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "actions/text_copier.h"
#include "bench/text_sample.h"
#include "engine/script_engine.h"
#include "tests/fakes/fake_components.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/fake_version_info.h"
#include "tests/fakes/recording_ui.h"

namespace setup::bench {
namespace {

using testing::FakeComponents;
using testing::FakeFileSystem;
using testing::FakeRegistry;
using testing::FakeSystem;
using testing::FakeVersionInfo;
using testing::RecordingUi;

// A script of control lines that fills the line store: #define, If-tests
// that hold and that fail, Goto over skipped lines, labels and comments.
std::string ControlScript() {
  std::string script;
  char block[2048];
  for (int i = 0;; ++i) {
    // A #define line expands its own name too, so each name is defined once:
    // forty of them, in the first forty blocks.
    char define[64] = "' no definition here\n";
    if (i < 40) std::snprintf(define, sizeof define, "#define\t$$V%d$$\tvalue%d\n", i, i);
    int n = std::snprintf(
        block, sizeof block,
        "' block %d\n"
        "%s"
        "IfString\t$$V%d$$\t=\tvalue%d\tx\t'holds\n"
        "IfString\t\"abc\"\t<\t\"abd\"\tE\tGoto\tnever\n"
        "IfFileFind\t$$WINDOWS$$\\file%d.dll\tx\tGoto\tnever\n"
        "IfRegistryFind\tHKEY_LOCAL_MACHINE\\Software\\Sample\\Key%d\tx\tGoto\tnever\n"
        "IfLanguage\t0411\tx\tIfString\t$$SETUPDIR$$\t=\tC:\\APP\tx\t'both hold\n"
        "Goto\t:skip%d\n"
        "ErrorExit\tnever here %d\n"
        "Message\tnever shown $$SETUPDIR$$\\%d\n"
        "IfString\ta\t=\ta\tx\tErrorExit\tskipped too\n"
        ":skip%d\n"
        "\n",
        i, define, i % 40, i % 40, i, i, i, i, i, i);
    if (script.size() + static_cast<size_t>(n) + 40 > kLineStoreSize) break;
    script.append(block, static_cast<size_t>(n));
  }
  return script;
}

// Whole interpreter runs of the control script; reports lines per second.
void BM_InterpretScript(benchmark::State& state) {
  FakeSystem system;
  FakeFileSystem files;
  FakeRegistry registry;
  FakeVersionInfo versions;
  FakeComponents components;
  RecordingUi ui;
  Platform platform{&system, &files, &registry, &versions, &components};
  auto engine = std::make_unique<ScriptEngine>(platform, ui);
  std::string script = ControlScript();
  if (!engine->LoadScriptText(script.data(), static_cast<int>(script.size()))) {
    state.SkipWithError("script did not load");
    return;
  }
  DefineMacro(engine->macros, "$$WINDOWS$$", "C:\\WINDOWS");
  DefineMacro(engine->macros, "$$SETUPDIR$$", "C:\\APP");
  const MacroTable start = engine->macros;
  long lines = 0;
  for (auto _ : state) {
    engine->macros = start;  // each run defines its forty macros afresh
    if (!engine->InterpretScript(kJapanese)) {
      state.SkipWithError(("script stopped: " + ui.Transcript()).c_str());
      return;
    }
    lines += engine->lines.line_count;
  }
  state.counters["lines"] = engine->lines.line_count;
  state.counters["script_bytes"] = static_cast<double>(engine->lines.end);
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpretScript)->Unit(benchmark::kMillisecond);

// ExpandMacros over the sample text with the fifty sample macros.
void BM_ExpandMacros(benchmark::State& state) {
  MacroTable table;
  DefineSampleMacros(table);
  std::string text;
  AppendSampleText(text, 1 << 20);
  char out[4096];
  for (auto _ : state) {
    const char* line = text.c_str();
    std::string piece;
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      end = end == std::string::npos ? text.size() : end + 1;
      piece.assign(text, start, end - start);
      ExpandMacros(table, piece.c_str(), out, sizeof out);
      benchmark::DoNotOptimize(out);
      start = end;
    }
    benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(static_cast<long>(state.iterations()) * static_cast<long>(text.size()));
}
BENCHMARK(BM_ExpandMacros)->Unit(benchmark::kMillisecond);

// CopyText of 4 MiB of sample text over the fake file system, both selections.
void BM_CopyText(benchmark::State& state) {
  FakeSystem system;
  FakeFileSystem files;
  RecordingUi ui;
  Platform platform{&system, &files, nullptr, nullptr, nullptr};
  auto engine = std::make_unique<ScriptEngine>(platform, ui);
  DefineSampleMacros(engine->macros);
  std::string text;
  AppendSampleText(text, 4 << 20);
  files.AddFile("D:\\SRC.TXT", text);
  files.AddFolder("C:\\OUT");
  LanguageMode selection = state.range(0) != 0 ? kJapanese : kEnglish;
  for (auto _ : state) {
    if (!CopyText(*engine, "D:\\SRC.TXT", "C:\\OUT\\DEST.TXT", selection)) {
      state.SkipWithError("copy failed");
      return;
    }
    CloseSource(*engine);
    CloseDestination(*engine, false);
  }
  state.SetBytesProcessed(static_cast<long>(state.iterations()) * static_cast<long>(text.size()));
}
BENCHMARK(BM_CopyText)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace setup::bench

BENCHMARK_MAIN();
