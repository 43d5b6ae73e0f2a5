#include "platform/value_text.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/wildcard.h"

namespace toverak {
namespace {

TEST(GeneralText, WholeNumbersTruthValuesAndTexts) {
  EXPECT_EQ(GeneralText(Null{}), "");
  EXPECT_EQ(GeneralText(true), "True");
  EXPECT_EQ(GeneralText(false), "False");
  EXPECT_EQ(GeneralText(uint8_t(255)), "255");
  EXPECT_EQ(GeneralText(int16_t(-32768)), "-32768");
  EXPECT_EQ(GeneralText(int32_t(1234567)), "1234567");
  EXPECT_EQ(GeneralText(int64_t(-9223372036854775807LL - 1)), "-9223372036854775808");
  EXPECT_EQ(GeneralText(std::string("Router 'A'\r\n")), "Router 'A'\r\n");
}

TEST(GeneralText, NumbersWithAFractionHaveNoTrailingZerosAndAtMostTheirDigits) {
  EXPECT_EQ(GeneralText(1.5f), "1.5");
  EXPECT_EQ(GeneralText(0.1f), "0.1");
  EXPECT_EQ(GeneralText(0.1), "0.1");
  EXPECT_EQ(GeneralText(2.0), "2");
  EXPECT_EQ(GeneralText(-1234.5678), "-1234.5678");
  EXPECT_EQ(GeneralText(1e20), "1E+20");
  EXPECT_EQ(GeneralText(1.5e-10), "1.5E-10");
  EXPECT_EQ(GeneralText(1e15), "1E+15");
  EXPECT_EQ(GeneralText(123456789012345.0), "123456789012345");
}

// Where 7 (Single) or 15 (Double) digits would not read back as the same number, the fewest
// digits that do: at most 9 or 17.
TEST(GeneralText, NumbersReadBackBitForBit) {
  EXPECT_EQ(GeneralText(1.0000001f), "1.0000001");
  EXPECT_EQ(GeneralText(3.14159265f), "3.1415927");
  EXPECT_EQ(GeneralText(-16777216.0f), "-1.6777216E+07");
  EXPECT_EQ(GeneralText(3.4028235e38f), "3.4028235E+38");
  EXPECT_EQ(GeneralText(0.30000000000000004), "0.30000000000000004");
  EXPECT_EQ(GeneralText(123456789.12345678), "123456789.12345678");
  EXPECT_EQ(GeneralText(1.0 / 3.0), "0.3333333333333333");
  EXPECT_EQ(GeneralText(-1.7976931348623157e308), "-1.7976931348623157E+308");
  EXPECT_EQ(GeneralText(1.2345678901234566e-7), "1.2345678901234566E-07");
  EXPECT_EQ(GeneralText(9007199254740993.0), "9.007199254740992E+15");
  for (const double number : {0.1 + 0.2, 1.0 / 3.0, 2.0 / 3.0 * 1e-300, 4.35, 5e-324}) {
    EXPECT_EQ(std::strtod(GeneralText(number).c_str(), nullptr), number) << number;
    EXPECT_EQ(std::strtof(GeneralText(float(number)).c_str(), nullptr), float(number)) << number;
  }
  EXPECT_EQ(GeneralText(Currency{123456}), "12.3456");
  EXPECT_EQ(GeneralText(Currency{-5000}), "-0.5");
  EXPECT_EQ(GeneralText(Currency{10000}), "1");
  EXPECT_EQ(GeneralText(Currency{INT64_MIN}), "-922337203685477.5808");
  EXPECT_EQ(GeneralText(Decimal{12345, 0, 2, true}), "-123.45");
  EXPECT_EQ(GeneralText(Decimal{~0ULL, ~0U, 0, false}), "79228162514264337593543950335");
  EXPECT_EQ(GeneralText(Decimal{5, 0, 3, false}), "0.005");
  EXPECT_EQ(GeneralText(Decimal{0, 0, 3, true}), "0");
}

TEST(GeneralText, DatesLeaveOutAMidnightTimeAndTheDayZeroDate) {
  const double morning = (8 * 3600 + 58 * 60 + 21) / 86400.0;
  EXPECT_EQ(GeneralText(Date{44916.0 + morning}), "2022-12-21 08:58:21");
  EXPECT_EQ(GeneralText(Date{44916.0}), "2022-12-21");
  EXPECT_EQ(GeneralText(Date{morning}), "08:58:21");
  EXPECT_EQ(GeneralText(Date{0}), "00:00:00");
  EXPECT_EQ(GeneralText(Date{-1.25}), "1899-12-29 06:00:00");
  EXPECT_EQ(GeneralText(Date{-328716.0}), "1000-01-01");
  EXPECT_EQ(GeneralText(Date{2958465.99999}), "9999-12-31 23:59:59");
  // A fraction that rounds up to the next midnight moves to the next day.
  EXPECT_EQ(GeneralText(Date{44916.999999}), "2022-12-22");
  // Before day zero too: the day moves forward in time.
  EXPECT_EQ(GeneralText(Date{-1.9999999}), "00:00:00");  // 30 December 1899, midnight
  EXPECT_EQ(GeneralText(Date{-0.9999999}), "1899-12-31");
  EXPECT_EQ(GeneralText(Date{-2.9999999}), "1899-12-29");
  // A Date/Time Extended value rounds from its exact time, whatever its day number holds.
  const int64_t half_past = (737954LL * 86400 + 45900) * 10'000'000 + 5'000'000;
  EXPECT_EQ(GeneralText(Date{44361.0, half_past}), "2021-06-14 12:45:01");
  EXPECT_EQ(GeneralText(Date{44361.0, half_past - 1}), "2021-06-14 12:45:00");
  EXPECT_EQ(GeneralText(Date{-693593.0, 0}), "0001-01-01");
}

TEST(GeneralText, GuidsAndBytes) {
  const Guid guid{0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
  EXPECT_EQ(GeneralText(guid), "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
  EXPECT_EQ(GeneralText(Bytes{0x00, 0x7F, 0xFF}), "007FFF");
  EXPECT_EQ(GeneralText(Bytes{}), "");
}

TEST(MatchesWildcard, StarsAndQuestionMarks) {
  EXPECT_TRUE(MatchesWildcard("NarvelBackup_2026-12-08.mdb", "NarvelBackup_2026-12-08.mdb"));
  EXPECT_TRUE(MatchesWildcard("*.mdb", "NarvelBackup_2026-12-08.mdb"));
  EXPECT_TRUE(
      MatchesWildcard("Narvel*_2026-?"
                      "?-08.mdb",
                      "NarvelBackup_2026-12-08.mdb"));
  EXPECT_TRUE(MatchesWildcard("*", ""));
  EXPECT_FALSE(MatchesWildcard("?", ""));
  EXPECT_FALSE(MatchesWildcard("*.mdb", "backup.mdb.old"));
  EXPECT_FALSE(MatchesWildcard("narvel*", "Narvel.mdb"));
  EXPECT_TRUE(MatchesWildcard("a*b*c", "axxbyybzc"));
}

}  // namespace
}  // namespace toverak
