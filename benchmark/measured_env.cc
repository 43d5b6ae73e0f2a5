#include "benchmark/measured_env.h"

#include <chrono>
#include <fstream>

#include "platform/forwarding_database.h"

namespace toverak {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class TimingConnection : public ForwardingConnection {
 public:
  TimingConnection(std::unique_ptr<Connection> real, const std::string& live,
                   LiveDatabaseTimes& times)
      : ForwardingConnection(std::move(real)), live_(live), times_(times) {}

  void SetConnectionString(const std::string& text) override {
    timed_ = text == live_;
    ForwardingConnection::SetConnectionString(text);
  }

  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    if (!timed_) return ForwardingConnection::Execute(statement);
    if (statement == "DELETE FROM ATR_Log") times_.peak_before_event_log_kib = PeakResidentKiB();
    const Clock::time_point start = Clock::now();
    std::unique_ptr<Recordset> result = ForwardingConnection::Execute(statement);
    times_.executing_seconds += SecondsSince(start);
    if (statement.starts_with("INSERT ")) ++times_.rows_inserted;
    return result;
  }

 private:
  const std::string& live_;
  LiveDatabaseTimes& times_;
  bool timed_ = false;
};

}  // namespace

int64_t PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stoll(line.substr(6));
  }
  return 0;
}

void PauseTimingHost::Sleep(int32_t ms) {
  const Clock::time_point start = Clock::now();
  if (sleeps_) inner_.Sleep(ms);
  paused_seconds_ += SecondsSince(start);
}

void PauseTimingHost::ProcessPendingEvents() {
  const Clock::time_point start = Clock::now();
  inner_.ProcessPendingEvents();
  paused_seconds_ += SecondsSince(start);
}

std::unique_ptr<Connection> TimingDatabase::NewConnection() {
  return std::make_unique<TimingConnection>(real_.NewConnection(), live_, times_);
}

std::unique_ptr<Recordset> TimingDatabase::NewRecordset() {
  return std::make_unique<ForwardingRecordset>(real_.NewRecordset());
}

}  // namespace toverak
