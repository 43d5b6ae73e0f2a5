// Faults in the middle of whole runs of the real executable: the live server going down, the
// backup vanishing or cut short, a run log that cannot be written, a service that stays stop
// pending and the bus going away. Each run ends in order, within the documented time-outs, with
// its exit status, and no line that claims a success that did not happen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "platform/posix/posix_env.h"
#include "platform/posix/systemd/service_manager_systemd.h"
#include "restore/restore_tables.h"
#include "testing/dbus_systemd.h"
#include "testing/postgres_server.h"
#include "testing/product_folder.h"

namespace toverak {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// What a run writes only when that much went well.
const char* const kSuccessLines[] = {"Restore Operation Completed", "Service started",
                                     "All services started"};

// The last `count` lines of the log.
std::vector<std::string> Tail(const std::string& log, size_t count) {
  const std::vector<std::string> lines = LogLines(log);
  if (lines.size() < count) return lines;
  return {lines.end() - std::ptrdiff_t(count), lines.end()};
}

// The progress lines of the plan up to and including `table`'s.
std::vector<std::string> ProgressUpTo(const std::string& table) {
  std::vector<std::string> lines;
  for (const std::string& planned : PlanTables()) {
    lines.push_back("Restore of Table " + planned + "...");
    if (planned == table) break;
  }
  return lines;
}

void ExpectNoSuccessClaimed(const std::string& log) {
  for (const char* claim : kSuccessLines) EXPECT_THAT(log, Not(HasSubstr(claim))) << claim;
}

// One value of the first row of `query` on the live database, as text.
std::string LiveValue(const std::string& live, const std::string& query) {
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<Connection> connection = database->NewConnection();
  connection->SetConnectionString(live);
  connection->Open();
  std::unique_ptr<Recordset> rows = connection->Execute(query);
  const Value value = rows->GetFields().Item(0).GetValue();
  if (const auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
  if (const auto* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return "?";
}

std::string Count(const std::string& live, const std::string& table) {
  return LiveValue(live, "SELECT count(*) FROM " + table);
}

// The row counts of the live tables of the plan, in plan order.
std::vector<std::string> Counts(const std::string& live) {
  std::vector<std::string> counts;
  for (const std::string& table : PlanTables()) counts.push_back(Count(live, table));
  return counts;
}

// Gives a folder's mode back when the test ends, so that its temporary folder can be removed.
class ModeChange {
 public:
  ModeChange(fs::path path, fs::perms mode) : path_(std::move(path)) {
    previous_ = fs::status(path_).permissions();
    fs::permissions(path_, mode);
  }
  ~ModeChange() {
    std::error_code ignored;
    fs::permissions(path_, previous_, ignored);
  }

 private:
  fs::path path_;
  fs::perms previous_;
};

// The folder of a bus's socket.
fs::path BusFolder(const SystemdOnPrivateBus& bus) {
  const std::string prefix = "unix:path=";
  EXPECT_THAT(bus.address(), StartsWith(prefix));
  const std::string socket = bus.address().substr(prefix.size());
  return fs::path(socket.substr(0, socket.find(','))).parent_path();
}

// Lets a run as another user reach the bus's socket.
void OpenBusToEveryone(const SystemdOnPrivateBus& bus) {
  fs::permissions(BusFolder(bus), fs::perms(0711));
}

// The process id of the bus daemon of `bus`, a child of this test: the process that runs with
// that bus's configuration file; -1 when there is none.
pid_t BusDaemon(const SystemdOnPrivateBus& bus) {
  const std::string config = "--config-file=" + (BusFolder(bus) / "bus.conf").string() + '\0';
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string command_line = ReadWholeFile(entry.path() / "cmdline");
    if (command_line.find(config) != std::string::npos) return pid_t(std::stoi(name));
  }
  return -1;
}

class Faults : public testing::Test {
 protected:
  Faults() : product_(TOVERAK_EXECUTABLE) {}

  std::string TemplatePath() const {
    return (product_.backups() / "NarvelBackup_xxxx-xx-xx.mdb").string();
  }
  fs::path TodaysBackup(const nlohmann::json& description) const {
    return product_.WriteBackup(description, "NarvelBackup_" + TodayText() + ".mdb");
  }
  // A live SQLite database beside the backups, with the 13 tables and their older rows.
  std::string SqliteLive() const {
    const fs::path file = product_.backups() / "live.db";
    for (const char* script : {"live_schema_sqlite.sql", "live_older_rows.sql"}) {
      const std::string command =
          "sqlite3 '" + file.string() + "' < " + TOVERAK_SOURCE_DIR + "/testing/fixtures/" + script;
      EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
    return "Driver={SQLite3};Database=" + file.string();
  }
  // A product set up on a live SQLite database with today's backup; the live database's text.
  std::string SetUpOnSqlite() {
    const std::string live = SqliteLive();
    product_.WriteNarvelMdb(true, live);
    backup_ = TodaysBackup(Fixture("narvel_backup"));
    return live;
  }
  void ExpectUnits(SystemdOnPrivateBus& bus, const std::vector<std::string>& states) {
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(bus.ActiveState(kServices[i]), states[i]) << kServices[i];
    }
  }

  ProductFolder product_;
  fs::path backup_;
};

// The restore's failure, once the services are down: its handler's line, the empty entry, the
// progress (empty here, the backup never opened) and the driver's own line.
void ExpectRestoreFailedBeforeTheFirstTable(const ProductRun& run, const std::string& cause) {
  EXPECT_EQ(run.status, 5) << run.console;
  const std::vector<std::string> tail = Tail(run.log, 7);
  ASSERT_EQ(tail.size(), 7u) << run.log;
  EXPECT_EQ(tail[0], "Starting Restore...");
  EXPECT_EQ(tail[2], "");
  EXPECT_THAT(tail[3], StartsWith("Restore_Err_Handler: "));
  EXPECT_THAT(tail[3], HasSubstr(cause));
  EXPECT_EQ(tail[4], "");
  EXPECT_EQ(tail[5], "");
  EXPECT_EQ(tail[6], "Restore Failed");
  ExpectNoSuccessClaimed(run.log);
}

TEST_F(Faults, TheBackupRemovedAfterTheServicesStopped) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const std::string live = SetUpOnSqlite();
  const std::vector<std::string> before = Counts(live);
  RunningProduct running = product_.Start(TemplatePath());
  ASSERT_TRUE(running.WaitForLog("Service stopped", 3, 60));
  fs::remove(backup_);
  const ProductRun run = running.Finish();
  ExpectRestoreFailedBeforeTheFirstTable(run, backup_.string());
  EXPECT_EQ(Counts(live), before);
  ExpectUnits(bus, {"inactive", "inactive", "inactive"});
}

// The log cannot even be made: nothing is touched, and the one place left to tell it is the
// error output.
TEST_F(Faults, TheLogFolderReadOnlyBeforeTheRun) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const std::string live = SetUpOnSqlite();
  const std::vector<std::string> before = Counts(live);
  product_.HandTo(kNobody);
  ModeChange read_only(product_.product(), fs::perms(0555));
  const ProductRun run = product_.Start(TemplatePath(), 60, kNobody).Finish();
  EXPECT_EQ(run.status, 8) << run.console;
  EXPECT_THAT(run.console, HasSubstr("the run log cannot be written"));
  EXPECT_FALSE(fs::exists(product_.LogPath()));
  EXPECT_EQ(Counts(live), before);
  ExpectUnits(bus, {"active", "active", "active"});
}

