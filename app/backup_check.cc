#include "app/backup_check.h"

#include "app/check_platform.h"
#include "platform/error.h"
#include "restore/restore_tables.h"
#include "restore/table_steps.h"

namespace toverak {
namespace {

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
  Program checking(Env{host, database, program.env.services}, program.AppPath);
  checking.TargetConnString = kRecordingTarget;
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
