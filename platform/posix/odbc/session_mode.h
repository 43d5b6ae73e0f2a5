// The mode of a live database's session in which the restore's statements read exactly as they
// are written: every character of a quoted literal as itself (doubled quotes aside) and dates
// written YYYY-MM-DD as year, month and day.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace toverak {

// The statement that puts a session into that mode, for the database that the driver names
// `dbms_name` (its answer to SQL_DBMS_NAME): MySQL and MariaDB take NO_BACKSLASH_ESCAPES beside
// the session's other modes, PostgreSQL standard-conforming strings, SQL Server the date order
// year, month, day. None for any other database, whose literals read as written already.
std::optional<std::string> SessionModeStatement(std::string_view dbms_name);

}  // namespace toverak
