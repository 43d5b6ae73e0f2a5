#include "restore/backup_check.h"

#include "platform/error.h"
#include "platform/forwarding_database.h"
#include "restore/restore_tables.h"
#include "restore/table_steps.h"

namespace toverak {
namespace {

// The live database of a check: a connection string that no real provider takes.
const char kRecordingTarget[] = "toverak-check: statements are recorded, not sent";

// A connection that records the statements given to it when its string names the recording
// target, and is a real connection otherwise.
class CheckConnection : public ForwardingConnection {
 public:
  CheckConnection(std::unique_ptr<Connection> real, std::vector<std::string>& statements)
      : ForwardingConnection(std::move(real)), statements_(statements) {}
  void SetConnectionString(const std::string& text) override {
    recording_ = text == kRecordingTarget;
    ForwardingConnection::SetConnectionString(text);
  }
  void Open() override {
    if (recording_) {
      open_ = true;
    } else {
      ForwardingConnection::Open();
    }
  }
  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    if (!recording_) return ForwardingConnection::Execute(statement);
    statements_.push_back(statement);
    return nullptr;
  }
  int32_t ErrorsCount() const override {
    return recording_ ? 0 : ForwardingConnection::ErrorsCount();
  }
  int32_t State() const override {
    if (recording_) return open_ ? ado::kStateOpen : ado::kStateClosed;
    return ForwardingConnection::State();
  }
  void Close() override {
    if (recording_) {
      open_ = false;
    } else {
      ForwardingConnection::Close();
    }
  }

 private:
  std::vector<std::string>& statements_;
  bool recording_ = false;
  bool open_ = false;
};

class CheckDatabase : public Database {
 public:
  CheckDatabase(Database& real, std::vector<std::string>& statements)
      : real_(real), statements_(statements) {}
  std::unique_ptr<Connection> NewConnection() override {
    return std::make_unique<CheckConnection>(real_.NewConnection(), statements_);
  }
  std::unique_ptr<Recordset> NewRecordset() override {
    return std::make_unique<ForwardingRecordset>(real_.NewRecordset());
  }

 private:
  Database& real_;
  std::vector<std::string>& statements_;
};

// A log that keeps its entries in memory.
class MemoryTextFile : public TextFile {
 public:
  explicit MemoryTextFile(std::string& text) : text_(text) {}
  void WriteLine(const std::string& text) override { text_ += text + "\n"; }
  void Close() override {}

 private:
  std::string& text_;
};

// The real host, but with the run log kept in memory and no pauses.
class CheckHost : public Host {
 public:
  CheckHost(Host& real, std::string& log) : real_(real), log_(log) {}
  LocalDateTime Now() override { return real_.Now(); }
  void Sleep(int32_t) override {}
  void ProcessPendingEvents() override {}
  std::string CommandLine() override { return real_.CommandLine(); }
  std::string ExecutableFolder() override { return real_.ExecutableFolder(); }
  char PathSeparator() override { return real_.PathSeparator(); }
  std::optional<std::string> FindFirstOrdinaryFile(const std::string& pattern) override {
    return real_.FindFirstOrdinaryFile(pattern);
  }
  std::unique_ptr<TextFile> OpenTextFile(const std::string&, FileMode) override {
    return std::make_unique<MemoryTextFile>(log_);
  }
  std::string ValueText(const Value& value) override { return real_.ValueText(value); }
  void ReportToConsole(const std::string& text) override { real_.ReportToConsole(text); }
  void EndProcess(int status) override { real_.EndProcess(status); }

 private:
  Host& real_;
  std::string& log_;
};

std::string Rows(int64_t count) { return std::to_string(count) + (count == 1 ? " row" : " rows"); }

std::string TableLine(Program& program, Connection& backup, const std::string& table,
                      const std::vector<std::string>* columns) {
  std::unique_ptr<Recordset> rows = program.env.database.NewRecordset();
  try {
    rows->Open(table, backup, ado::kOpenStatic, ado::kLockOptimistic, ado::kCmdTable);
  } catch (const RaisedError& missing) {
    return table + ": missing (" + missing.Description() + ")";
  }
  std::string line = table + ": present";
  if (columns) {
    std::string absent;
    for (const std::string& column : *columns) {
      try {
        rows->GetFields().Item(column);
      } catch (const RaisedError&) {
        absent += (absent.empty() ? "" : ", ") + column;
      }
    }
    line += absent.empty() ? ", every listed column" : ", missing columns: " + absent;
    if (rows->Eof()) line += ", no row to restore from";
  }
  int64_t count = 0;
  for (; !rows->Eof(); rows->MoveNext()) ++count;
  return line + ", " + Rows(count);
}

std::vector<std::string> TableLines(Program& program, const std::string& path) {
  std::unique_ptr<Connection> backup = program.env.database.NewConnection();
  backup->SetConnectionString(BackupConnectionString(path));
  backup->Open();
  std::vector<std::string> lines;
  for (const std::string& table : PlanTables()) {
    lines.push_back(TableLine(program, *backup, table, MergedColumnsOf(table)));
  }
  return lines;
}

}  // namespace

BackupCheck CheckBackup(Program& program, const std::string& path) {
  BackupCheck check;
  std::string log;
  CheckHost host(program.env.host, log);
  CheckDatabase database(program.env.database, check.statements);
  Program checking{
      Env{host, database, program.env.services}, program.AppPath, {}, kRecordingTarget, {}};
  int16_t RestoreOk = 0;
  std::string ProgressText;
  RestoreTables(checking, path, RestoreOk, ProgressText);
  if (!RestoreOk) check.failure = log.substr(0, log.find('\n'));
  try {
    check.tables = TableLines(program, path);
  } catch (const RaisedError&) {
    // The backup itself cannot be opened: the failure line says why.
  }
  return check;
}

}  // namespace toverak
