// The registry of this build's back end for the registry behaviour suite.
// Each platform implements it in a file of its own (tests/posix, tests/win32).
#pragma once

#include <memory>
#include <string>

#include "platform/registry.h"

namespace setup::testing {

// One test's use of the real registry: a key of its own, cleaned away
// afterwards (or left in a machine that is thrown away).
class RealRegistry {
 public:
  RealRegistry();
  ~RealRegistry();
  RealRegistry(const RealRegistry&) = delete;
  RealRegistry& operator=(const RealRegistry&) = delete;

  Registry& registry();
  // Whether the back end takes 0x95 0x5C as one character (a Shift-JIS ANSI
  // code page); tests of double-byte names are skipped otherwise.
  bool DoubleByteNames();

  std::string base;  // the test's key, root included, no final backslash

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace setup::testing
