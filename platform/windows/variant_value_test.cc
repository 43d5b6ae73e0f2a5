// Values through the VARIANTs that ADO hands out and takes.
#include "platform/windows/variant_value.h"

#include <gtest/gtest.h>
#include <oleauto.h>

namespace toverak {
namespace {

Value RoundTrip(const Value& value) {
  const Variant variant(VariantFromValue(value));
  return ValueFromVariant(variant.get());
}

TEST(VariantValueTest, EveryValueComesBackAsItWent) {
  const Value values[] = {
      Null{},
      true,
      false,
      uint8_t{200},
      int16_t{-32768},
      int32_t{2147483647},
      int64_t{-9223372036854775807 - 1},
      Currency{-9223372036854775807 - 1},
      float{1.5f},
      double{-0.1},
      Decimal{0xFFFFFFFFFFFFFFFF, 0xFFFFFFFF, 28, true},
      Date{-657434.5},
      Date{44916.373854166666},
      std::string(""),
      std::string("Caf\xC3\xA9 \xF0\x9F\x93\xA1"),  // beyond the Basic Multilingual Plane
      Bytes{},
      Bytes{0x00, 0x01, 0xFF},
  };
  for (const Value& value : values) EXPECT_EQ(RoundTrip(value), value) << value.index();
}

TEST(VariantValueTest, GuidGoesAsItsTextInBraces) {
  const Guid guid{0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  EXPECT_EQ(RoundTrip(guid), Value(std::string("{01234567-89AB-CDEF-0123-456789ABCDEF}")));
}

TEST(VariantValueTest, EmptyIsNullAndOtherIntegersKeepTheirValue) {
  Variant variant;
  EXPECT_EQ(ValueFromVariant(variant.get()), Value(Null{}));
  V_VT(&variant.get()) = VT_UI4;
  V_UI4(&variant.get()) = 4000000000u;
  EXPECT_EQ(ValueFromVariant(variant.get()), Value(int64_t{4000000000}));
  V_VT(&variant.get()) = VT_I1;
  V_I1(&variant.get()) = -5;
  EXPECT_EQ(ValueFromVariant(variant.get()), Value(int16_t{-5}));
}

TEST(VariantValueTest, TypeWithoutAValueOfItsOwnIsTakenAsText) {
  Variant variant;
  V_VT(&variant.get()) = VT_UI8;
  V_UI8(&variant.get()) = 18446744073709551615ull;
  EXPECT_EQ(ValueFromVariant(variant.get()), Value(std::string("18446744073709551615")));
}

TEST(VariantValueTest, TypeWithoutTextRaisesAnError) {
  Variant variant;
  V_VT(&variant.get()) = VT_UNKNOWN;
  V_UNKNOWN(&variant.get()) = nullptr;
  EXPECT_ANY_THROW(ValueFromVariant(variant.get()));
}

}  // namespace
}  // namespace toverak
