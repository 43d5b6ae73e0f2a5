// Placeholder until the connection dispatcher lands: every open fails.
#include "platform/error.h"
#include "platform/posix/posix_env.h"

namespace toverak {
namespace {

class UnbuiltDatabase : public Database {
 public:
  std::unique_ptr<Connection> NewConnection() override { throw RaisedError("no database layer"); }
  std::unique_ptr<Recordset> NewRecordset() override { throw RaisedError("no database layer"); }
};

}  // namespace

std::unique_ptr<Database> NewPosixDatabase() { return std::make_unique<UnbuiltDatabase>(); }

}  // namespace toverak
