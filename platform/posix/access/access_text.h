// Text as Access files store it, turned into UTF-8, and the case-blind comparison of names
// and texts that the Jet engine applies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace toverak {

// Text of a Jet 4 or ACE file: UTF-16LE, or the "compressed" form that starts with FF FE, in
// which a 0x00 byte switches between one-byte and two-byte units. Surrogate pairs become one
// character; a lone surrogate or a dangling byte becomes U+FFFD.
std::string Utf8FromJetText(std::span<const uint8_t> bytes);

// Text of a Jet 3 file: one byte a character, in code page 1252.
std::string Utf8FromCodePage1252(std::span<const uint8_t> bytes);

// `text` with every letter in its lower-case form, for comparing without regard to case.
std::string FoldCase(std::string_view text);

}  // namespace toverak
