// Helpers shared by the fuzz targets: the fuzz input as a file that libmdb can open by name,
// the tables of its catalog, and the reading of every value of a recordset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/database.h"

namespace toverak {

// A folder private to this process, made at the first call and removed when the process ends.
const std::string& FuzzFolder();

// Writes the `size` bytes at `data` as the file `name` inside FuzzFolder and returns its path.
std::string WriteFuzzInput(const std::string& name, const uint8_t* data, size_t size);

// A connection, open, to the Access file at `path`.
std::unique_ptr<Connection> OpenAccessFile(Database& database, const std::string& path);

// The names of the tables (user and system) that the catalog of an open Access `connection`
// lists, in its order.
std::vector<std::string> CatalogTables(Database& database, Connection& connection);

// Opens the Access file at `path` and calls `read` for each table that its catalog lists. A
// damaged file or table may only raise an error, which ends the file's or that table's read.
void ForEachCatalogTable(
    const std::string& path,
    const std::function<void(Database&, Connection&, const std::string& table)>& read);

// Reads every value of every row of `rows`, from its current row to EOF, by position and by
// name; returns the number of rows read.
int64_t ReadEveryValue(Recordset& rows);

}  // namespace toverak
