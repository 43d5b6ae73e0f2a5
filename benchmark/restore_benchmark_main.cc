// toverak-benchmark: restores one generated backup into the same empty SQLite database several
// ways, side by side, each in a child process of its own (toverak's restore, the same without
// sleeping its pauses, mdbtools' pipeline, a bare ODBC loop of the identical statements), at one or
// more sizes, and prints their times, their ratios and their peak memory. See kBenchmarkUsage for
// the options.
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>

#include "benchmark/benchmark_backup.h"
#include "benchmark/benchmark_options.h"
#include "benchmark/benchmark_report.h"
#include "benchmark/child_run.h"
#include "benchmark/live_database.h"
#include "benchmark/restore_ways.h"
#include "restore/restore_tables.h"

namespace toverak {
namespace {

void Say(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

// Rows that the way left in the live database, checked against what the backup holds.
void CheckLiveRows(const BackupSize& size, const std::filesystem::path& live, WayResult& result) {
  for (const auto& [table, count] : LiveRowCounts(live)) {
    const int64_t expected = ExpectedLiveRows(size, table);
    if (count == expected) continue;
    result.ok = false;
    result.failure += (result.failure.empty() ? "" : "; ") + table + " holds " +
                      std::to_string(count) + " rows, not " + std::to_string(expected);
  }
}

WayResult RunWay(Way way, const BenchmarkOptions& options, const ScaleRun& run,
                 const std::filesystem::path& folder,
                 const std::vector<std::string>& event_log_columns) {
  const std::filesystem::path backup = folder / "NarvelBackup.mdb";
  const std::filesystem::path live = folder / "live.db";
  MakeEmptyLiveDatabase(live);
  const std::string live_text = LiveConnectionString(live, options.odbc_options);
  WayResult result = RunInChild([&] {
    switch (way) {
      case Way::kToverak:
        return ToverakRestore(backup, live_text, folder, true);
      case Way::kToverakUnpaced:
        return ToverakRestore(backup, live_text, folder, false);
      case Way::kMdbtools:
        return MdbtoolsPipeline(backup, live, event_log_columns);
      case Way::kBareLoop:
        return BareLoop(folder / "statements.bin", live_text);
    }
    return WayResult{};
  });
  CheckLiveRows(run.size, live, result);
  std::filesystem::remove(live);
  return result;
}

ScaleRun RunScale(const BenchmarkOptions& options, double scale,
                  const std::filesystem::path& folder) {
  ScaleRun run;
  run.scale = scale;
  run.size = SizeAt(options, scale);
  run.rows = run.size.event_log_rows + 10 * run.size.table_rows;
  const std::filesystem::path backup = folder / "NarvelBackup.mdb";
  Say("\n  writing the backup: " + Grouped(run.rows) + " rows\n");
  const JetDatabase generated = GeneratedBackup(run.size);
  const WayResult written = RunInChild([&] {
    const auto start = std::chrono::steady_clock::now();
    WriteJetDatabase(generated, backup);
    WayResult result;
    result.ok = true;
    result.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
  });
  if (!written.ok) throw std::runtime_error("cannot write the backup: " + written.failure);
  run.backup_seconds = written.wall_seconds;
  run.backup_bytes = int64_t(std::filesystem::file_size(backup));

  const WayResult listed = RunInChild([&] {
    WriteStatementsFile(backup, folder / "statements.bin");
    WayResult result;
    result.ok = true;
    return result;
  });
  if (!listed.ok) throw std::runtime_error("cannot list the statements: " + listed.failure);
  run.statements = CountStatementsInFile(folder / "statements.bin");

  for (Way way : options.ways) {
    Say(std::string("  running: ") + WayName(way) + "\n");
    run.ways[way] = RunWay(way, options, run, folder, ColumnNames(generated, "ATR_Log"));
  }
  std::filesystem::remove(backup);
  std::filesystem::remove(folder / "statements.bin");
  return run;
}

bool AllSucceeded(const std::vector<ScaleRun>& runs) {
  for (const ScaleRun& run : runs) {
    for (const auto& [way, result] : run.ways) {
      if (!result.ok) return false;
    }
  }
  return true;
}

// A new folder for the run's files, removed with them at the end: in memory (/dev/shm) when the
// machine has it, so that the numbers are the software's and not the disk's.
class ScratchFolder {
 public:
  ScratchFolder() {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "toverak-benchmark-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("cannot make a folder in " + base.string());
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string FileSystemOf(const std::filesystem::path& folder) {
  struct statfs about {};
  if (statfs(folder.c_str(), &about) != 0) return "unknown file system";
  return about.f_type == TMPFS_MAGIC ? "tmpfs, in memory: SQLite's syncs cost nothing"
                                     : "on disk: every commit waits for the disk";
}

int Main(const BenchmarkOptions& options) {
  std::optional<ScratchFolder> scratch;
  std::filesystem::path folder = options.folder;
  if (folder.empty()) {
    scratch.emplace();
    folder = scratch->path();
  }
  std::filesystem::create_directories(folder);
  Say("The restore benchmark: live database SQLite through Debian's SQLite ODBC driver" +
      (options.odbc_options.empty() ? "" : " (" + options.odbc_options + ")") + "\nfiles in " +
      folder.string() + " (" + FileSystemOf(folder) + ")\n");
  std::vector<ScaleRun> runs;
  for (double scale : options.scales) {
    runs.push_back(RunScale(options, scale, folder));
    Say(ScaleReport(runs.back()));
  }
  Say(MemoryReport(runs));
  return AllSucceeded(runs) ? 0 : 1;
}

}  // namespace
}  // namespace toverak

int main(int argc, char** argv) {
  toverak::BenchmarkOptions options;
  try {
    options = toverak::ParseBenchmarkOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& wrong) {
    std::fprintf(stderr, "%s\n%s", wrong.what(), toverak::kBenchmarkUsage);
    return 2;
  }
  try {
    return toverak::Main(options);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "toverak-benchmark: %s\n", failure.what());
    return 1;
  }
}
