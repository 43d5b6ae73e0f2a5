// restore-benchmark [--scale N]...: restores one generated backup (per scale: 100,000 ATR_Log
// rows and 10,000 rows in each whole-copy table, times N) into the same empty SQLite database
// three ways, side by side: toverak's restore, mdbtools' own pipeline, and a bare loop that
// sends the identical statements through the same ODBC driver. Each way runs in a child process
// of its own, so that its peak memory is its own.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/forwarding_database.h"
#include "platform/posix/posix_env.h"
#include "restore/backup_check.h"
#include "restore/restore_tables.h"
#include "testing/jet_writer.h"
#include "testing/product_folder.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The backup of the fixture, each table grown by generated rows made from its first row.
nlohmann::json GrownBackup(double scale) {
  nlohmann::json description = Fixture("narvel_backup");
  for (auto& table : description["tables"]) {
    const std::string name = table["name"];
    if (name == "Settings" || name == "DiscAgt") continue;
    nlohmann::json row = table["rows"][0];
    row[0] = "{n}";
    for (size_t i = 1; i < row.size(); ++i) {
      if (row[i].is_string() && table["columns"][i]["type"] != "datetime" &&
          table["columns"][i]["type"] != "currency") {
        // Room for " " and up to seven digits of n within the column's size.
        const size_t room = size_t(table["columns"][i].value("size", 255)) - 8;
        row[i] = row[i].get<std::string>().substr(0, std::min<size_t>(room, 20)) + " {n}";
      }
    }
    const int count = int((name == "ATR_Log" ? 100'000 : 10'000) * scale);
    table["generate"] = {{"count", count}, {"first", 1000}, {"row", row}};
  }
  return description;
}

int64_t PeakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stoll(line.substr(6));
  }
  return 0;
}

// The real host, counting the time spent in the mandated pauses.
class PausesTimedHost : public Host {
 public:
  explicit PausesTimedHost(Host& real) : real_(real) {}
  LocalDateTime Now() override { return real_.Now(); }
  void Sleep(int32_t ms) override {
    const auto start = Clock::now();
    real_.Sleep(ms);
    paused += SecondsSince(start);
  }
  void ProcessPendingEvents() override { real_.ProcessPendingEvents(); }
  std::string CommandLine() override { return real_.CommandLine(); }
  std::string ExecutableFolder() override { return real_.ExecutableFolder(); }
  char PathSeparator() override { return real_.PathSeparator(); }
  std::optional<std::string> FindFirstOrdinaryFile(const std::string& pattern) override {
    return real_.FindFirstOrdinaryFile(pattern);
  }
  std::unique_ptr<TextFile> OpenTextFile(const std::string& path, FileMode mode) override {
    return real_.OpenTextFile(path, mode);
  }
  std::string ValueText(const Value& value) override { return real_.ValueText(value); }
  void ReportToConsole(const std::string& text) override { real_.ReportToConsole(text); }
  void EndProcess(int status) override { real_.EndProcess(status); }
  double paused = 0;

 private:
  Host& real_;
};

// Connections that count the time spent in their Execute calls.
class ExecuteTimedConnection : public ForwardingConnection {
 public:
  ExecuteTimedConnection(std::unique_ptr<Connection> real, double& seconds)
      : ForwardingConnection(std::move(real)), seconds_(seconds) {}
  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    const auto start = Clock::now();
    auto result = ForwardingConnection::Execute(statement);
    seconds_ += SecondsSince(start);
    return result;
  }

 private:
  double& seconds_;
};

class ExecuteTimedDatabase : public Database {
 public:
  explicit ExecuteTimedDatabase(Database& real) : real_(real) {}
  std::unique_ptr<Connection> NewConnection() override {
    return std::make_unique<ExecuteTimedConnection>(real_.NewConnection(), executing);
  }
  std::unique_ptr<Recordset> NewRecordset() override {
    return std::make_unique<ForwardingRecordset>(real_.NewRecordset());
  }
  double executing = 0;

 private:
  Database& real_;
};

struct Measured {
  double wall = 0;
  double paused = 0;
  double executing = 0;
  int64_t peak_kib = 0;
  bool ok = false;
};

// Runs `way` in a child process and brings back what it measured.
template <typename Way>
Measured InChild(Way way) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    Measured measured = way();
    measured.peak_kib = PeakMemoryKiB();
    if (write(pipe_ends[1], &measured, sizeof measured) != sizeof measured) _exit(1);
    _exit(0);
  }
  close(pipe_ends[1]);
  Measured measured;
  if (read(pipe_ends[0], &measured, sizeof measured) != sizeof measured) measured.ok = false;
  close(pipe_ends[0]);
  waitpid(child, nullptr, 0);
  return measured;
}

