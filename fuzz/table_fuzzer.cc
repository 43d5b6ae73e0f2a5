// Opens every table that the catalog of a mutated Access file lists and reads every value of
// every row. A damaged file may only raise an error.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace toverak;
  ForEachCatalogTable(WriteFuzzInput("table.mdb", data, size),
                      [](Database& database, Connection& connection, const std::string& table) {
                        std::unique_ptr<Recordset> rows = database.NewRecordset();
                        rows->Open(table, connection, ado::kOpenStatic, ado::kLockOptimistic,
                                   ado::kCmdTable);
                        ReadEveryValue(*rows);
                        rows->Close();
                      });
  return 0;
}
