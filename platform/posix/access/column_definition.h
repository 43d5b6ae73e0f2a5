// What a table definition and its stored properties say of each column beyond what libmdb
// reads: a Decimal column's precision and scale, whether a column is calculated, and the type
// of a calculated column's result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace toverak {

// Where a format keeps the column definitions within the bytes of a table definition.
struct DefinitionLayout {
  size_t column_count_offset = 45;
  size_t real_index_count_offset = 51;
  size_t columns_offset = 63;  // where they start after the real indexes' entries
  size_t real_index_entry_size = 12;
  size_t column_entry_size = 25;
  size_t column_number_offset = 5;
  bool extended_flags = true;  // Jet 4 and ACE keep them in byte 16 of a column's entry
};

// One column's entry of a table definition.
struct ColumnDefinition {
  int type = 0;
  unsigned number = 0;  // the low byte of the column's number, by which libmdb orders them
  uint8_t precision = 0;
  uint8_t scale = 0;
  bool calculated = false;
};

// The column entries of `definition`, the bytes of a table definition (its first page whole,
// then each continuation page without its 8-byte header), in the order it lists them; nothing
// when the entries would run past its end.
std::optional<std::vector<ColumnDefinition>> ReadColumnDefinitions(
    std::span<const uint8_t> definition, const DefinitionLayout& layout);

// The type (as a table definition numbers types) that the stored properties `properties` of a
// table give as the result of its calculated column `column`; nothing when they give none.
// Throws when the properties are damaged.
std::optional<int> ResultTypeOf(std::span<const uint8_t> properties, const std::string& column);

}  // namespace toverak
