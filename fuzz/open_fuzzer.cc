// Opens a mutated Access file: its header, its catalog and the definition of every table that
// the catalog lists. A damaged file may only raise an error.
#include "fuzz/fuzz_support.h"
#include "platform/error.h"
#include "platform/posix/posix_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace toverak;
  const std::string path = WriteFuzzInput("open.mdb", data, size);
  std::unique_ptr<Database> database = NewPosixDatabase();
  try {
    std::unique_ptr<Connection> connection = OpenAccessFile(*database, path);
    connection->Close();
  } catch (const RaisedError&) {
  }
  return 0;
}
