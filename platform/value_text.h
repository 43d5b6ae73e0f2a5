// Values turned into text, and the calendar of the date scale.
#pragma once

#include <string>

#include "platform/host.h"
#include "platform/value.h"

namespace toverak {

// The calendar date and time of a day number (days since 30 December 1899, the fraction the
// time of day), rounded to the nearest second; a negative day number keeps its fraction as the
// time of that earlier day.
LocalDateTime DateFromDays(double days);

// The calendar date and time of a date value, rounded to the nearest second: from its exact
// time where it keeps one, else from its day number.
LocalDateTime DateTimeOf(const Date& date);

// The general text form of a value, with fixed settings: Null empty, text unchanged, whole
// numbers in plain decimal, True / False, Single and Double with "." and no trailing zeros, to 7
// and 15 significant digits where these read back as the same number and otherwise with the
// fewest digits that do (at most 9 and 17), Currency and Decimal exact, dates as YYYY-MM-DD
// HH:MM:SS (the date alone at midnight, the time alone on day zero), GUIDs in braces, bytes as
// hexadecimal pairs.
std::string GeneralText(const Value& value);

}  // namespace toverak
