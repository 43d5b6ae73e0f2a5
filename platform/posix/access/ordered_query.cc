#include "platform/posix/access/ordered_query.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <compare>
#include <vector>

#include "platform/posix/access/access_text.h"

namespace toverak {
namespace {

// Splits a statement into words and [bracketed] names; nothing when a bracket is left open.
std::optional<std::vector<std::string>> Tokens(const std::string& statement) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < statement.size()) {
    unsigned char c = static_cast<unsigned char>(statement[i]);
    if (std::isspace(c)) {
      ++i;
    } else if (c == '[') {
      size_t close = statement.find(']', i + 1);
      if (close == std::string::npos || close == i + 1) return std::nullopt;
      tokens.push_back(statement.substr(i, close - i + 1));
      i = close + 1;
    } else if (c == '*' || c == ';') {
      tokens.push_back(std::string(1, char(c)));
      ++i;
    } else {
      size_t end = i;
      while (end < statement.size() && !std::isspace(static_cast<unsigned char>(statement[end])) &&
             statement[end] != '[' && statement[end] != '*' && statement[end] != ';') {
        ++end;
      }
      tokens.push_back(statement.substr(i, end - i));
      i = end;
    }
  }
  return tokens;
}

bool IsKeyword(const std::string& token, const char* keyword) {
  return FoldCase(token) == FoldCase(keyword);
}

// A table or column name: [anything but brackets], or letters, digits and underscores.
std::optional<std::string> Name(const std::string& token) {
  if (token.size() >= 2 && token.front() == '[') return token.substr(1, token.size() - 2);
  for (char c : token) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return std::nullopt;
  }
  return token;
}

// The kinds of value in the order that a mixed column would sort them.
enum class Rank { kNull, kNumber, kDate, kText, kBytes };

double NumberOf(const Value& value) {
  return std::visit(
      [](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return v ? -1.0 : 0.0;  // Jet stores Yes as -1
        } else if constexpr (std::is_arithmetic_v<T>) {
          return double(v);
        } else if constexpr (std::is_same_v<T, Currency>) {
          return double(v.scaled) / 10000.0;
        } else if constexpr (std::is_same_v<T, Decimal>) {
          double magnitude =
              (double(v.high) * 18446744073709551616.0 + double(v.low)) / std::pow(10.0, v.scale);
          return v.negative ? -magnitude : magnitude;
        } else {
          return 0.0;
        }
      },
      value);
}

// A day number as a point in time: before day 0 the fraction still counts forward from the
// start of its day, so -1.25 (29 December 1899, 06:00) comes before -1.5 (12:00).
double TimeOf(const Date& date) {
  double day = std::trunc(date.days);
  return day + std::fabs(date.days - day);
}

bool DateBefore(const Date& a, const Date& b) {
  if (a.ticks && b.ticks) return *a.ticks < *b.ticks;
  return TimeOf(a) < TimeOf(b);
}

// The magnitude of `decimal` times 10^`extra_scale`, in 32-bit words, the least significant
// first: room for 96 bits times 10^28.
std::array<uint32_t, 7> ScaledMagnitude(const Decimal& decimal, int extra_scale) {
  std::array<uint32_t, 7> words{uint32_t(decimal.low), uint32_t(decimal.low >> 32), decimal.high};
  for (int i = 0; i < extra_scale; ++i) {
    uint64_t carry = 0;
    for (uint32_t& word : words) {
      const uint64_t product = uint64_t(word) * 10 + carry;
      word = uint32_t(product);
      carry = product >> 32;
    }
  }
  return words;
}

int SignOf(const Decimal& decimal) {
  if (decimal.low == 0 && decimal.high == 0) return 0;
  return decimal.negative ? -1 : 1;
}

// Decimals compared exactly, at the larger of their scales.
bool DecimalBefore(const Decimal& a, const Decimal& b) {
  const int sign_a = SignOf(a);
  const int sign_b = SignOf(b);
  if (sign_a != sign_b || sign_a == 0) return sign_a < sign_b;
  const int scale = std::max(a.scale, b.scale);
  const std::array<uint32_t, 7> magnitude_a = ScaledMagnitude(a, scale - a.scale);
  const std::array<uint32_t, 7> magnitude_b = ScaledMagnitude(b, scale - b.scale);
  const std::strong_ordering order = std::lexicographical_compare_three_way(
      magnitude_a.rbegin(), magnitude_a.rend(), magnitude_b.rbegin(), magnitude_b.rend());
  return sign_a < 0 ? order > 0 : order < 0;
}

Rank RankOf(const Value& value) {
  if (IsNull(value)) return Rank::kNull;
  if (std::holds_alternative<Date>(value)) return Rank::kDate;
  if (std::holds_alternative<std::string>(value)) return Rank::kText;
  if (std::holds_alternative<Bytes>(value) || std::holds_alternative<Guid>(value)) {
    return Rank::kBytes;
  }
  return Rank::kNumber;
}

}  // namespace

std::optional<OrderedQuery> ParseOrderedQuery(const std::string& statement) {
  std::optional<std::vector<std::string>> tokens = Tokens(statement);
  if (!tokens) return std::nullopt;
  std::vector<std::string>& t = *tokens;
  if (!t.empty() && t.back() == ";") t.pop_back();
  if (t.size() != 7 && t.size() != 8) return std::nullopt;
  if (!IsKeyword(t[0], "SELECT") || t[1] != "*" || !IsKeyword(t[2], "FROM") ||
      !IsKeyword(t[4], "ORDER") || !IsKeyword(t[5], "BY")) {
    return std::nullopt;
  }
  std::optional<std::string> table = Name(t[3]);
  std::optional<std::string> column = Name(t[6]);
  if (!table || !column) return std::nullopt;
  OrderedQuery query{*table, *column, false};
  if (t.size() == 8) {
    if (IsKeyword(t[7], "DESC")) {
      query.descending = true;
    } else if (!IsKeyword(t[7], "ASC")) {
      return std::nullopt;
    }
  }
  return query;
}

bool SortsBefore(const Value& a, const Value& b) {
  Rank rank_a = RankOf(a);
  Rank rank_b = RankOf(b);
  if (rank_a != rank_b) return rank_a < rank_b;
  switch (rank_a) {
    case Rank::kNull:
      return false;
    case Rank::kNumber: {
      if (std::holds_alternative<Decimal>(a) && std::holds_alternative<Decimal>(b)) {
        return DecimalBefore(std::get<Decimal>(a), std::get<Decimal>(b));
      }
      bool exact = a.index() == b.index() && !std::holds_alternative<bool>(a);
      return exact ? a < b : NumberOf(a) < NumberOf(b);
    }
    case Rank::kDate:
      return DateBefore(std::get<Date>(a), std::get<Date>(b));
    case Rank::kText:
      return FoldCase(std::get<std::string>(a)) < FoldCase(std::get<std::string>(b));
    case Rank::kBytes:
      return a < b;
  }
  return false;
}

}  // namespace toverak
