// Each way of the benchmark runs in a child process of its own, so that the peak memory that
// it reports is its own and not what an earlier way left behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace toverak {

// What one way measured about itself.
struct WayResult {
  bool ok = false;
  // Why the way did not get through; empty when it did.
  std::string failure;
  double wall_seconds = 0;
  double paused_seconds = 0;
  // Seconds in the live database's calls; negative when the way cannot tell them apart.
  double database_seconds = -1;
  // Peak resident memory once the whole-table copies were done; 0 when not measured.
  int64_t copies_peak_kib = 0;
  // Filled in by RunInChild: the peak resident memory of the child (VmHWM at its end), or of
  // the largest process that the child started and waited for (ru_maxrss), whichever is larger.
  int64_t peak_kib = 0;
};

// Runs `way` in a forked child and returns what it measured. A child that throws, dies or
// writes no result gives a result that is not ok and says why.
WayResult RunInChild(const std::function<WayResult()>& way);

}  // namespace toverak
