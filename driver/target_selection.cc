#include "driver/target_selection.h"

#include <algorithm>
#include <cctype>

#include "platform/error.h"
#include "runlog/run_log.h"

namespace toverak {
namespace {

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

bool TruthOfText(const std::string& text) {
  const std::string word = Lowercase(text);
  if (word == "true") return true;
  if (word == "false") return false;
  try {
    size_t used = 0;
    const double number = std::stod(text, &used);
    if (used == text.size()) return number != 0;
  } catch (const std::logic_error&) {
  }
  throw RaisedError("Type mismatch");
}

const Value& SettingValue(const LocalSettings& settings, const std::string& column, Value& holder) {
  holder = settings.table->GetFields().Item(column).GetValue();
  return holder;
}

}  // namespace

bool TruthOf(const Value& value) {
  return std::visit(
      [](const auto& v) -> bool {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Null>)
          return false;
        else if constexpr (std::is_arithmetic_v<T>)
          return v != 0;
        else if constexpr (std::is_same_v<T, Currency>)
          return v.scaled != 0;
        else if constexpr (std::is_same_v<T, Decimal>)
          return v.low != 0 || v.high != 0;
        else if constexpr (std::is_same_v<T, Date>)
          return v.days != 0;
        else if constexpr (std::is_same_v<T, std::string>)
          return TruthOfText(v);
        else
          throw RaisedError("Type mismatch");
      },
      value);
}

bool SelectTargetDatabase(Program& program, LocalSettings& settings) {
  Env& env = program.env;
  program.LocalDbConnString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + program.AppPath +
                              env.host.PathSeparator() + "Narvel.mdb;Persist Security Info=False";
  settings.connection = env.database.NewConnection();
  settings.connection->SetConnectionString(program.LocalDbConnString);
  settings.connection->Open();
  settings.table = env.database.NewRecordset();
  settings.table->SetCursorType(ado::kOpenStatic);
  settings.table->SetLockType(ado::kLockOptimistic);
  settings.table->Open("Settings_Console", *settings.connection, ado::kOpenUnspecified,
                       ado::kLockUnspecified, ado::kCmdTable);

  Value holder;
  if (!TruthOf(SettingValue(settings, "SqlDbSetupOk", holder))) {
    WriteLogGroup(program, FileMode::kTruncate,
                  {LogTimestamp(env.host), "SQL ConnString not found", ""});
    return false;
  }
  const Value& stored = SettingValue(settings, "DbConnStringSql", holder);
  if (IsNull(stored)) throw RaisedError("Invalid use of Null");
  program.TargetConnString = env.host.ValueText(stored);

  // The version is read while the group is open; a failure there closes the log first, so
  // that the failure handler's entries still reach it.
  LogGroup group(program, FileMode::kTruncate);
  group.Entry(LogTimestamp(env.host));
  group.Entry("SQL ConnString found");
  group.Entry("Narvel ver: " + env.host.ValueText(SettingValue(settings, "ProgVersion", holder)));
  group.Entry("");
  group.End();
  return true;
}

}  // namespace toverak
