#include "restore/render_field_value.h"
#include "restore/table_steps.h"

namespace toverak {

const char kEventLogQuery[] = "SELECT * FROM ATR_Log ORDER BY log_id ASC";

StepOutcome CopyEventLogTable(RestoreRun& run) {
  Host& host = run.program.env.host;
  run.Statement = "DELETE FROM ATR_Log";
  ExecuteStatement(run);
  if (TargetErrorCheckFails(run)) return StepOutcome::kTargetError;

  run.SourceRecordset = run.BackupConnection->Execute(kEventLogQuery);
  while (!run.SourceRecordset->Eof()) {
    // The first field is never sent: the live table gives each event a key of its own.
    run.Statement = RowStatement(host, "INSERT INTO ATR_Log VALUES (",
                                 run.SourceRecordset->GetFields(), 1, true);
    ExecuteStatement(run);
    run.SourceRecordset->MoveNext();
    CountRowWritten(run);
  }
  if (run.SourceRecordset->State() == ado::kStateOpen) run.SourceRecordset->Close();
  return StepOutcome::kDone;
}

}  // namespace toverak
