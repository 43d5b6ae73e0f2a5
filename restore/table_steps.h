// The three ways in which a table of the plan is restored.
#pragma once

#include <string>
#include <vector>

#include "restore/restore_run.h"

namespace toverak {

// Empties the live table, then inserts every row of the backup's table of the same name, one
// statement per row; with `date_rule` date fields are written as YYYY-MM-DD HH:MM:SS.
StepOutcome CopyWholeTable(RestoreRun& run, const std::string& table, bool date_rule);

// Writes the listed columns of the backup table's first row over every row of the live table,
// with one UPDATE statement.
void MergeSingleRowTable(RestoreRun& run, const std::string& table,
                         const std::vector<std::string>& columns);

// Empties the live ATR_Log, then inserts the backup's events in ascending log_id order, each
// without its first field, which the live table fills itself.
StepOutcome CopyEventLogTable(RestoreRun& run);

// The fixed column lists of the two single-row settings tables.
const std::vector<std::string>& SettingsColumns();
const std::vector<std::string>& DiscAgtColumns();

// The column list of a single-row settings table; null for every other table.
const std::vector<std::string>* MergedColumnsOf(const std::string& table);

// The query that reads the backup's event log.
extern const char kEventLogQuery[];

}  // namespace toverak
