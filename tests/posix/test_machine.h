// The temporary machine folder that the POSIX back-end tests share, and the
// process-wide settings they change for one test.
#pragma once

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/posix/machine.h"

namespace setup::testing {

// A fresh machine folder below /tmp (made once per process, removed at exit);
// its host path.
const std::string& TestMachineRoot();

// The machine of the shared back-end suites (tests/backend): the test machine
// folder, in Shift-JIS (code page 932) so double-byte names are exercised.
posix::Machine& BackendMachine();

// A simulated machine over the test machine folder, in code_page (by default
// the locale's).
class TestMachine : public posix::Machine {
 public:
  TestMachine() { UseTestRoot(); }
  explicit TestMachine(unsigned code_page) : Machine(code_page) { UseTestRoot(); }

 private:
  void UseTestRoot() {
    if (!SetRoot(TestMachineRoot())) std::abort();
  }
};

// Changes the current folder for one test and goes back afterwards.
class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const std::string& folder) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr || chdir(folder.c_str()) != 0) std::abort();
    saved_ = cwd;
  }
  ~CurrentFolderScope() {
    if (chdir(saved_.c_str()) != 0) std::abort();
  }

 private:
  std::string saved_;
};

// Sets (or with nullptr unsets) an environment variable for one test.
class EnvironmentScope {
 public:
  EnvironmentScope(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) saved_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvironmentScope() {
    if (had_) {
      setenv(name_.c_str(), saved_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::string saved_;
  bool had_ = false;
};

}  // namespace setup::testing
