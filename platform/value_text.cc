#include "platform/value_text.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <type_traits>

namespace toverak {
namespace {

std::string Printf(const char* format, auto... args) {
  char text[64];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// `text` read as a Number; 0 when it is out of the Number's range.
template <typename Number>
Number ReadBack(const std::string& text) {
  Number number{};
  std::from_chars(text.data(), text.data() + text.size(), number);
  return number;
}

// The shortest digits that read back as `number`, in the shape of "%.*g" with `digits`: plain
// decimal, or one digit, the point and the rest with "e+20" or "e-05" when the exponent is
// below -4 or at least `digits`.
template <typename Number>
std::string ShortestText(Number number, int digits) {
  char buffer[64];
  const char* end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(number),
                                  std::chars_format::scientific)
                        .ptr;
  const std::string text(buffer, size_t(end - buffer));  // d[.ddd]e+XX
  const size_t e = text.find('e');
  const int exponent = std::stoi(text.substr(e + 1));
  const std::string sign = std::signbit(number) ? "-" : "";
  if (exponent < -4 || exponent >= digits)
    return sign + text.substr(0, e) + Printf("e%+03d", exponent);
  std::string significant = text.substr(0, 1) + (e > 2 ? text.substr(2, e - 2) : "");
  if (exponent < 0) return sign + "0." + std::string(size_t(-exponent - 1), '0') + significant;
  const size_t whole_digits = size_t(exponent) + 1;
  if (significant.size() < whole_digits) significant.append(whole_digits - significant.size(), '0');
  if (significant.size() > whole_digits)
    significant.insert(significant.begin() + long(whole_digits), '.');
  return sign + significant;
}

// A number with no trailing zeros, exponent as "E+20": with up to `digits` significant digits
// when they read back as the same number, otherwise with the fewest digits that do.
template <typename Number>
std::string FloatText(Number number, int digits) {
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number < 0 ? "-Infinity" : "Infinity";
  std::string text = Printf("%.*g", digits, double(number));
  if (ReadBack<Number>(text) != number) text = ShortestText(number, digits);
  const size_t e = text.find('e');
  if (e != std::string::npos) text[e] = 'E';
  return text;
}

// The decimal digits of a 96-bit magnitude held as three 32-bit limbs, most significant first.
std::string MagnitudeDigits(std::array<uint32_t, 3> limbs) {
  std::string digits;
  do {
    uint64_t remainder = 0;
    for (uint32_t& limb : limbs) {
      const uint64_t part = (remainder << 32) | limb;
      limb = uint32_t(part / 10);
      remainder = part % 10;
    }
    digits.push_back(char('0' + int(remainder)));
  } while (limbs[0] != 0 || limbs[1] != 0 || limbs[2] != 0);
  return std::string(digits.rbegin(), digits.rend());
}

// Digits scaled down by 10^scale, without trailing zeros in the fraction.
std::string ScaledText(std::string digits, int scale, bool negative) {
  if (int(digits.size()) <= scale)
    digits = std::string(size_t(scale) + 1 - digits.size(), '0') + digits;
  std::string text = digits.substr(0, digits.size() - size_t(scale));
  std::string fraction = digits.substr(digits.size() - size_t(scale));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  if (negative && text != "0") text = "-" + text;
  return text;
}

std::string CurrencyText(Currency value) {
  const bool negative = value.scaled < 0;
  const uint64_t magnitude = negative ? uint64_t(-(value.scaled + 1)) + 1 : uint64_t(value.scaled);
  return ScaledText(std::to_string(magnitude), 4, negative);
}

std::string DecimalText(const Decimal& value) {
  const std::array<uint32_t, 3> limbs{value.high, uint32_t(value.low >> 32), uint32_t(value.low)};
  return ScaledText(MagnitudeDigits(limbs), value.scale, value.negative);
}

// The date and time of `ticks`, 100-nanosecond units since 1 January of the year 1, rounded to
// the nearest second (exactly: a day number may lie either side of a half second); the whole
// second is one that a day number holds closely enough.
LocalDateTime DateFromTicks(int64_t ticks) {
  constexpr int64_t kTicksPerSecond = 10'000'000;
  constexpr int64_t kDaysBeforeDayZero = 693593;  // 1 January of the year 1 to 30 December 1899
  const int64_t seconds = (ticks + kTicksPerSecond / 2) / kTicksPerSecond;
  const double day = double(seconds / 86400 - kDaysBeforeDayZero);
  const double time = double(seconds % 86400) / 86400.0;
  return DateFromDays(day < 0 ? day - time : day + time);
}

std::string DateText(Date value) {
  const LocalDateTime at = DateTimeOf(value);
  const std::string date = Printf("%04d-%02d-%02d", at.year, at.month, at.day);
  const std::string time = Printf("%02d:%02d:%02d", at.hour, at.minute, at.second);
  const bool day_zero = at.year == 1899 && at.month == 12 && at.day == 30;
  const bool midnight = at.hour == 0 && at.minute == 0 && at.second == 0;
  if (day_zero) return time;
  if (midnight) return date;
  return date + " " + time;
}

std::string GuidText(const Guid& g) {
  return Printf("{%08X-%04X-%04X-%02X%02X-", g.data1, g.data2, g.data3, g.data4[0], g.data4[1]) +
         Printf("%02X%02X%02X%02X%02X%02X}", g.data4[2], g.data4[3], g.data4[4], g.data4[5],
                g.data4[6], g.data4[7]);
}

std::string BytesText(const Bytes& bytes) {
  std::string text;
  for (uint8_t byte : bytes) text += Printf("%02X", byte);
  return text;
}

}  // namespace

LocalDateTime DateFromDays(double days) {
  // Whole seconds, counted so that the time of day is the fraction's magnitude.
  const double whole_days = std::trunc(days);
  int64_t day = int64_t(whole_days);
  int64_t second = std::llround(std::fabs(days - whole_days) * 86400.0);
  // Rounded up to the next midnight, the time moves forward to the next day, before day zero
  // too: -1.9999999 (29 December 1899, 23:59:59.99) becomes 30 December.
  if (second >= 86400) {
    second -= 86400;
    day += 1;
  }
  constexpr int64_t kDayZeroBeforeEpoch = 25569;  // 30 December 1899 to 1 January 1970
  const std::chrono::year_month_day date{
      std::chrono::sys_days{std::chrono::days{day - kDayZeroBeforeEpoch}}};
  LocalDateTime at;
  at.year = int(date.year());
  at.month = int(unsigned(date.month()));
  at.day = int(unsigned(date.day()));
  at.hour = int(second / 3600);
  at.minute = int(second / 60 % 60);
  at.second = int(second % 60);
  return at;
}

LocalDateTime DateTimeOf(const Date& date) {
  return date.ticks ? DateFromTicks(*date.ticks) : DateFromDays(date.days);
}

std::string GeneralText(const Value& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Null>)
          return "";
        else if constexpr (std::is_same_v<T, bool>)
          return v ? "True" : "False";
        else if constexpr (std::is_same_v<T, float>)
          return FloatText(v, 7);
        else if constexpr (std::is_same_v<T, double>)
          return FloatText(v, 15);
        else if constexpr (std::is_integral_v<T>)
          return std::to_string(v);
        else if constexpr (std::is_same_v<T, Currency>)
          return CurrencyText(v);
        else if constexpr (std::is_same_v<T, Decimal>)
          return DecimalText(v);
        else if constexpr (std::is_same_v<T, Date>)
          return DateText(v);
        else if constexpr (std::is_same_v<T, std::string>)
          return v;
        else if constexpr (std::is_same_v<T, Bytes>)
          return BytesText(v);
        else
          return GuidText(v);
      },
      value);
}

}  // namespace toverak