// The log is only ever opened, never made anew, once the run has made it: a folder that turns
// read-only meanwhile changes nothing.
TEST_F(Faults, TheLogFolderMadeReadOnlyDuringTheRun) {
  SystemdOnPrivateBus bus(kRunningUnits);
  OpenBusToEveryone(bus);
  const std::string live = SetUpOnSqlite();
  product_.HandTo(kNobody);
  RunningProduct running = product_.Start(TemplatePath(), 180, kNobody);
  ASSERT_TRUE(running.WaitForLog("Attempting to stop the Poll service...", 1, 60));
  ModeChange read_only(product_.product(), fs::perms(0555));
  const ProductRun run = running.Finish();
  EXPECT_EQ(run.status, 0) << run.console;
  EXPECT_EQ(Tail(run.log, 1), std::vector<std::string>{"All services started"});
  EXPECT_EQ(Count(live, "ATR_Log"), "3");
  ExpectUnits(bus, {"active", "active", "active"});
}

// A log that can no longer be written once the services are down ends the run at its next
// group: the services stay stopped, the restore never starts, and the error output says why.
TEST_F(Faults, TheLogFileMadeReadOnlyAfterTheServicesStopped) {
  SystemdOnPrivateBus bus(kRunningUnits);
  OpenBusToEveryone(bus);
  const std::string live = SetUpOnSqlite();
  const std::vector<std::string> before = Counts(live);
  product_.HandTo(kNobody);
  RunningProduct running = product_.Start(TemplatePath(), 180, kNobody);
  ASSERT_TRUE(running.WaitForLog("Service stopped", 3, 60));
  ModeChange read_only(product_.LogPath(), fs::perms(0444));
  const ProductRun run = running.Finish();
  EXPECT_EQ(run.status, 8) << run.console;
  EXPECT_THAT(run.console, HasSubstr("the run log cannot be written"));
  EXPECT_EQ(Tail(run.log, 2), (std::vector<std::string>{"Service stopped", ""}));
  EXPECT_EQ(Counts(live), before);
  ExpectUnits(bus, {"inactive", "inactive", "inactive"});
}

