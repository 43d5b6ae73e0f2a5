// ADO's and Jet's own descriptions of the failures that every implementation of the database
// objects reports alike, so that the run log reads the same on every platform.
#pragma once

#include <string>

namespace toverak::ado_error {

inline constexpr char kNoCurrentRow[] =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";
inline constexpr char kItemNotFound[] =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";
inline constexpr char kObjectClosed[] = "Operation is not allowed when the object is closed.";
inline constexpr char kObjectOpen[] = "Operation is not allowed when the object is open.";

// Jet's description of a table or query that the database does not hold.
inline std::string MissingTable(const std::string& name) {
  return "The Microsoft Jet database engine cannot find the input table or query '" + name +
         "'. Make sure it exists and that its name is spelled correctly.";
}

}  // namespace toverak::ado_error
