// The backup that the benchmark restores: the fixture's thirteen tables with their column
// layouts, the ten whole-copy tables and ATR_Log filled with generated rows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/jet_writer.h"

namespace toverak {

struct BackupSize {
  int64_t event_log_rows = 100'000;
  // Rows in each of the ten whole-copy tables.
  int64_t table_rows = 10'000;
};

// The fixture's backup with generated rows: `size.table_rows` in each whole-copy table,
// `size.event_log_rows` in ATR_Log (stored in descending log_id order, so that the ordered read
// has to sort), the fixture's own row in Settings and DiscAgt. Texts fit their columns, keys
// are unique, some values are Null and some texts hold quotes and CR LF.
JetDatabase GeneratedBackup(const BackupSize& size);

// The rows that a restore of GeneratedBackup(size) leaves in `table` of the live database,
// when the live Settings and DiscAgt hold one row each beforehand.
int64_t ExpectedLiveRows(const BackupSize& size, const std::string& table);

// The column names of `table` in `backup`, in column order; empty when it has no such table.
std::vector<std::string> ColumnNames(const JetDatabase& backup, const std::string& table);

}  // namespace toverak
