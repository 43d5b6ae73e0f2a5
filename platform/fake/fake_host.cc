#include "platform/fake/fake_host.h"

#include <chrono>

#include "platform/error.h"
#include "platform/value_text.h"
#include "platform/wildcard.h"

namespace toverak {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr int64_t kMsPerDay = 86'400'000;

class FakeTextFile : public TextFile {
 public:
  FakeTextFile(FakeHost& host, std::string path) : host_(host), path_(std::move(path)) {}
  void WriteLine(const std::string& text) override { host_.files[path_] += text + "\r\n"; }
  void Close() override { host_.trace.push_back("close " + path_); }

 private:
  FakeHost& host_;
  std::string path_;
};

}  // namespace

FakeHost::FakeHost() { SetClock(2026, 12, 8, 4, 35, 33, 125); }

void FakeHost::SetClock(int year, int month, int day, int hour, int minute, int second, int ms) {
  const sys_days date{
      year_month_day{std::chrono::year{year}, std::chrono::month(month), std::chrono::day(day)}};
  clock_ms_ = date.time_since_epoch().count() * kMsPerDay +
              ((hour * 60 + minute) * 60 + second) * 1000 + ms;
}

LocalDateTime FakeHost::Now() {
  const int64_t day_number = clock_ms_ / kMsPerDay;
  const int64_t ms_of_day = clock_ms_ % kMsPerDay;
  const year_month_day date{sys_days{days{day_number}}};
  LocalDateTime now;
  now.year = int(date.year());
  now.month = int(unsigned(date.month()));
  now.day = int(unsigned(date.day()));
  now.hour = int(ms_of_day / 3'600'000);
  now.minute = int(ms_of_day / 60'000 % 60);
  now.second = int(ms_of_day / 1000 % 60);
  now.millisecond = int(ms_of_day % 1000);
  return now;
}

void FakeHost::Sleep(int32_t ms) {
  clock_ms_ += ms;
  slept_ms_ += ms;
  if (!trace.empty() && trace.back().starts_with("pause ")) {
    trace.back() = "pause " + std::to_string(std::stoll(trace.back().substr(6)) + ms);
  } else {
    trace.push_back("pause " + std::to_string(ms));
  }
}

void FakeHost::ProcessPendingEvents() { ++events_processed; }

std::optional<std::string> FakeHost::FindFirstOrdinaryFile(const std::string& pattern) {
  if (failing_searches.count(pattern)) throw RaisedError("Bad file name or number");
  for (const std::string& name : ordinary_files) {
    if (MatchesWildcard(pattern, name)) return name;
  }
  return std::nullopt;
}

std::unique_ptr<TextFile> FakeHost::OpenTextFile(const std::string& path, FileMode mode) {
  ++opens_;
  if (unopenable_files.count(path) || (opens_before_failure && opens_ > *opens_before_failure)) {
    throw RaisedError("Path/File access error");
  }
  if (mode == FileMode::kTruncate) files[path].clear();
  files.try_emplace(path);
  trace.push_back(std::string(mode == FileMode::kTruncate ? "truncate " : "append ") + path);
  return std::make_unique<FakeTextFile>(*this, path);
}

std::string FakeHost::ValueText(const Value& value) { return GeneralText(value); }

void FakeHost::EndProcess(int status) { throw FakeProcessEnd{status}; }

}  // namespace toverak
