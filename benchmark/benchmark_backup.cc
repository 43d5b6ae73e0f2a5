#include "benchmark/benchmark_backup.h"

#include "testing/jet_description.h"
#include "testing/product_folder.h"

namespace toverak {
namespace {

bool IsSingleRowTable(const std::string& table) {
  return table == "Settings" || table == "DiscAgt";
}

// A text of at most `size` characters that ends in the row number: a name, a quote now and
// then, so that every statement also carries doubled quotes.
std::string GeneratedText(const JetColumn& column, int64_t n) {
  const std::string number = std::to_string(n);
  const std::string prefix = n % 7 == 0 ? "O'Brien " : column.name + " ";
  const size_t room = size_t(column.size) > number.size() ? size_t(column.size) - number.size() : 0;
  return prefix.substr(0, room) + number;
}

std::string GeneratedMemo(const std::string& table, int64_t n) {
  std::string memo = "Row " + std::to_string(n) + " of " + table + ": restored by the benchmark";
  if (n % 5 == 0) memo += "\r\nsecond line, with 'quotes' and ümlauts";
  return memo;
}

Value GeneratedValue(const std::string& table, const JetColumn& column, size_t position,
                     int64_t n) {
  if (position == 0) return int32_t(n);
  if (column.type != JetType::kYesNo && (n + int64_t(position)) % 13 == 0) return Null{};
  switch (column.type) {
    case JetType::kYesNo:
      return n % 2 == 0;
    case JetType::kByte:
      return uint8_t(n % 256);
    case JetType::kInteger:
      return int16_t(n % 30'000);
    case JetType::kLong:
      return int32_t(n % 97 + 1);
    case JetType::kCurrency:
      return Currency{n * 125};
    case JetType::kSingle:
      return float(n % 1000) + 0.5f;
    case JetType::kDouble:
      return double(n) / 4;
    case JetType::kDateTime:
      return Date{44'000.0 + double(n % 3650) + double(n % 86'400) / 86'400};
    case JetType::kText:
      return GeneratedText(column, n);
    case JetType::kMemo:
      return GeneratedMemo(table, n);
    case JetType::kGuid:
      return Guid{uint32_t(n), 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    case JetType::kDecimal:
    case JetType::kDateTimeExtended:
    case JetType::kAttachment:
      break;  // the benchmark's tables hold none of these
  }
  return Null{};
}

void Generate(JetTable& table, int64_t count, bool descending) {
  table.rows.clear();
  table.generated_count = count;
  table.generate = [name = table.name, columns = table.columns, count, descending](int64_t i) {
    const int64_t n = descending ? count - i : i + 1;
    JetRow row;
    for (size_t position = 0; position < columns.size(); ++position) {
      row.push_back(GeneratedValue(name, columns[position], position, n));
    }
    return row;
  };
}

}  // namespace

JetDatabase GeneratedBackup(const BackupSize& size) {
  JetDatabase backup = ParseJetDescription(Fixture("narvel_backup"));
  for (JetTable& table : backup.tables) {
    if (table.name == "ATR_Log") {
      Generate(table, size.event_log_rows, true);
    } else if (!IsSingleRowTable(table.name)) {
      Generate(table, size.table_rows, false);
    }
  }
  return backup;
}

int64_t ExpectedLiveRows(const BackupSize& size, const std::string& table) {
  if (table == "ATR_Log") return size.event_log_rows;
  return IsSingleRowTable(table) ? 1 : size.table_rows;
}

std::vector<std::string> ColumnNames(const JetDatabase& backup, const std::string& table) {
  std::vector<std::string> names;
  for (const JetTable& candidate : backup.tables) {
    if (candidate.name != table) continue;
    for (const JetColumn& column : candidate.columns) names.push_back(column.name);
  }
  return names;
}

}  // namespace toverak
