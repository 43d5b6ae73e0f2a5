// The Access reader over a file that Access itself made, and over damaged copies of it.
#include "platform/posix/backend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "platform/error.h"
#include "testing/table_compare.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

const std::string kDateTestPath =
    std::string(TOVERAK_SOURCE_DIR) + "/../shared/testdata/DateTestDatabase.mdb";
constexpr size_t kPageSize = 4096;
// In DateTestDatabase.mdb the rows of table DateTest lie on page 20.
constexpr size_t kDateTestDataPage = 20;

#define SKIP_WITHOUT_DATE_TEST_DATABASE()                                                  \
  if (!std::filesystem::exists(kDateTestPath)) {                                           \
    GTEST_SKIP() << "the shared test file " << kDateTestPath << " is not on this machine"; \
  }

std::vector<std::vector<Value>> ReadTable(const std::string& path, const std::string& table) {
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path);
  std::unique_ptr<Recordset> recordset = backend->OpenTable(table);
  return ReadAll(*recordset);
}

// The description of the error that `action` raises; fails the test when it raises none.
template <typename Action>
std::string ErrorOf(Action action) {
  try {
    action();
  } catch (const RaisedError& error) {
    return error.Description();
  }
  ADD_FAILURE() << "no error was raised";
  return "";
}

std::vector<Value> DateTestRow(int32_t id, double date_time, double date, double time,
                               const char* long_text, const char* short_text) {
  return {id,         Date{date_time},        Date{date},
          Date{time}, std::string(long_text), std::string(short_text)};
}

// The rows of DateTest as Access stored them (and as the mdb-reader package reads them).
std::vector<std::vector<Value>> DateTestRows() {
  return {DateTestRow(1, 44532, 44532, 44532, "Hello", "Hello"),
          DateTestRow(2, 2958101, 2958101, 2958101, "Year 9999", "Year 1999"),
          DateTestRow(3, -728, -363, 2, "Pre-1900 years", "Pre-1900 years"),
          DateTestRow(4, -463126, -462760, -462395, "Pre-1000 years", "Pre-1000 years"),
          DateTestRow(5, 44532, 44532, 44532, "Escaped new line \\r\\n in field",
                      "Escaped new line \\r\\n in field"),
          DateTestRow(6, 44532, 44532, 44532, "New line\r\nin field", "No new line")};
}

std::vector<int32_t> Ids(const std::vector<std::vector<Value>>& rows) {
  std::vector<int32_t> ids;
  for (const std::vector<Value>& row : rows) ids.push_back(std::get<int32_t>(row[0]));
  return ids;
}

TEST(AccessReaderTest, ReadsEveryColumnAndValueOfAFileMadeByAccess) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(kDateTestPath);
  EXPECT_EQ(backend->ErrorsCount(), 0);
  std::unique_ptr<Recordset> recordset = backend->OpenTable("DateTest");
  EXPECT_EQ(recordset->State(), ado::kStateOpen);
  const Fields& fields = recordset->GetFields();
  std::vector<std::pair<std::string, int32_t>> columns;
  for (int32_t i = 0; i < fields.Count(); ++i) {
    columns.emplace_back(fields.Item(i).Name(), fields.Item(i).Type());
  }
  std::vector<std::pair<std::string, int32_t>> expected = {
      {"IDCol", 3},   {"DateTimeCol", 7},   {"DateCol", 7},
      {"TimeCol", 7}, {"LongTextCol", 203}, {"ShortTextCol", 202}};
  EXPECT_EQ(columns, expected);
  EXPECT_EQ(ReadAll(*recordset), DateTestRows());
}

