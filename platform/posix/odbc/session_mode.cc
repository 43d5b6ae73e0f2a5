#include "platform/posix/odbc/session_mode.h"

#include <cctype>

namespace toverak {
namespace {

// An empty mode gives no leading comma.
constexpr char kMySqlMode[] =
    "SET SESSION sql_mode = CONCAT_WS(',', NULLIF(@@SESSION.sql_mode, ''), "
    "'NO_BACKSLASH_ESCAPES')";
constexpr char kPostgresMode[] = "SET standard_conforming_strings = on";
constexpr char kSqlServerMode[] = "SET DATEFORMAT ymd";

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

std::optional<std::string> SessionModeStatement(std::string_view dbms_name) {
  const std::string name = Lower(dbms_name);
  const auto names = [&](std::string_view part) { return name.find(part) != std::string::npos; };
  if (names("mysql") || names("mariadb")) return kMySqlMode;
  if (names("postgresql")) return kPostgresMode;
  // "Microsoft SQL Server" as the server names itself at login; older FreeTDS says "SQL Server".
  if (names("sql server")) return kSqlServerMode;
  return std::nullopt;
}

}  // namespace toverak
