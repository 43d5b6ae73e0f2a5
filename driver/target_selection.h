// The choice of the live database from the product's own Access file.
#pragma once

#include <memory>

#include "platform/database.h"
#include "platform/program.h"

namespace toverak {

// The connection to the product's Access file and its table, kept open until the process ends.
struct LocalSettings {
  std::unique_ptr<Connection> connection;
  std::unique_ptr<Recordset> table;
};

// Reads Settings_Console of Narvel.mdb beside the executable, sets LocalDbConnString and, when
// the product runs on SQL Server, TargetConnString; writes the run's first log group (which
// empties the log). True when there is a database to restore into. Throws on a failure to
// read the settings.
bool SelectTargetDatabase(Program& program, LocalSettings& settings);

// A database value taken as a truth value, as the runtime converts one: Null is false.
bool TruthOf(const Value& value);

}  // namespace toverak
