// toverak-check [--statements] BACKUP: tells whether a restore from BACKUP would get through
// the backup, touching no service and no database but the backup. --help and --version print
// the usage and the version.
#include <cstdio>
#include <cstring>

#include "app/backup_check.h"
#include "app/version.h"
#include "platform/env.h"

namespace {

constexpr char kUsage[] =
    "usage: toverak-check [--statements] BACKUP\n"
    "       toverak-check --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace toverak;
  bool statements = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("%s", kUsage);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("toverak-check %s\n", kToverakVersion);
      return 0;
    } else if (std::strcmp(argv[i], "--statements") == 0) {
      statements = true;
    } else if (!path) {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (!path) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  const DefaultPlatform platform = NewDefaultPlatform(argc, argv);
  Program program(platform.env(), platform.host->ExecutableFolder());

  const BackupCheck check = CheckBackup(program, path);
  for (const std::string& line : check.tables) std::printf("%s\n", line.c_str());
  if (statements) {
    for (const std::string& statement : check.statements) std::printf("%s\n", statement.c_str());
  }
  if (!check.failure.empty()) {
    std::printf("A restore from %s would fail: %s\n", path, check.failure.c_str());
    return 1;
  }
  std::printf("A restore from %s would get through the backup.\n", path);
  return 0;
}
