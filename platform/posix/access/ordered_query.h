// The one query that the Access reader runs, SELECT * FROM table ORDER BY column ASC|DESC, and
// the order in which Jet sorts the values of a column.
#pragma once

#include <optional>
#include <string>

#include "platform/value.h"

namespace toverak {

struct OrderedQuery {
  std::string table;
  std::string column;
  bool descending = false;
};

// The parts of `statement` when it is "SELECT * FROM t ORDER BY c [ASC|DESC]" (keywords in any
// case, names bare or in [brackets], an optional closing ";"); nothing for any other statement.
std::optional<OrderedQuery> ParseOrderedQuery(const std::string& statement);

// True when `a` sorts before `b` ascending: Nulls first, numbers by value, dates by time, text
// without regard to case, bytes by their order.
bool SortsBefore(const Value& a, const Value& b);

}  // namespace toverak
