#include "testing/restore_in_process.h"

#include "platform/fake/fake_host.h"
#include "platform/fake/fake_service_manager.h"
#include "platform/posix/posix_env.h"
#include "restore/restore_tables.h"

namespace toverak {

RestoreOutcome RestoreInProcess(const std::string& target, const std::filesystem::path& backup) {
  FakeHost host;
  std::unique_ptr<Database> database = NewPosixDatabase();
  FakeServiceManager services;
  Program program{Env{host, *database, services}, host.executable_folder};
  program.TargetConnString = target;
  int16_t restore_ok = 0;
  RestoreOutcome outcome;
  RestoreTables(program, backup.string(), restore_ok, outcome.progress);
  outcome.ok = restore_ok != 0;
  outcome.log = host.files[host.executable_folder + "/Toverak.log"];
  return outcome;
}

}  // namespace toverak
