// Host path helpers shared by the parts of the simulated machine.
#pragma once

#include <string>
#include <vector>

namespace setup::posix {

// The process's current folder; "" when it cannot be told.
std::string ProcessFolder();

// True when host lies at or below folder (both absolute, without "." or
// ".." parts).
bool IsBelow(const std::string& host, const std::string& folder);

// realpath as a string; "" on failure (errno set).
std::string RealPath(const std::string& path);

// Splits a host path at its slashes, dropping empty and "." parts and
// resolving ".." by name.
std::vector<std::string> SplitHost(const std::string& path);

}  // namespace setup::posix
