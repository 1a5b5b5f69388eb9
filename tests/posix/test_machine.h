// The temporary machine folder and the process-wide settings that the POSIX
// back-end tests share.
#pragma once

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/posix/code_page.h"

namespace setup::testing {

// Makes a fresh machine folder below /tmp the machine in use (once per
// process; removed at exit) and returns its host path.
const std::string& UseTestMachine();

// Sets the ANSI code page for one test and puts the old one back.
class CodePageScope {
 public:
  explicit CodePageScope(unsigned code_page) : saved_(posix::AnsiCodePage()) {
    posix::SetAnsiCodePage(code_page);
  }
  ~CodePageScope() { posix::SetAnsiCodePage(saved_); }

 private:
  unsigned saved_;
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
