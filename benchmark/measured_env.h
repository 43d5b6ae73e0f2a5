// The platform objects of toverak's restore as the benchmark runs it: the real ones, with
// stopwatches on the mandated pauses and on the live database's statements.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/database.h"
#include "platform/forwarding_host.h"

namespace toverak {

// The peak resident memory of this process so far (VmHWM), in KiB; 0 when unknown.
int64_t PeakResidentKiB();

// The real host, adding up the time spent in its pauses (Sleep and the event pump between the
// sleeps); without `sleeps`, the pauses are asked for but not slept.
class PauseTimingHost : public ForwardingHost {
 public:
  PauseTimingHost(Host& real, bool sleeps) : ForwardingHost(real), sleeps_(sleeps) {}
  void Sleep(int32_t ms) override;
  void ProcessPendingEvents() override;

  // Seconds spent pausing since construction.
  double PausedSeconds() const { return paused_seconds_; }

 private:
  bool sleeps_;
  double paused_seconds_ = 0;
};

// What the live connections of a TimingDatabase saw.
struct LiveDatabaseTimes {
  // Seconds spent in Execute on the live database.
  double executing_seconds = 0;
  // INSERT statements that the live database accepted.
  int64_t rows_inserted = 0;
  // The peak resident memory when the event-log step began, that is once the ten whole-table
  // copies and the two merges were done; 0 when that step never began.
  int64_t peak_before_event_log_kib = 0;
};

// The real database; connections whose string is `live_connection_string` time their Execute
// calls into `times`, every other connection (the backup's) passes straight through.
class TimingDatabase : public Database {
 public:
  TimingDatabase(Database& real, std::string live_connection_string, LiveDatabaseTimes& times)
      : real_(real), live_(std::move(live_connection_string)), times_(times) {}
  std::unique_ptr<Connection> NewConnection() override;
  std::unique_ptr<Recordset> NewRecordset() override;

 private:
  Database& real_;
  std::string live_;
  LiveDatabaseTimes& times_;
};

}  // namespace toverak
