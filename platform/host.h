// The host services that the program uses: clock, sleep, event pump, command line,
// executable folder, file search, sequential text files and the end of the process.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/value.h"

namespace toverak {

// A local calendar date and time of day, to the millisecond, from one reading of the clock.
struct LocalDateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

enum class FileMode { kTruncate, kAppend };

// A sequential text file opened for output.
class TextFile {
 public:
  virtual ~TextFile() = default;
  // Writes `text` (UTF-8, converted to the file's encoding) followed by CR LF; throws on failure.
  virtual void WriteLine(const std::string& text) = 0;
  // Flushes and closes the file; throws when the data cannot be written.
  virtual void Close() = 0;
};

class Host {
 public:
  virtual ~Host() = default;
  // The local date and time now, every part from the same reading.
  virtual LocalDateTime Now() = 0;
  // Suspends the thread for `ms` milliseconds.
  virtual void Sleep(int32_t ms) = 0;
  // Processes whatever events are pending for the thread, without waiting for new ones.
  virtual void ProcessPendingEvents() = 0;
  // The command-line text after the program name.
  virtual std::string CommandLine() = 0;
  // The folder of the running executable, without a trailing separator.
  virtual std::string ExecutableFolder() = 0;
  // The separator between a folder and a name in paths of this platform.
  virtual char PathSeparator() = 0;
  // The name of the first ordinary file (no folder, no hidden or system file) that matches
  // `pattern`, relative to the current folder; nothing when none matches; throws when the search
  // itself fails.
  virtual std::optional<std::string> FindFirstOrdinaryFile(const std::string& pattern) = 0;
  // Opens `path` for output, creating it when absent; kTruncate empties it, kAppend writes after
  // what is there; throws when it cannot be opened.
  virtual std::unique_ptr<TextFile> OpenTextFile(const std::string& path, FileMode mode) = 0;
  // The platform's standard conversion of a database value to text (Null gives the empty text).
  virtual std::string ValueText(const Value& value) = 0;
  // Writes one line to the process's error output, for failures that the run log cannot take.
  virtual void ReportToConsole(const std::string& text) = 0;
  // Ends the process at once with `status`; files still open are closed by that.
  [[noreturn]] virtual void EndProcess(int status) = 0;
};

}  // namespace toverak
