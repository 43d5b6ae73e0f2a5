// The value of one database field, as an Access table or a SQL database gives it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace toverak {

// A field that holds no value.
struct Null {
  auto operator<=>(const Null&) const = default;
};

// Money: the amount times 10,000, as Access and SQL Server store it.
struct Currency {
  int64_t scaled = 0;
  auto operator<=>(const Currency&) const = default;
};

// An exact decimal: a 96-bit unsigned magnitude, a sign and a power-of-ten scale.
struct Decimal {
  uint64_t low = 0;
  uint32_t high = 0;
  uint8_t scale = 0;
  bool negative = false;
  auto operator<=>(const Decimal&) const = default;
};

// A date and time: days since 30 December 1899, the fraction being the time of day. A value of
// a Date/Time Extended column also keeps its exact time in `ticks`, 100-nanosecond units since
// 1 January of the year 1 (`days` holds it as closely as a double can).
struct Date {
  double days = 0;
  std::optional<int64_t> ticks = std::nullopt;
  auto operator<=>(const Date&) const = default;
};

// A GUID in its in-memory layout: Data1, Data2 and Data3 as numbers, Data4 as bytes.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};
  auto operator<=>(const Guid&) const = default;
};

using Bytes = std::vector<uint8_t>;

// Text is held as UTF-8.
using Value = std::variant<Null, bool, uint8_t, int16_t, int32_t, int64_t, Currency, float, double,
                           Decimal, Date, std::string, Bytes, Guid>;

inline bool IsNull(const Value& value) { return std::holds_alternative<Null>(value); }

// Field type codes, as ADO numbers them.
namespace ado_type {
constexpr int32_t kSmallInt = 2;
constexpr int32_t kInteger = 3;
constexpr int32_t kSingle = 4;
constexpr int32_t kDouble = 5;
constexpr int32_t kCurrency = 6;
constexpr int32_t kDate = 7;
constexpr int32_t kBoolean = 11;
constexpr int32_t kUnsignedTinyInt = 17;
constexpr int32_t kBigInt = 20;
constexpr int32_t kGuid = 72;
constexpr int32_t kBinary = 128;
constexpr int32_t kChar = 129;
constexpr int32_t kWChar = 130;
constexpr int32_t kNumeric = 131;
constexpr int32_t kDBTimeStamp = 135;
constexpr int32_t kVarChar = 200;
constexpr int32_t kLongVarChar = 201;
constexpr int32_t kVarWChar = 202;
constexpr int32_t kLongVarWChar = 203;
constexpr int32_t kVarBinary = 204;
constexpr int32_t kLongVarBinary = 205;
}  // namespace ado_type

}  // namespace toverak
