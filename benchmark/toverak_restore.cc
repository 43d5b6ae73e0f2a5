// The first way: toverak's own restore.
#include <chrono>

#include "benchmark/measured_env.h"
#include "benchmark/restore_ways.h"
#include "platform/posix/posix_env.h"
#include "restore/restore_tables.h"
#include "testing/temp_folder.h"

namespace toverak {
WayResult ToverakRestore(const std::filesystem::path& backup, const std::string& live,
                         const std::filesystem::path& app_folder, bool sleeps) {
  char program_name[] = "toverak";
  char* arguments[] = {program_name, nullptr};
  std::unique_ptr<Host> real_host = NewPosixHost(1, arguments);
  std::unique_ptr<Database> real_database = NewPosixDatabase();
  // The restore reaches no service.
  std::unique_ptr<ServiceManager> services = NewPosixServiceManager();
  PauseTimingHost host(*real_host, sleeps);
  LiveDatabaseTimes times;
  TimingDatabase database(*real_database, live, times);
  Program program{Env{host, database, *services}, app_folder.string()};
  program.TargetConnString = live;

  int16_t RestoreOk = 0;
  std::string ProgressText;
  const auto start = std::chrono::steady_clock::now();
  RestoreTables(program, backup.string(), RestoreOk, ProgressText);
  WayResult result;
  result.wall_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.ok = RestoreOk != 0;
  if (!result.ok)
    result.failure = "the restore failed: " + ReadWholeFile(app_folder / "Toverak.log");
  result.paused_seconds = host.PausedSeconds();
  result.database_seconds = times.executing_seconds;
  result.copies_peak_kib = times.peak_before_event_log_kib;
  return result;
}

}  // namespace toverak
