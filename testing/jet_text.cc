#include "testing/jet_text.h"

#include "platform/error.h"

namespace toverak {
namespace {

constexpr size_t kMaxCompressedUnits = 1024;

// The code point that starts at `text[*position]`, advancing the position past it.
char32_t NextCodePoint(const std::string& text, size_t* position) {
  const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
  const uint8_t lead = byte(*position);
  int length = 1;
  char32_t point = lead;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
  } else if (lead >= 0x80) {
    throw RaisedError("invalid UTF-8 in text \"" + text + "\"");
  }
  if (*position + length > text.size()) throw RaisedError("truncated UTF-8 in text");
  for (int i = 1; i < length; ++i) {
    const uint8_t next = byte(*position + i);
    if ((next & 0xC0) != 0x80) throw RaisedError("invalid UTF-8 in text \"" + text + "\"");
    point = (point << 6) | (next & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) {
    throw RaisedError("invalid UTF-8 in text \"" + text + "\"");
  }
  *position += length;
  return point;
}

bool CanCompress(const std::u16string& units) {
  if (units.size() > kMaxCompressedUnits) return false;
  for (char16_t unit : units) {
    if ((unit & 0xFF) == 0) return false;
  }
  return true;
}

std::vector<uint8_t> Compress(const std::u16string& units) {
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  bool one_byte_mode = true;
  for (char16_t unit : units) {
    const bool fits_one_byte = unit < 0x100;
    if (fits_one_byte != one_byte_mode) {
      bytes.push_back(0x00);
      one_byte_mode = fits_one_byte;
    }
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    if (!one_byte_mode) bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

std::vector<uint8_t> Plain(const std::u16string& units) {
  std::vector<uint8_t> bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string units;
  size_t position = 0;
  while (position < text.size()) {
    const char32_t point = NextCodePoint(text, &position);
    if (point < 0x10000) {
      units.push_back(static_cast<char16_t>(point));
    } else {
      const char32_t offset = point - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    }
  }
  return units;
}

std::vector<uint8_t> EncodeJetText(const std::u16string& units) {
  const bool starts_with_marker = !units.empty() && units[0] == 0xFEFF;
  if (!CanCompress(units)) {
    if (starts_with_marker) {
      throw RaisedError("a text that starts with U+FEFF must be compressible to be stored");
    }
    return Plain(units);
  }
  std::vector<uint8_t> compressed = Compress(units);
  if (starts_with_marker || compressed.size() < units.size() * 2) return compressed;
  return Plain(units);
}

}  // namespace toverak
