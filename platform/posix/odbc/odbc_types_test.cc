#include "platform/posix/odbc/odbc_types.h"

#include <sql.h>
#include <sqlext.h>

#include <gtest/gtest.h>

#include "platform/error.h"

namespace toverak {
namespace {

TEST(OdbcTypes, DecimalsKeepEveryDigitAndTheirScale) {
  EXPECT_EQ(DecimalFromText("-1234.5678"), (Decimal{12345678, 0, 4, true}));
  EXPECT_EQ(DecimalFromText(".5"), (Decimal{5, 0, 1, false}));
  EXPECT_EQ(DecimalFromText("-0.00"), (Decimal{0, 0, 2, false}));
  // 2^96 - 1, the largest magnitude.
  EXPECT_EQ(DecimalFromText("79228162514264337593543950335"),
            (Decimal{UINT64_MAX, UINT32_MAX, 0, false}));
  EXPECT_EQ(DecimalFromText("18446744073709551616"), (Decimal{0, 1, 0, false}));
  for (const char* bad : {"79228162514264337593543950336", "", "-", "1.2.3", "1e5", " 1", "x"}) {
    EXPECT_THROW(DecimalFromText(bad), RaisedError) << bad;
  }
}

TEST(OdbcTypes, MoneyIsRoundedToFourDecimals) {
  EXPECT_EQ(CurrencyFromText("12.34"), Currency{123400});
  EXPECT_EQ(CurrencyFromText("-0.00005"), Currency{-1});
  EXPECT_EQ(CurrencyFromText("1.23444"), Currency{12344});
  EXPECT_EQ(CurrencyFromText("-922337203685477.5808"), Currency{INT64_MIN});
  EXPECT_EQ(CurrencyFromText("922337203685477.5807"), Currency{INT64_MAX});
  EXPECT_THROW(CurrencyFromText("922337203685477.5808"), RaisedError);
  EXPECT_THROW(CurrencyFromText("922337203685477.58075"), RaisedError);
}

TEST(OdbcTypes, DatesCountDaysFromTheLastDayOf1899) {
  EXPECT_EQ(DateFromParts(1899, 12, 30, 0, 0, 0, 0).days, 0);
  EXPECT_EQ(DateFromParts(1899, 12, 30, 12, 0, 0, 0).days, 0.5);
  EXPECT_EQ(DateFromParts(2024, 3, 1, 0, 0, 0, 0).days, 45352);
  EXPECT_EQ(DateFromParts(2024, 3, 1, 6, 0, 0, 0).days, 45352.25);
  // Before day zero the time still runs forward from midnight.
  EXPECT_EQ(DateFromParts(1899, 12, 29, 6, 0, 0, 0).days, -1.25);
  EXPECT_NEAR(DateFromParts(2024, 3, 1, 0, 0, 0, 500000000).days, 45352 + 0.5 / 86400, 1e-10);
}

TEST(OdbcTypes, ColumnsMapToAdoTypes) {
  EXPECT_EQ(KindOfColumn(SQL_DECIMAL, false, "money").ado_type, ado_type::kCurrency);
  EXPECT_EQ(KindOfColumn(SQL_DECIMAL, false, "SmallMoney").value_kind, ValueKind::kCurrency);
  EXPECT_EQ(KindOfColumn(SQL_NUMERIC, false, "numeric").ado_type, ado_type::kNumeric);
  EXPECT_EQ(KindOfColumn(SQL_TINYINT, true, "tinyint").ado_type, ado_type::kUnsignedTinyInt);
  EXPECT_EQ(KindOfColumn(SQL_TINYINT, false, "tinyint").value_kind, ValueKind::kInt16);
  EXPECT_EQ(KindOfColumn(SQL_INTEGER, true, "int unsigned").value_kind, ValueKind::kInt64);
  EXPECT_EQ(KindOfColumn(SQL_BIGINT, true, "bigint unsigned").value_kind, ValueKind::kDecimal);
  EXPECT_EQ(KindOfColumn(SQL_WVARCHAR, false, "nvarchar").ado_type, ado_type::kVarWChar);
  EXPECT_EQ(KindOfColumn(-155, false, "datetimeoffset").value_kind, ValueKind::kText);
}

TEST(OdbcTypes, LoginMessagesOfSqlServerAreNoErrors) {
  const std::vector<Diagnostic> login = {
      {"01000", 5701, "[FreeTDS][SQL Server]Changed database context to 'Narvel'."},
      {"01000", 5703, "[FreeTDS][SQL Server]Changed language setting to us_english."},
      {"01000", 0, "[Other]Changed database context to 'master'."}};
  EXPECT_EQ(CountReportedDiagnostics(login), 0);
  EXPECT_EQ(CountReportedDiagnostics({{"00000", -1, "NOTICE: x"}, login[0]}), 1);
}

TEST(OdbcTypes, DescriptionsAreOneLineWithEachState) {
  EXPECT_EQ(
      DescribeDiagnostics({{"23505", 7, "ERROR: duplicate key;\nError while executing"},
                           {"HY000", 1, "second\r\n"}}),
      "ERROR: duplicate key; Error while executing (SQLSTATE 23505); second (SQLSTATE HY000)");
}

}  // namespace
}  // namespace toverak
