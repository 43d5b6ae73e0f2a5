#include "platform/posix/access/access_text.h"

#include <locale.h>
#include <wctype.h>

#include <array>

namespace toverak {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out += char(code_point);
  } else if (code_point < 0x800) {
    out += char(0xC0 | (code_point >> 6));
    out += char(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += char(0xE0 | (code_point >> 12));
    out += char(0x80 | ((code_point >> 6) & 0x3F));
    out += char(0x80 | (code_point & 0x3F));
  } else {
    out += char(0xF0 | (code_point >> 18));
    out += char(0x80 | ((code_point >> 12) & 0x3F));
    out += char(0x80 | ((code_point >> 6) & 0x3F));
    out += char(0x80 | (code_point & 0x3F));
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Joins UTF-16 code units into characters, pairing surrogates as they come.
class Utf16Decoder {
 public:
  void Add(char16_t unit) {
    if (pending_high_ != 0) {
      char16_t high = pending_high_;
      pending_high_ = 0;
      if (IsLowSurrogate(unit)) {
        AppendUtf8(0x10000 + ((char32_t(high) - 0xD800) << 10) + (unit - 0xDC00), out_);
        return;
      }
      AppendUtf8(kReplacement, out_);
    }
    if (IsHighSurrogate(unit)) {
      pending_high_ = unit;
    } else {
      AppendUtf8(IsLowSurrogate(unit) ? kReplacement : char32_t(unit), out_);
    }
  }
  std::string Finish() {
    if (pending_high_ != 0) AppendUtf8(kReplacement, out_);
    pending_high_ = 0;
    return std::move(out_);
  }

 private:
  std::string out_;
  char16_t pending_high_ = 0;
};

bool IsCompressed(std::span<const uint8_t> bytes) {
  return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

std::string DecodeCompressed(std::span<const uint8_t> bytes) {
  Utf16Decoder decoder;
  bool one_byte_units = true;
  size_t i = 2;
  while (i < bytes.size()) {
    if (bytes[i] == 0x00) {
      one_byte_units = !one_byte_units;
      ++i;
    } else if (one_byte_units) {
      decoder.Add(bytes[i++]);
    } else if (i + 1 < bytes.size()) {
      decoder.Add(char16_t(bytes[i] | (bytes[i + 1] << 8)));
      i += 2;
    } else {
      std::string text = decoder.Finish();
      AppendUtf8(kReplacement, text);
      return text;
    }
  }
  return decoder.Finish();
}

std::string DecodeUtf16(std::span<const uint8_t> bytes) {
  Utf16Decoder decoder;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    decoder.Add(char16_t(bytes[i] | (bytes[i + 1] << 8)));
  }
  std::string text = decoder.Finish();
  if (bytes.size() % 2 != 0) AppendUtf8(kReplacement, text);
  return text;
}

// Code page 1252 from 0x80 to 0x9F; the bytes that it leaves undefined keep their own value.
constexpr std::array<char16_t, 32> kCodePage1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The next character of UTF-8 `text` from `i`, which moves past it; a malformed sequence
// gives U+FFFD and moves one byte.
char32_t NextCodePoint(std::string_view text, size_t& i) {
  uint8_t lead = uint8_t(text[i]);
  int length = lead < 0x80           ? 1
               : (lead >> 5) == 0x6  ? 2
               : (lead >> 4) == 0xE  ? 3
               : (lead >> 3) == 0x1E ? 4
                                     : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return kReplacement;
  }
  char32_t code_point = length == 1 ? lead : lead & (0xFF >> (length + 1));
  for (int k = 1; k < length; ++k) {
    uint8_t next = uint8_t(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    code_point = (code_point << 6) | (next & 0x3F);
  }
  i += length;
  return code_point;
}

locale_t Utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  return locale;
}

char32_t LowerCase(char32_t code_point) {
  if (code_point < 0x80) {
    return (code_point >= 'A' && code_point <= 'Z') ? code_point + ('a' - 'A') : code_point;
  }
  locale_t locale = Utf8Locale();
  if (locale == locale_t(0)) return code_point;
  return char32_t(towlower_l(wint_t(code_point), locale));
}

}  // namespace

std::string Utf8FromJetText(std::span<const uint8_t> bytes) {
  return IsCompressed(bytes) ? DecodeCompressed(bytes) : DecodeUtf16(bytes);
}

std::string Utf8FromCodePage1252(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (uint8_t byte : bytes) {
    bool in_high_block = byte >= 0x80 && byte <= 0x9F;
    AppendUtf8(in_high_block ? kCodePage1252High[byte - 0x80] : char32_t(byte), text);
  }
  return text;
}

std::string FoldCase(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf8(LowerCase(NextCodePoint(text, i)), folded);
  return folded;
}

}  // namespace toverak
