#include "restore/restore_run.h"

#include "runlog/run_log.h"

namespace toverak {

bool TargetErrorCheckFails(RestoreRun& run) { return run.TargetConnection->ErrorsCount() > 0; }

void OpenBackupTable(RestoreRun& run, const std::string& table) {
  run.SourceRecordset = run.program.env.database.NewRecordset();
  run.SourceRecordset->SetCursorType(ado::kOpenStatic);
  run.SourceRecordset->SetLockType(ado::kLockOptimistic);
  run.SourceRecordset->Open(table, *run.BackupConnection, ado::kOpenUnspecified,
                            ado::kLockUnspecified, ado::kCmdTable);
}

void ExecuteStatement(RestoreRun& run) {
  run.StatementResult = run.TargetConnection->Execute(run.Statement);
}

void CountRowWritten(RestoreRun& run) {
  if (++run.RowsSincePause > 200) {
    PauseWithEvents(run.program.env.host, 20);
    run.RowsSincePause = 0;
  }
}

}  // namespace toverak
