#include "benchmark/child_run.h"

#include "benchmark/measured_env.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>

namespace toverak {
namespace {

// The result as it crosses the pipe: numbers, then the failure text.
struct WireResult {
  bool ok;
  double wall_seconds;
  double paused_seconds;
  double database_seconds;
  int64_t copies_peak_kib;
  int64_t peak_kib;
  char failure[1024];
};

WireResult ToWire(const WayResult& result) {
  WireResult wire{};
  wire.ok = result.ok;
  wire.wall_seconds = result.wall_seconds;
  wire.paused_seconds = result.paused_seconds;
  wire.database_seconds = result.database_seconds;
  wire.copies_peak_kib = result.copies_peak_kib;
  wire.peak_kib = PeakResidentKiB();
  std::strncpy(wire.failure, result.failure.c_str(), sizeof wire.failure - 1);
  return wire;
}

WayResult FromWire(const WireResult& wire) {
  WayResult result;
  result.ok = wire.ok;
  result.failure = std::string(wire.failure, strnlen(wire.failure, sizeof wire.failure));
  result.wall_seconds = wire.wall_seconds;
  result.paused_seconds = wire.paused_seconds;
  result.database_seconds = wire.database_seconds;
  result.copies_peak_kib = wire.copies_peak_kib;
  result.peak_kib = wire.peak_kib;
  return result;
}

[[noreturn]] void RunAndReport(const std::function<WayResult()>& way, int out) {
  WayResult result;
  try {
    result = way();
  } catch (const std::exception& failure) {
    result.ok = false;
    result.failure = failure.what();
  }
  const WireResult wire = ToWire(result);
  const bool written = write(out, &wire, sizeof wire) == ssize_t(sizeof wire);
  _exit(written ? 0 : 1);
}

WayResult Failed(const std::string& why) {
  WayResult result;
  result.failure = why;
  return result;
}

}  // namespace

WayResult RunInChild(const std::function<WayResult()>& way) {
  int ends[2];
  if (pipe(ends) != 0) return Failed("cannot make a pipe");
  const pid_t child = fork();
  if (child < 0) return Failed("cannot fork");
  if (child == 0) {
    close(ends[0]);
    RunAndReport(way, ends[1]);
  }
  close(ends[1]);
  WireResult wire{};
  const bool got = read(ends[0], &wire, sizeof wire) == ssize_t(sizeof wire);
  close(ends[0]);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return Failed("the child was lost");
  WayResult result = got ? FromWire(wire) : Failed("the child ended without a result");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.ok = false;
    if (result.failure.empty()) result.failure = "the child ended abnormally";
  }
  result.peak_kib = std::max<int64_t>(result.peak_kib, usage.ru_maxrss);
  return result;
}

}  // namespace toverak
