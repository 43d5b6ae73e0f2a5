// Runs the ordered query over every table that the catalog of a mutated Access file lists,
// ascending by its first column and descending by its last, and reads every value of the
// result. A damaged file may only raise an error.
#include "fuzz/fuzz_support.h"

namespace {

using namespace toverak;

void QueryInBothOrders(Database& database, Connection& connection, const std::string& table) {
  std::unique_ptr<Recordset> rows = database.NewRecordset();
  rows->Open(table, connection, ado::kOpenStatic, ado::kLockOptimistic, ado::kCmdTable);
  const Fields& fields = rows->GetFields();
  if (fields.Count() == 0) return;
  const std::string first = fields.Item(0).Name();
  const std::string last = fields.Item(fields.Count() - 1).Name();
  rows->Close();
  ReadEveryValue(*connection.Execute("SELECT * FROM [" + table + "] ORDER BY [" + first + "]"));
  ReadEveryValue(*connection.Execute("select * from " + table + " order by " + last + " desc;"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ForEachCatalogTable(WriteFuzzInput("query.mdb", data, size), QueryInBothOrders);
  return 0;
}
