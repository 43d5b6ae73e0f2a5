// Database values between ADO's VARIANTs and the program's Value.
#pragma once

#include <oaidl.h>

#include <string>

#include "platform/value.h"

namespace toverak {

// The value that a field's VARIANT holds; a type without a Value of its own is taken as text,
// as the platform converts it; throws when it has no text form either.
Value ValueFromVariant(const VARIANT& variant);

// The VARIANT of a value, owned by the caller (VariantClear); Guid becomes its text in braces.
VARIANT VariantFromValue(const Value& value);

// The platform's own text of a value: its VARIANT converted to a string with the user's regional
// settings, True and False as words; bytes as hexadecimal pairs; Null the empty text.
std::string RegionalValueText(const Value& value);

// A VARIANT that clears itself.
class Variant {
 public:
  Variant() { VariantInit(&variant_); }
  explicit Variant(const VARIANT& owned) : variant_(owned) {}
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&variant_); }

  VARIANT& get() { return variant_; }
  const VARIANT& get() const { return variant_; }
  // The address to receive a VARIANT that a call fills; clears the one held before.
  VARIANT* Receive() {
    VariantClear(&variant_);
    return &variant_;
  }

 private:
  VARIANT variant_;
};

}  // namespace toverak
