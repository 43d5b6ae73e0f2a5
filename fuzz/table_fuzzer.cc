// Opens every table that the catalog of a mutated Access file lists and reads every value of
// every row. A damaged file may only raise an error.
#include "fuzz/fuzz_support.h"
#include "platform/error.h"
#include "platform/posix/posix_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace toverak;
  const std::string path = WriteFuzzInput("table.mdb", data, size);
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<Connection> connection;
  std::vector<std::string> tables;
  try {
    connection = OpenAccessFile(*database, path);
    tables = CatalogTables(*database, *connection);
  } catch (const RaisedError&) {
    return 0;
  }
  // A damaged table ends its own read, not the reading of the others.
  for (const std::string& table : tables) {
    try {
      std::unique_ptr<Recordset> rows = database->NewRecordset();
      rows->Open(table, *connection, ado::kOpenStatic, ado::kLockOptimistic, ado::kCmdTable);
      ReadEveryValue(*rows);
      rows->Close();
    } catch (const RaisedError&) {
    }
  }
  return 0;
}
