// The run log as the service sequences write it, for the tests of the sequences over any
// service manager.
#pragma once

#include <regex>
#include <string>

namespace toverak {

inline constexpr char kAgent[] = "Narvel Discovery Agent";
inline constexpr char kPoller[] = "Narvel Poller";
inline constexpr char kServer[] = "Narvel Server";

// `log` with every time stamp replaced by "<time>".
inline std::string MaskTimes(const std::string& log) {
  static const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
  return std::regex_replace(log, stamp, "<time>");
}

// The lines of one turn: the header group (its time stamp shown as "<time>") and the outcome.
inline std::string Turn(const std::string& name, const std::string& state,
                        const std::string& outcome) {
  return name + "\r\n" + state + "\r\n<time>\r\n" + outcome + "\r\n\r\n";
}

// The turns of stopping the three services when all of them run.
inline std::string StopOfThreeRunning() {
  return Turn(kAgent, "Service is started",
              "Attempting to stop the Discovery service...\r\nService stopped") +
         Turn(kPoller, "Service is started",
              "Attempting to stop the Poll service...\r\nService stopped") +
         Turn(kServer, "Service is started",
              "Attempting to stop the Main service...\r\nService stopped");
}

// The turns of starting the three services when all of them are stopped.
inline std::string StartOfThreeStopped() {
  return Turn(kServer, "Service is stopped",
              "Attempting to start the Main service...\r\nService started") +
         Turn(kPoller, "Service is stopped",
              "Attempting to start the Poll service...\r\nService started") +
         Turn(kAgent, "Service is stopped",
              "Attempting to start the Discovery service...\r\nService is started");
}

}  // namespace toverak