TEST(AccessReaderTest, FindsTablesAndColumnsWithoutRegardToCase) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(kDateTestPath);
  std::unique_ptr<Recordset> recordset = backend->OpenTable("dATEtEST");
  const Fields& fields = recordset->GetFields();
  EXPECT_EQ(fields.Item("shorttextcol").Name(), "ShortTextCol");
  EXPECT_EQ(fields.Item("IDCOL").GetValue(), Value(int32_t{1}));
  const std::string not_found =
      "Item cannot be found in the collection corresponding to the requested name or ordinal.";
  EXPECT_EQ(ErrorOf([&] { fields.Item("NoSuchColumn"); }), not_found);
  EXPECT_EQ(ErrorOf([&] { fields.Item(6); }), not_found);
  EXPECT_EQ(ErrorOf([&] { fields.Item(-1); }), not_found);
  EXPECT_EQ(ErrorOf([&] { backend->OpenTable("Nodes"); }),
            "The Microsoft Jet database engine cannot find the input table or query 'Nodes'. "
            "Make sure it exists and that its name is spelled correctly.");
}

TEST(AccessReaderTest, RaisesAnErrorWhenReadingPastTheLastRowOrAfterClose) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(kDateTestPath);
  std::unique_ptr<Recordset> recordset = backend->OpenTable("DateTest");
  for (int i = 0; i < 6; ++i) recordset->MoveNext();
  EXPECT_TRUE(recordset->Eof());
  const std::string no_row =
      "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
      "requires a current record.";
  EXPECT_EQ(ErrorOf([&] { recordset->GetFields().Item(0).GetValue(); }), no_row);
  EXPECT_EQ(ErrorOf([&] { recordset->MoveNext(); }), no_row);
  recordset->Close();
  EXPECT_EQ(recordset->State(), ado::kStateClosed);
  EXPECT_FALSE(ErrorOf([&] { recordset->Eof(); }).empty());
  EXPECT_FALSE(ErrorOf([&] { recordset->Close(); }).empty());
}

TEST(AccessReaderTest, RecordsetsOutliveTheirConnectionAndInterleave) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(kDateTestPath);
  std::unique_ptr<Recordset> first = backend->OpenTable("DateTest");
  std::unique_ptr<Recordset> second = backend->OpenTable("DateTest");
  second->MoveNext();
  backend->Close();
  EXPECT_FALSE(ErrorOf([&] { backend->OpenTable("DateTest"); }).empty());
  first->MoveNext();
  first->MoveNext();
  EXPECT_EQ(first->GetFields().Item(0).GetValue(), Value(int32_t{3}));
  EXPECT_EQ(second->GetFields().Item(0).GetValue(), Value(int32_t{2}));
}

TEST(AccessReaderTest, SortsTheOrderedQueryAsJetDoes) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(kDateTestPath);
  auto ids_of = [&](const std::string& statement) {
    std::unique_ptr<Recordset> result = backend->Execute(statement);
    EXPECT_EQ(result->GetFields().Count(), 6);
    return Ids(ReadAll(*result));
  };
  EXPECT_EQ(ids_of("SELECT * FROM DateTest ORDER BY IDCol DESC"),
            (std::vector<int32_t>{6, 5, 4, 3, 2, 1}));
  // Dates by time, equal ones in table order.
  EXPECT_EQ(ids_of("select * from [datetest] order by [TimeCol]"),
            (std::vector<int32_t>{4, 3, 1, 5, 6, 2}));
  EXPECT_EQ(ids_of("SELECT * FROM DateTest ORDER BY TimeCol DESC"),
            (std::vector<int32_t>{2, 1, 5, 6, 3, 4}));
  // "Escaped…", "Hello", "No new line", "Pre-1000…", "Pre-1900…", "Year 1999".
  EXPECT_EQ(ids_of("SELECT * FROM DateTest ORDER BY ShortTextCol ASC"),
            (std::vector<int32_t>{5, 1, 6, 4, 3, 2}));
  std::unique_ptr<Recordset> sorted = backend->Execute("SELECT * FROM DateTest ORDER BY IDCol");
  EXPECT_EQ(ReadAll(*sorted), DateTestRows());
}

