// The benchmark's printed tables: one per scale, and the peak memory across the scales.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "benchmark/benchmark_backup.h"
#include "benchmark/benchmark_options.h"
#include "benchmark/child_run.h"

namespace toverak {

// Everything measured at one scale.
struct ScaleRun {
  double scale = 1;
  BackupSize size;
  // Rows of the ten whole-copy tables and ATR_Log together.
  int64_t rows = 0;
  size_t statements = 0;
  int64_t backup_bytes = 0;
  double backup_seconds = 0;
  std::map<Way, WayResult> ways;
};

// The goals of the restore against its peers.
constexpr double kGoalAgainstBareLoop = 1.10;
constexpr double kGoalAgainstPipeline = 1.00;

// The way's name in the tables.
const char* WayName(Way way);

// `n` with commas between groups of three digits.
std::string Grouped(int64_t n);

// True when a peak of `larger_kib` at the larger scale is no real growth over `smaller_kib`:
// at most 5% or 1 MiB more, whichever allows more.
bool PeakStayedFlat(int64_t smaller_kib, int64_t larger_kib);

// "1.03 (goal at most 1.10: met)", or "n/a" when either time is missing.
std::string RatioAgainstGoal(double seconds, double reference_seconds, double goal);

// The table of one scale, with its ratios.
std::string ScaleReport(const ScaleRun& run);

// Peak memory from the smallest to the largest scale, and whether the whole-table copies
// stayed flat; empty for fewer than two scales.
std::string MemoryReport(const std::vector<ScaleRun>& runs);

}  // namespace toverak
