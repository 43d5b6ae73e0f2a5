#include "restore/render_field_value.h"
#include "restore/table_steps.h"

namespace toverak {

StepOutcome CopyWholeTable(RestoreRun& run, const std::string& table, bool date_rule) {
  Host& host = run.program.env.host;
  run.Statement = "DELETE FROM " + table;
  ExecuteStatement(run);
  if (TargetErrorCheckFails(run)) return StepOutcome::kTargetError;

  OpenBackupTable(run, table);
  const std::string prefix = "INSERT INTO " + table + " VALUES (";
  while (!run.SourceRecordset->Eof()) {
    run.Statement = RowStatement(host, prefix, run.SourceRecordset->GetFields(), 0, date_rule);
    ExecuteStatement(run);
    run.SourceRecordset->MoveNext();
    CountRowWritten(run);
  }
  if (run.SourceRecordset->State() == ado::kStateOpen) run.SourceRecordset->Close();
  return StepOutcome::kDone;
}

}  // namespace toverak