// Stop pending is no state that the stop sequence acts on: that service is neither asked nor
// counted, and the run is cancelled before anything is restored.
TEST_F(Faults, AServiceThatStaysStopPending) {
  SystemdOnPrivateBus bus(
      {"Narvel Discovery Agent=active", "Narvel Poller=deactivating", "Narvel Server=active"});
  const std::string live = SetUpOnSqlite();
  const std::vector<std::string> before = Counts(live);
  const ProductRun run = product_.Run(TemplatePath(), 60);
  EXPECT_EQ(run.status, 4) << run.console;
  const std::vector<std::string> lines = LogLines(run.log);
  const auto poller = std::find(lines.begin(), lines.end(), "Narvel Poller");
  ASSERT_GE(std::distance(poller, lines.end()), 6) << run.log;
  EXPECT_EQ(poller[1], "Service is installed. Status unknown");
  EXPECT_EQ(std::vector<std::string>(poller + 3, poller + 6),
            (std::vector<std::string>{"", "", "Narvel Server"}));
  EXPECT_EQ(Tail(run.log, 1), std::vector<std::string>{"Cancel due to not all services stopped"});
  EXPECT_THAT(run.log, Not(HasSubstr("Attempting to stop the Poll service...")));
  // Two stops with their waits and the three state readings: well under the stop sequence's
  // 23 seconds for three services.
  EXPECT_LT(run.seconds, 25);
  EXPECT_EQ(Counts(live), before);
  ExpectUnits(bus, {"inactive", "deactivating", "inactive"});
}

// Without the bus the start sequence finds no service: it asks for nothing, counts none and
// says so, after a restore that is done.
TEST_F(Faults, TheBusGoingAwayBetweenTheStopAndTheStart) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const std::string live = SetUpOnSqlite();
  RunningProduct running = product_.Start(TemplatePath());
  ASSERT_TRUE(running.WaitForLog("Starting Restore...", 1, 60));
  const pid_t daemon = BusDaemon(bus);
  ASSERT_GT(daemon, 0);
  ASSERT_EQ(kill(daemon, SIGKILL), 0);
  const ProductRun run = running.Finish();
  EXPECT_EQ(run.status, 6) << run.console;
  std::vector<std::string> start;
  for (const char* service : {"Narvel Server", "Narvel Poller", "Narvel Discovery Agent"}) {
    start.insert(start.end(), {service, "Service not installed", "<stamp>", "", ""});
  }
  start.push_back("Failed to start all services");
  std::vector<std::string> tail = Tail(run.log, start.size());
  for (size_t i = 2; i < tail.size(); i += 5) tail[i] = "<stamp>";
  EXPECT_EQ(tail, start) << run.log;
  EXPECT_THAT(run.log, HasSubstr("Restore Operation Completed"));
  EXPECT_THAT(run.log, Not(HasSubstr("Attempting to start")));
  EXPECT_EQ(Count(live, "ATR_Log"), "3");
  // Each state reading fails at once; the pauses come to under 6 seconds.
  EXPECT_LT(run.seconds, 23 + 15);
}

// A bus that takes the connection but never answers it (its daemon stopped) costs a manager
// handle no more than the call time-out: the greeting is waited for only that long.
TEST(HungBus, OpeningTheManagerGivesUpAfterTheCallTimeOut) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const pid_t daemon = BusDaemon(bus);
  ASSERT_GT(daemon, 0);
  ASSERT_EQ(kill(daemon, SIGSTOP), 0);
  const std::unique_ptr<ServiceManager> manager = NewSystemdServiceManager(std::chrono::seconds(2));
  const auto started = std::chrono::steady_clock::now();
  const ServiceHandle handle = manager->OpenManager(scm::kManagerConnect);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  kill(daemon, SIGCONT);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(manager->LastError(), 1053);  // ERROR_SERVICE_REQUEST_TIMEOUT
  EXPECT_GE(took.count(), 1.9);
  EXPECT_LT(took.count(), 5);
}

