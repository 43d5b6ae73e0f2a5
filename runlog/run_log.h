// The run log: Toverak.log beside the executable, written in log groups, and the two small
// routines that every part shares, LogTimestamp and PauseWithEvents.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/program.h"

namespace toverak {

// The path of the run log: the executable's folder, the separator, "Toverak.log".
std::string LogPath(Program& program);

// The local date and time as YYYY-MM-DD HH:MM:SS.fff, every part from one reading of the clock.
std::string LogTimestamp(Host& host);

// Waits ms / 10 steps of 10 ms, processing pending events after each step.
void PauseWithEvents(Host& host, int16_t ms);

// One log group written entry by entry: the log is opened in `mode` at construction; End closes
// it and pauses 200 ms. A group left without End (a failure while it is written) closes the file
// without the pause, so that the next group can still reach the log.
class LogGroup {
 public:
  LogGroup(Program& program, FileMode mode);
  LogGroup(const LogGroup&) = delete;
  LogGroup& operator=(const LogGroup&) = delete;
  ~LogGroup();

  // Writes one entry: the text and CR LF.
  void Entry(const std::string& text);
  // Closes the log and pauses 200 ms.
  void End();

 private:
  Program& program_;
  std::unique_ptr<TextFile> file_;
};

// A whole log group: opens the log in `mode`, writes `entries`, closes it, pauses 200 ms.
void WriteLogGroup(Program& program, FileMode mode, const std::vector<std::string>& entries);

}  // namespace toverak
