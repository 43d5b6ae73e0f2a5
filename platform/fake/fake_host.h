// An in-memory host for tests: a clock that advances only when the code sleeps, in-memory
// files, a scripted command line and file search, and a trace of what the code did.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/host.h"

namespace toverak {

// Thrown by FakeHost::EndProcess, so that a test sees the end of the process.
struct FakeProcessEnd {
  int status;
};

class FakeHost : public Host {
 public:
  FakeHost();

  LocalDateTime Now() override;
  void Sleep(int32_t ms) override;
  void ProcessPendingEvents() override;
  std::string CommandLine() override { return command_line; }
  std::string ExecutableFolder() override { return executable_folder; }
  char PathSeparator() override { return '/'; }
  std::optional<std::string> FindFirstOrdinaryFile(const std::string& pattern) override;
  std::unique_ptr<TextFile> OpenTextFile(const std::string& path, FileMode mode) override;
  std::string ValueText(const Value& value) override;
  void ReportToConsole(const std::string& text) override { console.push_back(text); }
  [[noreturn]] void EndProcess(int status) override;

  // Sets the clock to a local date and time.
  void SetClock(int year, int month, int day, int hour, int minute, int second, int ms = 0);
  // Milliseconds slept since the fake was made.
  int64_t SleptMs() const { return slept_ms_; }

  // Scripted inputs.
  std::string command_line;
  std::string executable_folder = "/opt/narvel";
  // Names that the file search finds; "*" and "?" in a pattern match as wildcards.
  std::set<std::string> ordinary_files;
  // Patterns whose search fails with a raised error.
  std::set<std::string> failing_searches;
  // Paths that cannot be opened; and the number of opens after which every open fails.
  std::set<std::string> unopenable_files;
  std::optional<int> opens_before_failure;

  // What the code did: file contents by path, lines to the console, and a trace of opens,
  // closes, pauses (consecutive sleeps joined: "pause 200") and events processed.
  std::map<std::string, std::string> files;
  std::vector<std::string> console;
  std::vector<std::string> trace;
  int events_processed = 0;

 private:
  int64_t clock_ms_ = 0;  // milliseconds since the start of the clock's day zero
  int64_t slept_ms_ = 0;
  int opens_ = 0;
};

}  // namespace toverak
