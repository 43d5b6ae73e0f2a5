#include "benchmark/benchmark_report.h"

#include <algorithm>
#include <cstdio>

namespace toverak {
namespace {

std::string Formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Seconds(double seconds) { return seconds < 0 ? "-" : Formatted("%.2f", seconds); }

std::string MiB(int64_t kib) { return kib <= 0 ? "-" : Formatted("%.1f", double(kib) / 1024); }

std::string Padded(const std::string& text, size_t width, bool left = false) {
  const std::string fill(width > text.size() ? width - text.size() : 0, ' ');
  return left ? text + fill : fill + text;
}

std::string RowsPerSecond(int64_t rows, double seconds) {
  return seconds > 0 ? Grouped(int64_t(double(rows) / seconds)) : "-";
}

std::string WayLine(const ScaleRun& run, Way way, const WayResult& result) {
  const bool paces = way == Way::kToverak;
  const double unpaused = result.wall_seconds - result.paused_seconds;
  const double other = result.database_seconds < 0 ? -1 : unpaused - result.database_seconds;
  return "  " + Padded(WayName(way), 22, true) + Padded(Seconds(result.wall_seconds), 9) +
         Padded(paces ? Seconds(result.paused_seconds) : "-", 10) +
         Padded(Seconds(result.database_seconds), 12) + Padded(Seconds(other), 9) +
         Padded(paces ? Seconds(unpaused) : "-", 15) +
         Padded(RowsPerSecond(run.rows, result.wall_seconds), 11) +
         Padded(MiB(result.peak_kib), 10) + (result.ok ? "" : "  FAILED") + "\n";
}

const WayResult* Found(const ScaleRun& run, Way way) {
  const auto found = run.ways.find(way);
  return found == run.ways.end() || !found->second.ok ? nullptr : &found->second;
}

std::string PeakLine(const std::vector<ScaleRun>& runs, const std::string& label,
                     int64_t (*peak)(const ScaleRun&), bool judge) {
  const int64_t first = peak(runs.front());
  const int64_t last = peak(runs.back());
  if (first <= 0 || last <= 0) return "";
  std::string line = "  " + Padded(label, 48, true) + Padded(MiB(first), 8) + " -> " +
                     Padded(MiB(last), 8) + " MiB";
  if (judge) line += PeakStayedFlat(first, last) ? "  flat" : "  GREW";
  return line + "\n";
}

int64_t CopiesPeak(const ScaleRun& run) {
  const WayResult* toverak = Found(run, Way::kToverak);
  return toverak ? toverak->copies_peak_kib : 0;
}

template <Way way>
int64_t WholePeak(const ScaleRun& run) {
  const WayResult* result = Found(run, way);
  return result ? result->peak_kib : 0;
}

}  // namespace

const char* WayName(Way way) {
  switch (way) {
    case Way::kToverak:
      return "toverak's restore";
    case Way::kToverakUnpaced:
      return "toverak, not sleeping";
    case Way::kMdbtools:
      return "mdb-export | sqlite3";
    case Way::kBareLoop:
      return "bare ODBC loop";
  }
  return "";
}

std::string Grouped(int64_t n) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string grouped = n < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
    grouped.push_back(digits[i]);
  }
  return grouped;
}

bool PeakStayedFlat(int64_t smaller_kib, int64_t larger_kib) {
  const int64_t allowed = std::max<int64_t>(smaller_kib / 20, 1024);
  return larger_kib - smaller_kib <= allowed;
}

std::string RatioAgainstGoal(double seconds, double reference_seconds, double goal) {
  if (seconds < 0 || reference_seconds <= 0) return "n/a";
  const double ratio = seconds / reference_seconds;
  return Formatted("%.2f", ratio) + " (goal at most " + Formatted("%.2f", goal) +
         (ratio <= goal ? ": met)" : ": not met)");
}

std::string ScaleReport(const ScaleRun& run) {
  std::string report = "\nScale " + Formatted("%g", run.scale) + ": " +
                       Grouped(run.size.event_log_rows) + " ATR_Log rows and " +
                       Grouped(run.size.table_rows) + " rows in each whole-copy table (" +
                       Grouped(run.rows) + " rows to copy, " + Grouped(int64_t(run.statements)) +
                       " statements); backup " + MiB(run.backup_bytes / 1024) +
                       " MiB, written in " + Seconds(run.backup_seconds) + " s\n\n";
  report += "  " + Padded("way", 22, true) + Padded("wall s", 9) + Padded("pauses s", 10) +
            Padded("db calls s", 12) + Padded("other s", 9) + Padded("wall-pauses s", 15) +
            Padded("rows/s", 11) + Padded("peak MiB", 10) + "\n";
  std::string failures;
  for (const auto& [way, result] : run.ways) {
    report += WayLine(run, way, result);
    if (!result.ok)
      failures += std::string("  ") + WayName(way) + " FAILED: " + result.failure + "\n";
  }
  report += failures + "\n";
  const WayResult* toverak = Found(run, Way::kToverak);
  const WayResult* peer = Found(run, Way::kMdbtools);
  const WayResult* bare = Found(run, Way::kBareLoop);
  const WayResult* unpaced = Found(run, Way::kToverakUnpaced);
  if (unpaced) {
    report += "  toverak, not sleeping / bare loop:      " +
              RatioAgainstGoal(unpaced->wall_seconds, bare ? bare->wall_seconds : -1,
                               kGoalAgainstBareLoop) +
              "\n";
  }
  if (toverak) {
    const double unpaused = toverak->wall_seconds - toverak->paused_seconds;
    report += "  toverak without its pauses: " + RowsPerSecond(run.rows, unpaused) +
              " rows/s; its whole-table copies peaked at " + MiB(toverak->copies_peak_kib) +
              " MiB (before ATR_Log)\n";
    report += "  toverak without its pauses / bare loop: " +
              RatioAgainstGoal(unpaused, bare ? bare->wall_seconds : -1, kGoalAgainstBareLoop) +
              "\n";
    report += "  toverak / mdbtools pipeline:            " +
              RatioAgainstGoal(toverak->wall_seconds, peer ? peer->wall_seconds : -1,
                               kGoalAgainstPipeline) +
              "\n";
    report += "  toverak without its pauses / pipeline:  " +
              RatioAgainstGoal(unpaused, peer ? peer->wall_seconds : -1, kGoalAgainstPipeline) +
              "\n";
  }
  return report;
}

std::string MemoryReport(const std::vector<ScaleRun>& runs) {
  if (runs.size() < 2) return "";
  std::string report = "\nPeak memory from scale " + Formatted("%g", runs.front().scale) +
                       " to scale " + Formatted("%g", runs.back().scale) + ":\n";
  report += PeakLine(runs, "toverak, the whole-table copies", CopiesPeak, true);
  report += PeakLine(runs, "toverak, the whole run (ATR_Log read in order)",
                     WholePeak<Way::kToverak>, false);
  report +=
      PeakLine(runs, "mdbtools pipeline (its largest process)", WholePeak<Way::kMdbtools>, false);
  report += PeakLine(runs, "bare ODBC loop", WholePeak<Way::kBareLoop>, false);
  return report;
}

}  // namespace toverak
