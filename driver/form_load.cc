#include "driver/form_load.h"

#include <cstdio>
#include <exception>

#include "runlog/run_log.h"

namespace toverak {
namespace {

constexpr char kTemplate[] = "NarvelBackup_xxxx-xx-xx.mdb";
constexpr char kPlaceholder[] = "xxxx-xx-xx";

// The failure handler: two entries appended to the log, then the end of the run.
ExitStatus HandleRunFailure(Program& program, const std::string& RestoreFilePath,
                            const std::string& description) {
  Host& host = program.env.host;
  host.ReportToConsole("Toverak: " + description);
  try {
    WriteLogGroup(
        program, FileMode::kAppend,
        {LogTimestamp(host) + "\t" + " Argument Error", "CommandLine = " + RestoreFilePath});
  } catch (const std::exception& failure) {
    host.ReportToConsole("Toverak: the run log cannot be written: " + std::string(failure.what()));
    return kLogUnwritable;
  }
  return kRunFailure;
}

ExitStatus RunFromCommandLine(Program& program, RunSteps& steps, std::string& RestoreFilePath) {
  Host& host = program.env.host;
  bool dated = false;
  RestoreFilePath = FillInBackupDate(host.CommandLine(), host.Now(), dated);

  if (!host.FindFirstOrdinaryFile(RestoreFilePath)) {
    WriteLogGroup(program, FileMode::kAppend, {"Restore file not found: " + RestoreFilePath, ""});
    return kBackupNotFound;
  }
  WriteLogGroup(program, FileMode::kAppend,
                {(dated ? "Restore file Found: " : "Restore file found: ") + RestoreFilePath, ""});

  int16_t ServicesDone = 0;
  steps.StopProductServices(ServicesDone);
  if (ServicesDone < 3) {
    WriteLogGroup(program, FileMode::kAppend, {"Cancel due to not all services stopped"});
    return kServicesNotStopped;
  }

  WriteLogGroup(program, FileMode::kAppend, {"Starting Restore...", LogTimestamp(host), ""});
  int16_t RestoreOk = 0;
  std::string ProgressText;
  steps.RestoreTables(RestoreFilePath, RestoreOk, ProgressText);
  if (!RestoreOk) {
    WriteLogGroup(program, FileMode::kAppend, {ProgressText, "Restore Failed"});
    return kRestoreFailed;
  }
  WriteLogGroup(program, FileMode::kAppend, {ProgressText});

  steps.StartProductServices(ServicesDone);
  const bool all_started = ServicesDone >= 3;
  WriteLogGroup(program, FileMode::kAppend,
                {all_started ? "All services started" : "Failed to start all services"});
  return all_started ? kAllServicesStarted : kServicesNotStarted;
}

}  // namespace

std::string FillInBackupDate(const std::string& command_line, const LocalDateTime& today,
                             bool& dated) {
  dated = command_line.find(kTemplate) != std::string::npos;
  if (!dated) return command_line;
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", today.year, today.month, today.day);
  std::string text = command_line;
  const std::string placeholder = kPlaceholder;
  for (size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + 10)) {
    text.replace(at, placeholder.size(), date);
  }
  return text;
}

ExitStatus RunJob(Program& program, RunSteps& steps, LocalSettings& settings) {
  std::string RestoreFilePath;
  try {
    program.AppPath = program.env.host.ExecutableFolder();
    if (!SelectTargetDatabase(program, settings)) return kNotOnSqlServer;
    return RunFromCommandLine(program, steps, RestoreFilePath);
  } catch (const std::exception& failure) {
    return HandleRunFailure(program, RestoreFilePath, failure.what());
  }
}

void Form_Load(Program& program, RunSteps& steps) {
  LocalSettings settings;
  const ExitStatus status = RunJob(program, steps, settings);
  program.env.host.EndProcess(status);
}

}  // namespace toverak