TEST(AccessReaderTest, RefusesEveryOtherStatement) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(kDateTestPath);
  for (const char* statement : {"DELETE FROM DateTest", "SELECT * FROM DateTest",
                                "INSERT INTO DateTest VALUES ('7')", "DROP TABLE DateTest"}) {
    EXPECT_NE(ErrorOf([&] { backend->Execute(statement); }).find("does not run"), std::string::npos)
        << statement;
  }
  EXPECT_EQ(ErrorOf([&] { backend->Execute("SELECT * FROM DateTest ORDER BY Nope"); }),
            "No value given for one or more required parameters.");
  EXPECT_NE(ErrorOf([&] { backend->Execute("SELECT * FROM Nope ORDER BY Id"); }).find("'Nope'"),
            std::string::npos);
  EXPECT_EQ(ReadTable(kDateTestPath, "DateTest").size(), 6u);  // the file is unchanged
}

TEST(AccessReaderTest, RefusesWhatIsNotAReadableAccessFile) {
  TempFolder folder;
  std::string missing = (folder.path() / "missing.mdb").string();
  EXPECT_EQ(ErrorOf([&] { OpenAccessBackend(missing); }), "Could not find file '" + missing + "'.");
  EXPECT_NE(ErrorOf([&] { OpenAccessBackend(folder.path().string()); }).find("folder"),
            std::string::npos);
  std::mt19937 random(7);
  std::string noise(3 * kPageSize, '\0');
  for (char& byte : noise) byte = char(random());
  std::string noise_path = folder.Write("noise.mdb", noise).string();
  EXPECT_EQ(ErrorOf([&] { OpenAccessBackend(noise_path); }),
            "Unrecognized database format '" + noise_path + "'.");
  std::string empty_path = folder.Write("empty.mdb", "").string();
  EXPECT_EQ(ErrorOf([&] { OpenAccessBackend(empty_path); }),
            "Unrecognized database format '" + empty_path + "'.");
  if (geteuid() != 0) {  // root reads any file
    std::string locked = folder.Write("locked.mdb", noise).string();
    chmod(locked.c_str(), 0);
    EXPECT_NE(ErrorOf([&] { OpenAccessBackend(locked); }).find("cannot be read"),
              std::string::npos);
  }
}

TEST(AccessReaderTest, RaisesAnErrorForEveryTruncation) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  const std::string original = ReadWholeFile(kDateTestPath);
  TempFolder folder;
  size_t pages = original.size() / kPageSize;
  // Cut inside a page, and at every page boundary before the last page that DateTest needs.
  std::vector<size_t> sizes = {100, 10000, original.size() - 1};
  for (size_t page = 1; page <= kDateTestDataPage; ++page) sizes.push_back(page * kPageSize);
  for (size_t size : sizes) {
    std::string path = folder.Write("cut.mdb", original.substr(0, size)).string();
    EXPECT_FALSE(ErrorOf([&] { ReadTable(path, "DateTest"); }).empty()) << size;
  }
  std::string whole = folder.Write("whole.mdb", original.substr(0, pages * kPageSize)).string();
  EXPECT_EQ(ReadTable(whole, "DateTest"), DateTestRows());
}

// A copy of DateTestDatabase.mdb changed by `change`, which gets the bytes of the data page.
template <typename Change>
std::string ChangedCopy(const TempFolder& folder, Change change) {
  std::string bytes = ReadWholeFile(kDateTestPath);
  auto* page = reinterpret_cast<uint8_t*>(bytes.data() + kDateTestDataPage * kPageSize);
  change(page);
  return folder.Write("changed.mdb", bytes).string();
}

uint16_t Get16(const uint8_t* page, size_t offset) {
  return uint16_t(page[offset] | (page[offset + 1] << 8));
}
void Put16(uint8_t* page, size_t offset, uint16_t value) {
  page[offset] = uint8_t(value);
  page[offset + 1] = uint8_t(value >> 8);
}
void PutPointer(uint8_t* page, size_t offset, size_t target_row) {
  uint32_t pointer = uint32_t(kDateTestDataPage << 8 | target_row);
  for (int i = 0; i < 4; ++i) page[offset + i] = uint8_t(pointer >> (8 * i));
}

