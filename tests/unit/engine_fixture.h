// A ScriptEngine over fakes, with the script path and messages set up as a
// real start-up would leave them.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/script_engine.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"

namespace setup::testing {

// printf into a std::string, for expected messages.
inline std::string Format(const char* format, ...) {
  char out[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(out, sizeof out, format, args);
  va_end(args);
  return out;
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { Reset(); }

  // Makes a new engine (the lead-byte table follows system.japanese).
  void Reset() {
    platform.system = &system;
    engine = std::make_unique<ScriptEngine>(platform, ui);
    std::strcpy(engine->script_path, "D:\\Setup.Inf");
    std::strcpy(engine->program_folder, "D:");
  }

  // Loads script text as if it were D:\Setup.Inf.
  bool Load(const std::string& text) {
    return engine->LoadScriptText(text.data(), static_cast<int>(text.size()));
  }

  FakeSystem system;
  RecordingUi ui;
  Platform platform;
  std::unique_ptr<ScriptEngine> engine;
};

}  // namespace setup::testing
