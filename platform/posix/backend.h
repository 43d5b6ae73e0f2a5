// What the POSIX connection asks of each provider behind it: an open connection that runs
// statements, opens tables and counts the diagnostics of its latest operation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/database.h"

namespace toverak {

class OpenBackend {
 public:
  virtual ~OpenBackend() = default;
  // Runs one statement; a SELECT gives an open recordset, other statements a closed one.
  virtual std::unique_ptr<Recordset> Execute(const std::string& statement) = 0;
  // An open recordset over the whole of `table`, on its first row; throws naming a missing table.
  virtual std::unique_ptr<Recordset> OpenTable(const std::string& table) = 0;
  // The number of error or warning entries that the latest operation left.
  virtual int32_t ErrorsCount() const = 0;
  // Ends the connection.
  virtual void Close() = 0;
};

// The Access file `path` (Jet 3, Jet 4 or ACE), read-only; throws when it cannot be read.
std::unique_ptr<OpenBackend> OpenAccessBackend(const std::string& path);

// The ODBC connection that `odbc_text` describes, with a login time-out in seconds (0: none).
std::unique_ptr<OpenBackend> OpenOdbcBackend(const std::string& odbc_text, int32_t login_timeout);

}  // namespace toverak