// A whole-table copy of many rows in the middle of the plan: MibObjects.
nlohmann::json BackupWithManyMibObjects() {
  nlohmann::json description = Fixture("narvel_backup");
  for (auto& table : description["tables"]) {
    if (table["name"] != "MibObjects") continue;
    table["rows"] = nlohmann::json::array();
    table["generate"] = {{"count", 100000},
                         {"row", {"{n}", "1.3.6.1.4.1.{n}", "object-{n}", "object {n}'s text"}}};
  }
  return description;
}

// Waits until the live `table` holds at least `rows` rows.
void WaitForRows(const std::string& live, const std::string& table, int rows) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::atoi(Count(live, table).c_str()) < rows) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << table << " is not being filled";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// The restore's failure after the handler's line: the empty entry, the progress, the driver's
// line.
std::vector<std::string> WithFailure(std::vector<std::string> progress) {
  progress.insert(progress.begin(), "");
  progress.push_back("Restore Failed");
  return progress;
}

// The tables before MibObjects hold the backup's rows, MibObjects some of them, the tables after
// it what they held before.
void ExpectLeftInTheMiddleOfMibObjects(const std::string& live,
                                       const std::vector<std::string>& before) {
  const std::vector<std::string> after = Counts(live);
  EXPECT_THAT(std::vector<std::string>(after.begin(), after.begin() + 5),
              ElementsAreArray({"3", "2", "2", "3", "1"}));
  const int copied = std::atoi(after[5].c_str());
  EXPECT_GE(copied, 2000);
  EXPECT_LT(copied, 100000);
  EXPECT_EQ(std::vector<std::string>(after.begin() + 6, after.end()),
            std::vector<std::string>(before.begin() + 6, before.end()));
}

// The server goes down while MibObjects is being copied: the INSERT in flight fails, the
// handler logs the database's message, and the tables after it are never touched.
TEST_F(Faults, TheLiveServerStoppedInTheMiddleOfATable) {
  SystemdOnPrivateBus bus(kRunningUnits);
  PostgresServer server;
  const std::string live = server.OdbcText(server.NewLiveDatabase());
  const std::vector<std::string> before = Counts(live);
  product_.WriteNarvelMdb(true, live);
  TodaysBackup(BackupWithManyMibObjects());

  RunningProduct running = product_.Start(TemplatePath());
  ASSERT_TRUE(running.WaitForLog("Starting Restore...", 1, 60));
  WaitForRows(live, "MibObjects", 2000);
  server.StopAbruptly();
  const ProductRun run = running.Finish();

  EXPECT_EQ(run.status, 5) << run.console;
  std::vector<std::string> tail = Tail(run.log, 9);
  ASSERT_EQ(tail.size(), 9u);
  EXPECT_THAT(tail[0], StartsWith("Restore_Err_Handler: "));
  EXPECT_THAT(tail[0], HasSubstr("SQLSTATE")) << "not the database's own message";
  EXPECT_EQ(std::vector<std::string>(tail.begin() + 1, tail.end()),
            WithFailure(ProgressUpTo("MibObjects")));
  ExpectNoSuccessClaimed(run.log);
  ExpectUnits(bus, {"inactive", "inactive", "inactive"});

  // Up again, the server shows what the run left.
  server.StartAgain();
  ExpectLeftInTheMiddleOfMibObjects(live, before);
}

// The backup is cut short while MibObjects is being read from it: the page that is no longer
// there fails the read, and the run ends in the restore's handler with the rows copied so far.
TEST_F(Faults, TheBackupTruncatedInTheMiddleOfATable) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const std::string live = SqliteLive();
  const std::vector<std::string> before = Counts(live);
  product_.WriteNarvelMdb(true, live);
  const fs::path backup = TodaysBackup(BackupWithManyMibObjects());
  RunningProduct running = product_.Start(TemplatePath());
  ASSERT_TRUE(running.WaitForLog("Starting Restore...", 1, 60));
  WaitForRows(live, "MibObjects", 2000);
  // An eighth of the file: well past the rows copied so far, well before the last of them.
  fs::resize_file(backup, fs::file_size(backup) / (8 * 4096) * 4096);
  const ProductRun run = running.Finish();

  EXPECT_EQ(run.status, 5) << run.console;
  std::vector<std::string> tail = Tail(run.log, 9);
  ASSERT_EQ(tail.size(), 9u);
  EXPECT_THAT(tail[0], StartsWith("Restore_Err_Handler: The Access file '" + backup.string()));
  EXPECT_EQ(std::vector<std::string>(tail.begin() + 1, tail.end()),
            WithFailure(ProgressUpTo("MibObjects")));
  ExpectNoSuccessClaimed(run.log);
  ExpectUnits(bus, {"inactive", "inactive", "inactive"});
  ExpectLeftInTheMiddleOfMibObjects(live, before);
}

}  // namespace
}  // namespace toverak
