// The benchmark's own logic: its command line, its verdicts and the backup it generates.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "benchmark/benchmark_backup.h"
#include "benchmark/benchmark_options.h"
#include "benchmark/benchmark_report.h"

namespace toverak {
namespace {

BenchmarkOptions Parsed(const std::vector<std::string>& arguments) {
  return ParseBenchmarkOptions(arguments);
}

TEST(BenchmarkOptionsTest, DefaultsRunEveryWayAtTheBaseSizeAndTenTimesIt) {
  const BenchmarkOptions options = Parsed({});
  EXPECT_EQ(options.scales, (std::vector<double>{1, 10}));
  EXPECT_EQ(options.ways.size(), 4u);
  const BackupSize tenfold = SizeAt(options, 10);
  EXPECT_EQ(tenfold.event_log_rows, 1'000'000);
  EXPECT_EQ(tenfold.table_rows, 100'000);
}

TEST(BenchmarkOptionsTest, ScalesRowsScaleWaysAndFolderAreRead) {
  const BenchmarkOptions options =
      Parsed({"--scales", "1,2.5", "--rows-scale", "0.002", "--ways", "bare,toverak,bare,unpaced",
              "--dir", "/x", "--odbc-options", "JournalMode=WAL"});
  EXPECT_EQ(options.scales, (std::vector<double>{1, 2.5}));
  EXPECT_EQ(options.ways, (std::vector<Way>{Way::kBareLoop, Way::kToverak, Way::kToverakUnpaced}));
  EXPECT_EQ(options.folder, "/x");
  EXPECT_EQ(options.odbc_options, "JournalMode=WAL");
  const BackupSize size = SizeAt(options, 2.5);
  EXPECT_EQ(size.event_log_rows, 500);
  EXPECT_EQ(size.table_rows, 50);
  // However small the scale, every generated table keeps a row.
  EXPECT_EQ(SizeAt(options, 0.0001).table_rows, 1);
}

TEST(BenchmarkOptionsTest, WrongInputIsRefusedNotGuessed) {
  for (const std::vector<std::string>& wrong :
       std::vector<std::vector<std::string>>{{"--scales", "1,,10"},
                                             {"--scales", "0"},
                                             {"--scales", "-1"},
                                             {"--rows-scale", "2x"},
                                             {"--rows-scale", "nan"},
                                             {"--ways", "toverak,psql"},
                                             {"--scales"},
                                             {"--scale", "1"}}) {
    EXPECT_THROW(Parsed(wrong), std::invalid_argument) << wrong[0];
  }
}

TEST(BenchmarkReportTest, NumbersAreGroupedByThousands) {
  EXPECT_EQ(Grouped(0), "0");
  EXPECT_EQ(Grouped(999), "999");
  EXPECT_EQ(Grouped(1000), "1,000");
  EXPECT_EQ(Grouped(200'013), "200,013");
  EXPECT_EQ(Grouped(-1'234'567), "-1,234,567");
}

TEST(BenchmarkReportTest, PeakIsFlatWithinFivePercentOrOneMebibyte) {
  EXPECT_TRUE(PeakStayedFlat(8'000, 9'024));  // 1 MiB more of a small peak
  EXPECT_FALSE(PeakStayedFlat(8'000, 9'025));
  EXPECT_TRUE(PeakStayedFlat(100'000, 105'000));  // 5% more of a large one
  EXPECT_FALSE(PeakStayedFlat(100'000, 105'001));
  EXPECT_TRUE(PeakStayedFlat(100'000, 90'000));
}

TEST(BenchmarkReportTest, RatiosSayWhetherTheGoalIsMet) {
  EXPECT_EQ(RatioAgainstGoal(110, 100, 1.10), "1.10 (goal at most 1.10: met)");
  EXPECT_EQ(RatioAgainstGoal(111, 100, 1.10), "1.11 (goal at most 1.10: not met)");
  EXPECT_EQ(RatioAgainstGoal(5, -1, 1.0), "n/a");
  EXPECT_EQ(RatioAgainstGoal(-1, 5, 1.0), "n/a");
}

const JetTable& TableNamed(const JetDatabase& backup, const std::string& name) {
  for (const JetTable& table : backup.tables) {
    if (table.name == name) return table;
  }
  throw std::runtime_error("no table " + name);
}

TEST(BenchmarkBackupTest, GeneratedRowsHaveUniqueKeysAndTextsThatFitTheirColumns) {
  const JetDatabase backup = GeneratedBackup({30, 20});
  for (const JetTable& table : backup.tables) {
    if (table.name == "Settings" || table.name == "DiscAgt") {
      EXPECT_EQ(table.generated_count, 0) << table.name;
      EXPECT_EQ(table.rows.size(), 1u) << table.name;
      continue;
    }
    EXPECT_EQ(table.generated_count, table.name == "ATR_Log" ? 30 : 20) << table.name;
    std::set<Value> keys;
    std::set<Value> texts_of_second_column;
    for (int64_t i = 0; i < table.generated_count; ++i) {
      const JetRow row = table.generate(i);
      ASSERT_EQ(row.size(), table.columns.size());
      keys.insert(row[0]);
      texts_of_second_column.insert(row[1]);
      for (size_t c = 0; c < row.size(); ++c) {
        const JetColumn& column = table.columns[c];
        if (column.type == JetType::kYesNo) {
          EXPECT_FALSE(IsNull(row[c])) << column.name;
        }
        if (column.type == JetType::kText && !IsNull(row[c])) {
          EXPECT_LE(std::get<std::string>(row[c]).size(), size_t(column.size)) << column.name;
        }
      }
    }
    EXPECT_EQ(keys.size(), size_t(table.generated_count)) << table.name;
  }
  // ATR_Users.login is unique in the live schema.
  const JetTable& users = TableNamed(backup, "ATR_Users");
  std::set<Value> logins;
  for (int64_t i = 0; i < users.generated_count; ++i) {
    const Value login = users.generate(i)[1];
    EXPECT_TRUE(IsNull(login) || logins.insert(login).second);
  }
}

TEST(BenchmarkBackupTest, EventLogIsStoredOutOfKeyOrder) {
  const JetDatabase backup = GeneratedBackup({5, 1});
  const JetTable& log = TableNamed(backup, "ATR_Log");
  EXPECT_EQ(std::get<int32_t>(log.generate(0)[0]), 5);
  EXPECT_EQ(std::get<int32_t>(log.generate(4)[0]), 1);
  EXPECT_EQ(ColumnNames(backup, "ATR_Log").front(), "log_id");
}

}  // namespace
}  // namespace toverak