std::string EmptyLive(const std::filesystem::path& file) {
  std::filesystem::remove(file);
  const std::string command = "sqlite3 '" + file.string() +
                              "' < '" TOVERAK_SOURCE_DIR
                              "/testing/fixtures/live_schema_sqlite.sql'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot make %s\n", file.c_str());
  return "Driver={SQLite3};Database=" + file.string();
}

Measured ToveraksRestore(const std::string& backup, const std::string& live) {
  std::vector<char*> no_arguments{const_cast<char*>("toverak")};
  std::unique_ptr<Host> real_host = NewPosixHost(1, no_arguments.data());
  std::unique_ptr<Database> real_database = NewPosixDatabase();
  std::unique_ptr<ServiceManager> services = NewPosixServiceManager();
  PausesTimedHost host(*real_host);
  ExecuteTimedDatabase database(*real_database);
  Program program{Env{host, database, *services},
                  std::filesystem::temp_directory_path().string(),
                  {},
                  live,
                  {}};
  int16_t RestoreOk = 0;
  std::string ProgressText;
  const auto start = Clock::now();
  RestoreTables(program, backup, RestoreOk, ProgressText);
  return Measured{SecondsSince(start), host.paused, database.executing, 0, RestoreOk != 0};
}

Measured MdbtoolsPipeline(const std::string& backup, const std::string& live_file) {
  const auto start = Clock::now();
  bool ok = true;
  for (const std::string& table : PlanTables()) {
    const std::string command = "mdb-export -I sqlite '" + backup + "' " + table + " | sqlite3 '" +
                                live_file + "' 2>/dev/null";
    ok = std::system(command.c_str()) == 0 && ok;
  }
  return Measured{SecondsSince(start), 0, 0, 0, ok};
}

Measured BareLoop(const std::vector<std::string>& statements, const std::string& live) {
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<Connection> connection = database->NewConnection();
  connection->SetConnectionString(live);
  connection->Open();
  const auto start = Clock::now();
  for (const std::string& statement : statements) connection->Execute(statement);
  const double wall = SecondsSince(start);
  return Measured{wall, 0, wall, 0, true};
}

// Returns whether toverak's restore completed.
bool RunScale(double scale, const TempFolder& folder) {
  const std::filesystem::path backup = folder.path() / "NarvelBackup.mdb";
  WriteJetDatabase(GrownBackup(scale), backup);
  const std::filesystem::path live = folder.path() / "live.db";

  std::vector<char*> no_arguments{const_cast<char*>("toverak")};
  std::unique_ptr<Host> host = NewPosixHost(1, no_arguments.data());
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<ServiceManager> services = NewPosixServiceManager();
  Program program{Env{*host, *database, *services}, folder.path().string(), {}, {}, {}};
  const std::vector<std::string> statements = CheckBackup(program, backup.string()).statements;
  const size_t rows = statements.size();

  const std::string live_text = EmptyLive(live);
  const Measured toverak = InChild([&] { return ToveraksRestore(backup.string(), live_text); });
  EmptyLive(live);
  const Measured peer = InChild([&] { return MdbtoolsPipeline(backup.string(), live.string()); });
  EmptyLive(live);
  const Measured bare = InChild([&] { return BareLoop(statements, live_text); });

  const double unpaused = toverak.wall - toverak.paused;
  std::printf("\nscale %g: %zu statements (%d ATR_Log rows, %d rows in each whole-copy table)\n",
              scale, rows, int(100'000 * scale), int(10'000 * scale));
  std::printf("  %-28s %9s %9s %9s %11s %9s\n", "way", "wall s", "pauses s", "db s", "rows/s",
              "peak MiB");
  const auto line = [&](const char* name, const Measured& m, double seconds) {
    std::printf("  %-28s %9.2f %9.2f %9.2f %11.0f %9.1f%s\n", name, m.wall, m.paused, m.executing,
                double(rows) / seconds, double(m.peak_kib) / 1024, m.ok ? "" : "  (failed)");
  };
  line("toverak", toverak, toverak.wall);
  std::printf("  %-28s %9.2f %9s %9s %11.0f\n", "toverak without pauses", unpaused, "", "",
              double(rows) / unpaused);
  line("mdb-export | sqlite3", peer, peer.wall);
  line("bare ODBC loop", bare, bare.wall);
  std::printf("  toverak without pauses / bare loop: %.2f;  toverak / mdbtools pipeline: %.2f\n",
              unpaused / bare.wall, toverak.wall / peer.wall);
  return toverak.ok;
}

}  // namespace
}  // namespace toverak

int main(int argc, char** argv) {
  std::vector<double> scales;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--scale") == 0) scales.push_back(std::atof(argv[i + 1]));
  }
  if (scales.empty()) scales = {1, 10};
  const toverak::TempFolder folder;
  bool all_completed = true;
  for (double scale : scales) all_completed = toverak::RunScale(scale, folder) && all_completed;
  return all_completed ? 0 : 1;
}
