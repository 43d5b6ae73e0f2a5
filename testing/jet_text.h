// How a Jet 4 file stores text: UTF-16LE code units, or their "compressed" form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace toverak {

// The UTF-16 code units of UTF-8 `text`; characters beyond the Basic Multilingual Plane become
// surrogate pairs. Throws RaisedError on text that is not valid UTF-8.
std::u16string Utf8ToUtf16(const std::string& text);

// The stored bytes of `units`: the compressed form (FF FE, then one byte a unit, a 0x00 byte
// switching to two bytes a unit and back) when it is allowed and shorter, else plain UTF-16LE.
// Compression is not allowed for more than 1,024 units or when a unit's low byte is 0 (a reader
// would take that byte for a switch). A text starting with U+FEFF would read as compressed when
// stored plain, so it is always compressed; throws RaisedError when it cannot be.
std::vector<uint8_t> EncodeJetText(const std::u16string& units);

}  // namespace toverak
