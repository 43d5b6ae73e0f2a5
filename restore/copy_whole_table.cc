#include "restore/render_field_value.h"
#include "restore/table_steps.h"

namespace toverak {
namespace {

// Empties the live table; true when the live database then reports error entries.
bool EmptyLiveTableFails(RestoreRun& run, const std::string& table) {
  run.Statement = "DELETE FROM " + table;
  ExecuteStatement(run);
  return TargetErrorCheckFails(run);
}

// Inserts every row of SourceRecordset into `table`, its fields from `first_position` on, then
// closes it.
void InsertSourceRows(RestoreRun& run, const std::string& table, int32_t first_position,
                      bool date_rule) {
  const std::string prefix = "INSERT INTO " + table + " VALUES (";
  while (!run.SourceRecordset->Eof()) {
    run.Statement = RowStatement(run.program.env.host, prefix, run.SourceRecordset->GetFields(),
                                 first_position, date_rule);
    ExecuteStatement(run);
    run.SourceRecordset->MoveNext();
    CountRowWritten(run);
  }
  if (run.SourceRecordset->State() == ado::kStateOpen) run.SourceRecordset->Close();
}

}  // namespace

const char kEventLogQuery[] = "SELECT * FROM ATR_Log ORDER BY log_id ASC";

StepOutcome CopyWholeTable(RestoreRun& run, const std::string& table, bool date_rule) {
  if (EmptyLiveTableFails(run, table)) return StepOutcome::kTargetError;
  OpenBackupTable(run, table);
  InsertSourceRows(run, table, 0, date_rule);
  return StepOutcome::kDone;
}

StepOutcome CopyEventLogTable(RestoreRun& run) {
  if (EmptyLiveTableFails(run, "ATR_Log")) return StepOutcome::kTargetError;
  run.SourceRecordset = run.BackupConnection->Execute(kEventLogQuery);
  // The first field is never sent: the live table gives each event a key of its own.
  InsertSourceRows(run, "ATR_Log", 1, true);
  return StepOutcome::kDone;
}

}  // namespace toverak
