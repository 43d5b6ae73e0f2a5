#include "runlog/run_log.h"

#include <cstdio>

namespace toverak {

std::string LogPath(Program& program) {
  return program.AppPath + program.env.host.PathSeparator() + "Toverak.log";
}

std::string LogTimestamp(Host& host) {
  const LocalDateTime now = host.Now();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", now.year, now.month,
                now.day, now.hour, now.minute, now.second, now.millisecond);
  return text;
}

void PauseWithEvents(Host& host, int16_t ms) {
  const int steps = ms / 10;
  for (int step = 0; step < steps; ++step) {
    host.Sleep(10);
    host.ProcessPendingEvents();
  }
}

LogGroup::LogGroup(Program& program, FileMode mode)
    : program_(program), file_(program.env.host.OpenTextFile(LogPath(program), mode)) {}

LogGroup::~LogGroup() {
  if (!file_) return;
  try {
    file_->Close();
  } catch (const std::exception&) {
    // The failure that left this group unfinished is the one that gets reported.
  }
}

void LogGroup::Entry(const std::string& text) { file_->WriteLine(text); }

void LogGroup::End() {
  std::unique_ptr<TextFile> file = std::move(file_);
  file->Close();
  PauseWithEvents(program_.env.host, 200);
}

void WriteLogGroup(Program& program, FileMode mode, const std::vector<std::string>& entries) {
  LogGroup group(program, mode);
  for (const std::string& entry : entries) group.Entry(entry);
  group.End();
}

}  // namespace toverak
