// The pre-flight check of a backup: what a restore from it would find and send, without
// touching any service or the live database.
#pragma once

#include <string>
#include <vector>

#include "platform/program.h"

namespace toverak {

struct BackupCheck {
  // One line per table of the plan: present or missing, its rows, and for the two settings
  // tables whether every listed column is there and the table has a row.
  std::vector<std::string> tables;
  // Every statement that a restore from this backup would send to the live database, in order.
  std::vector<std::string> statements;
  // What the restore's error handler would write; empty when the restore would get through.
  std::string failure;
};

// Opens the backup at `path` as the restore does and runs the restore against a live database
// that only records the statements. Writes nothing to the run log and does not pause.
BackupCheck CheckBackup(Program& program, const std::string& path);

}  // namespace toverak
