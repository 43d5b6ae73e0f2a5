// The restore run in this process over the real database objects, with a host whose pauses take
// no time and services that are only recorded.
#pragma once

#include <filesystem>
#include <string>

namespace toverak {

struct RestoreOutcome {
  bool ok = false;
  std::string progress;
  std::string log;  // the run log: the error handler's entries, if any
};

// The restore of the backup at `backup` into the live database of the connection string
// `target`.
RestoreOutcome RestoreInProcess(const std::string& target, const std::filesystem::path& backup);

}  // namespace toverak
