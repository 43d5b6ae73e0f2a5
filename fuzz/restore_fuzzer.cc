// Runs the whole reading side of a restore over a mutated backup: every table of the plan read
// as the restore reads it, every statement made, with a live database that only records them.
// A damaged backup must end in the restore's error handler with a description.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/backup_check.h"
#include "fuzz/fuzz_support.h"
#include "platform/posix/posix_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace toverak;
  const std::string path = WriteFuzzInput("backup.mdb", data, size);
  static const std::unique_ptr<Host> host = NewPosixHost(0, nullptr);
  static const std::unique_ptr<ServiceManager> services = NewPosixServiceManager();
  std::unique_ptr<Database> database = NewPosixDatabase();
  Program program{Env{*host, *database, *services}, FuzzFolder()};
  const BackupCheck check = CheckBackup(program, path);
  const std::string handler = "Restore_Err_Handler: ";
  if (!check.failure.empty() &&
      (check.failure.rfind(handler, 0) != 0 || check.failure.size() == handler.size())) {
    std::fprintf(stderr, "The restore ended without its error handler: %s\n",
                 check.failure.c_str());
    std::abort();
  }
  return 0;
}
