#include "benchmark/benchmark_options.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace toverak {
namespace {

std::vector<std::string> CommaSeparated(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1) {
    items.push_back(text.substr(start, comma - start));
  }
  items.push_back(text.substr(start));
  return items;
}

double PositiveNumber(const std::string& option, const std::string& text) {
  size_t used = 0;
  double number = 0;
  try {
    number = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || !(number > 0) || !std::isfinite(number)) {
    throw std::invalid_argument(option + " wants positive numbers, not \"" + text + "\"");
  }
  return number;
}

Way WayNamed(const std::string& name) {
  if (name == "toverak") return Way::kToverak;
  if (name == "unpaced") return Way::kToverakUnpaced;
  if (name == "mdbtools") return Way::kMdbtools;
  if (name == "bare") return Way::kBareLoop;
  throw std::invalid_argument("--ways knows toverak, unpaced, mdbtools and bare, not \"" + name +
                              "\"");
}

}  // namespace

const char kBenchmarkUsage[] =
    "usage: toverak-benchmark [--scales 1,10] [--rows-scale 1] [--ways "
    "toverak,unpaced,mdbtools,bare]"
    " [--dir PATH] [--odbc-options TEXT]\n"
    "  --scales      the sizes to run, as multiples of the base size\n"
    "  --rows-scale  the base size: 100,000 ATR_Log rows and 10,000 rows in each whole-copy\n"
    "                table, times this number\n"
    "  --ways        which ways to run: toverak's restore, the same with its pauses counted\n"
    "                but not slept, mdbtools' pipeline, the bare loop\n"
    "  --dir         where the backup and the live databases are written (default: a new\n"
    "                folder in /dev/shm, or in the temporary folder without it, removed at\n"
    "                the end); a folder on a disk makes every commit wait for the disk\n"
    "  --odbc-options options of the SQLite ODBC driver, added to the live connection string\n"
    "                of toverak's restore and the bare loop "
    "(\"JournalMode=WAL;SyncPragma=NORMAL\")\n";

BenchmarkOptions ParseBenchmarkOptions(const std::vector<std::string>& arguments) {
  BenchmarkOptions options;
  for (size_t i = 0; i < arguments.size(); i += 2) {
    const std::string& option = arguments[i];
    if (i + 1 == arguments.size()) throw std::invalid_argument(option + " wants a value");
    const std::string& value = arguments[i + 1];
    if (option == "--scales") {
      options.scales.clear();
      for (const std::string& item : CommaSeparated(value)) {
        options.scales.push_back(PositiveNumber(option, item));
      }
    } else if (option == "--rows-scale") {
      options.rows_scale = PositiveNumber(option, value);
    } else if (option == "--ways") {
      options.ways.clear();
      for (const std::string& item : CommaSeparated(value)) {
        const Way way = WayNamed(item);
        if (std::find(options.ways.begin(), options.ways.end(), way) == options.ways.end()) {
          options.ways.push_back(way);
        }
      }
    } else if (option == "--odbc-options") {
      options.odbc_options = value;
    } else if (option == "--dir") {
      options.folder = value;
    } else {
      throw std::invalid_argument("unknown option \"" + option + "\"");
    }
  }
  return options;
}

BackupSize SizeAt(const BenchmarkOptions& options, double scale) {
  const BackupSize base;
  const auto scaled = [&](int64_t rows) {
    return std::max<int64_t>(1, std::llround(double(rows) * options.rows_scale * scale));
  };
  return BackupSize{scaled(base.event_log_rows), scaled(base.table_rows)};
}

}  // namespace toverak
