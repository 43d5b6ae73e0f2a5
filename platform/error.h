// A raised run-time error: every failing platform operation throws one.
#pragma once

#include <stdexcept>
#include <string>

namespace toverak {

// Carries the description text that the failure handlers write into the run log.
class RaisedError : public std::runtime_error {
 public:
  explicit RaisedError(const std::string& description) : std::runtime_error(description) {}
  std::string Description() const { return what(); }
};

}  // namespace toverak
