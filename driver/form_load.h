// The one entry of the program: the whole job, in its fixed order, then the end of the process.
#pragma once

#include <string>

#include "driver/run_steps.h"
#include "driver/target_selection.h"
#include "platform/program.h"

namespace toverak {

// How a run ended, as the process's exit status tells it.
enum ExitStatus : int {
  kAllServicesStarted = 0,
  kNotOnSqlServer = 2,
  kBackupNotFound = 3,
  kServicesNotStopped = 4,
  kRestoreFailed = 5,
  kServicesNotStarted = 6,
  kRunFailure = 7,
  kLogUnwritable = 8,
};

// The backup path of the command line, with today's date ("YYYY-MM-DD") put in place of every
// "xxxx-xx-xx" when the text holds the template "NarvelBackup_xxxx-xx-xx.mdb".
std::string FillInBackupDate(const std::string& command_line, const LocalDateTime& today,
                             bool& dated);

// Runs the job and tells how it ended; failures end in the failure handler. `settings` holds
// the product's Access file open for the caller, until the process ends.
ExitStatus RunJob(Program& program, RunSteps& steps, LocalSettings& settings);

// Runs the job and ends the process with its exit status.
void Form_Load(Program& program, RunSteps& steps);

}  // namespace toverak