// Jet moves a row that outgrows its page on an update: the old place keeps a pointer (its row
// table entry flagged 0x4000), and the new place is flagged deleted so that scans skip it.
TEST(AccessReaderTest, FollowsARowMovedByAnUpdate) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  TempFolder folder;
  std::string path = ChangedCopy(folder, [](uint8_t* page) {
    constexpr size_t kRowTable = 14;
    size_t count = Get16(page, 12);
    size_t start = Get16(page, kRowTable + 2) & 0x1FFF;
    size_t end = Get16(page, kRowTable) & 0x1FFF;
    size_t new_start = (Get16(page, kRowTable + 2 * (count - 1)) & 0x1FFF) - (end - start);
    std::copy(page + start, page + end, page + new_start);
    Put16(page, kRowTable + 2 * count, uint16_t(new_start | 0x8000));
    Put16(page, 12, uint16_t(count + 1));
    PutPointer(page, start, count);
    Put16(page, kRowTable + 2, uint16_t(start | 0x4000));
  });
  EXPECT_EQ(ReadTable(path, "DateTest"), DateTestRows());
}

TEST(AccessReaderTest, RaisesAnErrorForAMovedRowThatLeadsNowhere) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  TempFolder folder;
  auto moved_to = [&](size_t target_row) {
    return ChangedCopy(folder, [target_row](uint8_t* page) {
      size_t start = Get16(page, 16) & 0x1FFF;
      PutPointer(page, start, target_row);
      Put16(page, 16, uint16_t(start | 0x4000));
    });
  };
  EXPECT_NE(ErrorOf([&] { ReadTable(moved_to(1), "DateTest"); }).find("moved row"),
            std::string::npos);  // to itself
  EXPECT_NE(ErrorOf([&] { ReadTable(moved_to(200), "DateTest"); }).find("moved row"),
            std::string::npos);
}

// Random damage anywhere but the header: every read ends in rows or in an error, never in a
// crash or a hang (the sanitizer build checks every access on the way).
TEST(AccessReaderTest, DamagedCopiesGiveRowsOrErrorsButNeverCrash) {
  SKIP_WITHOUT_DATE_TEST_DATABASE();
  const std::string original = ReadWholeFile(kDateTestPath);
  const size_t pages = original.size() / kPageSize;
  TempFolder folder;
  int errors = 0;
  testing::internal::CaptureStderr();  // libmdb reports what it skips on stderr
  for (unsigned seed = 0; seed < 600; ++seed) {
    std::mt19937 random(seed);
    std::string bytes = original;
    size_t page = 1 + random() % (pages - 1);
    switch (seed % 3) {
      case 0:  // scattered bytes
        for (unsigned k = 1 + random() % 16; k > 0; --k) {
          bytes[kPageSize + random() % (bytes.size() - kPageSize)] = char(random());
        }
        break;
      case 1:  // a whole page of noise
        for (size_t k = 0; k < kPageSize; ++k) bytes[page * kPageSize + k] = char(random());
        break;
      case 2:  // a page's header and row table
        for (unsigned k = 1 + random() % 8; k > 0; --k) {
          bytes[page * kPageSize + random() % 64] = char(random());
        }
        break;
    }
    std::string path = folder.Write("damaged.mdb", bytes).string();
    try {
      std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path);
      for (const char* table : {"DateTest", "MSysObjects", "MSysQueries"}) {
        try {
          std::unique_ptr<Recordset> recordset = backend->OpenTable(table);
          ReadAll(*recordset);
          backend->Execute(std::string("SELECT * FROM ") + table + " ORDER BY 1");
        } catch (const RaisedError& error) {
          EXPECT_FALSE(error.Description().empty());
          ++errors;
        }
      }
    } catch (const RaisedError& error) {
      EXPECT_FALSE(error.Description().empty());
      ++errors;
    }
  }
  testing::internal::GetCapturedStderr();
  EXPECT_GT(errors, 0);
}

}  // namespace
}  // namespace toverak
