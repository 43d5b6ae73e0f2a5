// The restore run: the live database refilled from the backup file, table by table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/program.h"

namespace toverak {

// The connection string of the backup file: the Jet provider and the path, unchanged.
std::string BackupConnectionString(const std::string& RestoreFilePath);

// The tables of the plan, in the order in which they are restored.
std::vector<std::string> PlanTables();

// Restores the 13 tables of the plan from the backup at RestoreFilePath into the database of
// TargetConnString. RestoreOk is true (-1) only when every table is done; ProgressText receives
// the progress lines, and the completion lines when the run completes.
void RestoreTables(Program& program, const std::string& RestoreFilePath, int16_t& RestoreOk,
                   std::string& ProgressText);

}  // namespace toverak
