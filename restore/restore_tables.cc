#include "restore/restore_tables.h"

#include <exception>

#include "restore/restore_run.h"
#include "restore/table_steps.h"
#include "runlog/run_log.h"

namespace toverak {
namespace {

enum class Method { kWholeTable, kWholeTableWithDates, kSingleRow, kEventLog };

struct PlanStep {
  const char* table;
  Method method;
};

constexpr PlanStep kPlan[] = {
    {"ATR_Nodes", Method::kWholeTableWithDates},
    {"ATR_NodeGroups", Method::kWholeTable},
    {"ATR_Users", Method::kWholeTable},
    {"Services", Method::kWholeTable},
    {"Settings", Method::kSingleRow},
    {"MibObjects", Method::kWholeTable},
    {"TrapEvents", Method::kWholeTable},
    {"EventActions", Method::kWholeTable},
    {"DiscAgt", Method::kSingleRow},
    {"ScanRange", Method::kWholeTable},
    {"CustomMenus", Method::kWholeTable},
    {"SecProfiles", Method::kWholeTable},
    {"ATR_Log", Method::kEventLog},
};

StepOutcome RunPlanStep(RestoreRun& run, const PlanStep& step) {
  switch (step.method) {
    case Method::kWholeTable:
      return CopyWholeTable(run, step.table, false);
    case Method::kWholeTableWithDates:
      return CopyWholeTable(run, step.table, true);
    case Method::kSingleRow:
      MergeSingleRowTable(run, step.table, *MergedColumnsOf(step.table));
      return StepOutcome::kDone;
    case Method::kEventLog:
      return CopyEventLogTable(run);
  }
  return StepOutcome::kDone;
}

std::unique_ptr<Connection> OpenConnection(Program& program, const std::string& text,
                                           int32_t timeout_seconds) {
  std::unique_ptr<Connection> connection = program.env.database.NewConnection();
  connection->SetConnectionString(text);
  if (timeout_seconds > 0) connection->SetConnectionTimeout(timeout_seconds);
  connection->Open();
  return connection;
}

void CloseIfOpen(auto& object) {
  if (object && object->State() == ado::kStateOpen) object->Close();
}

// The target error check found entries: no error is being handled, so the one entry that
// this exit writes holds an empty description.
void TargetErrorExit(RestoreRun& run) {
  WriteLogGroup(run.program, FileMode::kAppend, {""});
  run.TargetConnection.reset();
}

void Complete(RestoreRun& run, std::string& ProgressText) {
  ProgressText +=
      "\r\nRestore Operation Completed\r\n" + LogTimestamp(run.program.env.host) + "\r\n\r\n";
  CloseIfOpen(run.StatementResult);
  CloseIfOpen(run.TargetConnection);
  CloseIfOpen(run.BackupConnection);
  run.StatementResult.reset();
  run.TargetConnection.reset();
  run.SourceRecordset.reset();
  run.BackupConnection.reset();
}

// Restore_Err_Handler: the raised error's description, an empty line, and every object let go
// without Close.
void Restore_Err_Handler(RestoreRun& run, const std::string& description) {
  WriteLogGroup(run.program, FileMode::kAppend, {"Restore_Err_Handler: " + description, ""});
  run.SourceRecordset.reset();
  run.StatementResult.reset();
  run.BackupConnection.reset();
  run.TargetConnection.reset();
}

}  // namespace

std::vector<std::string> PlanTables() {
  std::vector<std::string> tables;
  for (const PlanStep& step : kPlan) tables.push_back(step.table);
  return tables;
}

std::string BackupConnectionString(const std::string& RestoreFilePath) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + RestoreFilePath +
         ";Persist Security Info=False";
}

void RestoreTables(Program& program, const std::string& RestoreFilePath, int16_t& RestoreOk,
                   std::string& ProgressText) {
  RestoreOk = 0;
  RestoreRun run{program, {}, {}, {}, {}, {}, 0};
  try {
    run.TargetConnection = OpenConnection(program, program.TargetConnString, 5);
    if (TargetErrorCheckFails(run)) return TargetErrorExit(run);
    run.BackupConnection = OpenConnection(program, BackupConnectionString(RestoreFilePath), 0);
    for (const PlanStep& step : kPlan) {
      const std::string line = std::string("Restore of Table ") + step.table + "...";
      ProgressText = &step == kPlan ? line : ProgressText + "\r\n" + line;
      if (RunPlanStep(run, step) == StepOutcome::kTargetError) return TargetErrorExit(run);
    }
    Complete(run, ProgressText);
    RestoreOk = -1;
  } catch (const std::exception& failure) {
    Restore_Err_Handler(run, failure.what());
  }
}

}  // namespace toverak
