// The objects that one restore run holds, shared by its table steps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/database.h"
#include "platform/program.h"

namespace toverak {

struct RestoreRun {
  Program& program;
  std::unique_ptr<Connection> TargetConnection;
  std::unique_ptr<Connection> BackupConnection;
  std::unique_ptr<Recordset> SourceRecordset;
  std::unique_ptr<Recordset> StatementResult;
  // The one text that holds each statement while it is built and executed.
  std::string Statement;
  // Rows written since the last 20 ms pause, counted across every table of the run.
  int16_t RowsSincePause = 0;
};

// How a table step that empties its live table ends when it raises nothing.
enum class StepOutcome { kDone, kTargetError };

// True when the live connection reports error or warning entries.
bool TargetErrorCheckFails(RestoreRun& run);

// Puts a new SourceRecordset, opened on the backup's table of that name, in place of the last.
void OpenBackupTable(RestoreRun& run, const std::string& table);

// Executes the statement text on the live database, keeping its result in StatementResult.
void ExecuteStatement(RestoreRun& run);

// Counts one written row and pauses 20 ms after every 201 rows of the run.
void CountRowWritten(RestoreRun& run);

}  // namespace toverak
