// The command line of the benchmark.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "benchmark/benchmark_backup.h"

namespace toverak {

// toverak's restore; the same with its mandated pauses counted but not slept, to tell their
// cost apart from the restore's own; mdbtools' pipeline; the bare ODBC loop.
enum class Way { kToverak, kToverakUnpaced, kMdbtools, kBareLoop };

struct BenchmarkOptions {
  // Each scale multiplies the base size; the default shows the base and ten times it.
  std::vector<double> scales = {1, 10};
  // The base size: 100,000 ATR_Log rows and 10,000 rows in each whole-copy table, times this.
  double rows_scale = 1;
  std::vector<Way> ways = {Way::kToverak, Way::kToverakUnpaced, Way::kMdbtools, Way::kBareLoop};
  // Where the backup and the live databases are written; empty: a new folder in memory.
  std::filesystem::path folder;
  // Options of the SQLite ODBC driver for toverak's restore and the bare loop.
  std::string odbc_options;
};

// The usage text.
extern const char kBenchmarkUsage[];

// Reads --scales 1,10  --rows-scale 0.01  --ways toverak,unpaced,mdbtools,bare  --dir PATH
// --odbc-options "JournalMode=WAL"; throws
// std::invalid_argument naming what is wrong.
BenchmarkOptions ParseBenchmarkOptions(const std::vector<std::string>& arguments);

// The backup size of `scale` under `options`: at least one row in every generated table.
BackupSize SizeAt(const BenchmarkOptions& options, double scale);

}  // namespace toverak
