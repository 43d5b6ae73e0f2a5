// Reads a mutated Narvel.mdb as a run starts: its Settings_Console row chooses the live
// database and writes the run's first log group. A damaged file may only raise an error.
#include <filesystem>
#include <memory>

#include "driver/target_selection.h"
#include "fuzz/fuzz_support.h"
#include "platform/error.h"
#include "platform/posix/posix_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace toverak;
  const std::string folder = FuzzFolder() + "/product";
  std::filesystem::create_directories(folder);
  WriteFuzzInput("product/Narvel.mdb", data, size);
  static const std::unique_ptr<Host> host = NewPosixHost(0, nullptr);
  static const std::unique_ptr<ServiceManager> services = NewPosixServiceManager();
  std::unique_ptr<Database> database = NewPosixDatabase();
  Program program{Env{*host, *database, *services}, folder};
  LocalSettings settings;
  try {
    SelectTargetDatabase(program, settings);
  } catch (const RaisedError&) {
  }
  return 0;
}
