#include "platform/posix/access/column_definition.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/posix/access/access_text.h"
#include "platform/posix/access/data_page.h"

namespace toverak {
namespace {

// Bytes of a column's entry that every format keeps in the same place.
constexpr size_t kPrecisionOffset = 11;
constexpr size_t kScaleOffset = 12;
constexpr size_t kExtendedFlagsOffset = 16;
constexpr uint8_t kCalculatedFlags = 0xC0;

// Stored properties: a 4-byte mark, then chunks of a 4-byte length (its own 6 bytes included)
// and a 2-byte kind: the names of the properties (kind 0x80), or the properties of the table or
// of one column, each a block named for what it describes.
constexpr size_t kMarkSize = 4;
constexpr size_t kChunkHeadSize = 6;
constexpr uint16_t kNamesChunk = 0x80;
// A property: 2-byte length (its head included), a DDL byte, its data type, the index of its
// name and the length of its data, then the data.
constexpr size_t kPropertyHeadSize = 8;
constexpr uint8_t kByteProperty = 2;

[[noreturn]] void ThrowDamaged(const std::string& column) {
  throw RaisedError("The Access file is damaged: the stored properties of column '" + column +
                    "' are cut short.");
}

// A span of `size` bytes at `offset` of `bytes`; throws when it runs past the end.
std::span<const uint8_t> Part(std::span<const uint8_t> bytes, size_t offset, size_t size,
                              const std::string& column) {
  if (offset > bytes.size() || size > bytes.size() - offset) ThrowDamaged(column);
  return bytes.subspan(offset, size);
}

std::span<const uint8_t> Rest(std::span<const uint8_t> bytes, size_t offset,
                              const std::string& column) {
  if (offset > bytes.size()) ThrowDamaged(column);
  return bytes.subspan(offset);
}

uint32_t Number(std::span<const uint8_t> bytes, size_t offset, size_t size,
                const std::string& column) {
  return ReadLittleEndian(Part(bytes, offset, size, column), 0, size);
}

std::vector<std::string> PropertyNames(std::span<const uint8_t> chunk, const std::string& column) {
  std::vector<std::string> names;
  for (size_t at = 0; at < chunk.size();) {
    const size_t length = Number(chunk, at, 2, column);
    names.push_back(Utf8FromJetText(Part(chunk, at + 2, length, column)));
    at += 2 + length;
  }
  return names;
}

// The ResultType of a block of properties (the block's name already read).
std::optional<int> ResultTypeOfBlock(std::span<const uint8_t> properties,
                                     const std::vector<std::string>& names,
                                     const std::string& column) {
  for (size_t at = 0; at < properties.size();) {
    const size_t length = Number(properties, at, 2, column);
    if (length < kPropertyHeadSize) ThrowDamaged(column);
    std::span<const uint8_t> property = Part(properties, at, length, column);
    const size_t name = ReadLittleEndian(property, 4, 2);
    const size_t data_size = ReadLittleEndian(property, 6, 2);
    if (name >= names.size()) ThrowDamaged(column);
    if (names[name] == "ResultType" && property[3] == kByteProperty && data_size == 1) {
      return int(Part(property, kPropertyHeadSize, 1, column)[0]);
    }
    at += length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<ColumnDefinition>> ReadColumnDefinitions(
    std::span<const uint8_t> definition, const DefinitionLayout& layout) {
  const size_t count_end =
      std::max(layout.column_count_offset + 2, layout.real_index_count_offset + 4);
  if (definition.size() < count_end) return std::nullopt;
  const size_t columns = ReadLittleEndian(definition, layout.column_count_offset, 2);
  const uint64_t start = layout.columns_offset +
                         uint64_t(ReadLittleEndian(definition, layout.real_index_count_offset, 4)) *
                             layout.real_index_entry_size;
  if (start + uint64_t(columns) * layout.column_entry_size > definition.size()) return std::nullopt;
  std::vector<ColumnDefinition> found;
  for (size_t i = 0; i < columns; ++i) {
    std::span<const uint8_t> entry =
        definition.subspan(size_t(start) + i * layout.column_entry_size, layout.column_entry_size);
    ColumnDefinition column;
    column.type = entry[0];
    column.number = entry[layout.column_number_offset];
    column.precision = entry[kPrecisionOffset];
    column.scale = entry[kScaleOffset];
    column.calculated =
        layout.extended_flags && (entry[kExtendedFlagsOffset] & kCalculatedFlags) != 0;
    found.push_back(column);
  }
  return found;
}

std::optional<int> ResultTypeOf(std::span<const uint8_t> properties, const std::string& column) {
  if (properties.empty()) return std::nullopt;
  std::vector<std::string> names;
  const std::string wanted = FoldCase(column);
  for (size_t at = kMarkSize; at < properties.size();) {
    const size_t length = Number(properties, at, 4, column);
    if (length < kChunkHeadSize) ThrowDamaged(column);
    std::span<const uint8_t> chunk = Part(properties, at, length, column).subspan(kChunkHeadSize);
    if (ReadLittleEndian(properties, at + 4, 2) == kNamesChunk) {
      names = PropertyNames(chunk, column);
    } else {
      // A block: a 4-byte length of its head, a 2-byte length of its name, its name.
      const size_t head = Number(chunk, 0, 4, column);
      const size_t name_length = Number(chunk, 4, 2, column);
      if (head < 6 + name_length) ThrowDamaged(column);
      std::string name = Utf8FromJetText(Part(chunk, 6, name_length, column));
      if (FoldCase(name) == wanted) {
        return ResultTypeOfBlock(Rest(chunk, head, column), names, column);
      }
    }
    at += length;
  }
  return std::nullopt;
}

}  // namespace toverak
