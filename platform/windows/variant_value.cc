#include "platform/windows/variant_value.h"

#include <oleauto.h>

#include <cstring>
#include <variant>

#include "platform/error.h"
#include "platform/value_text.h"
#include "platform/windows/windows_text.h"

namespace toverak {
namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};

Bytes BytesFromArray(SAFEARRAY* array) {
  LONG lower = 0;
  LONG upper = -1;
  if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    throw RaisedError("The byte array of a value cannot be read");
  }
  Bytes bytes(size_t(upper - lower + 1));
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    throw RaisedError("The byte array of a value cannot be read");
  }
  if (!bytes.empty()) std::memcpy(bytes.data(), data, bytes.size());
  SafeArrayUnaccessData(array);
  return bytes;
}

SAFEARRAY* ArrayFromBytes(const Bytes& bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(bytes.size()));
  if (!array) throw RaisedError("Out of memory");
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  SafeArrayUnaccessData(array);
  return array;
}

BSTR BstrFromUtf8(const std::string& text) {
  const std::wstring wide = WideFromUtf8(text);
  BSTR bstr = SysAllocStringLen(wide.data(), UINT(wide.size()));
  if (!bstr) throw RaisedError("Out of memory");
  return bstr;
}

std::string TextOfVariant(const VARIANT& variant) {
  Variant text;
  // The call declares its source without const but does not change it.
  const HRESULT result = VariantChangeTypeEx(text.Receive(), const_cast<VARIANT*>(&variant),
                                             LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(result)) {
    throw RaisedError("A value of variant type " + std::to_string(V_VT(&variant)) +
                      " has no text form: " + SystemMessage(DWORD(result)));
  }
  return Utf8FromWide(V_BSTR(&text.get()), SysStringLen(V_BSTR(&text.get())));
}

}  // namespace

Value ValueFromVariant(const VARIANT& variant) {
  switch (V_VT(&variant)) {
    case VT_EMPTY:
    case VT_NULL:
      return Null{};
    case VT_BOOL:
      return V_BOOL(&variant) != VARIANT_FALSE;
    case VT_UI1:
      return uint8_t(V_UI1(&variant));
    case VT_I1:
      return int16_t(V_I1(&variant));
    case VT_I2:
      return int16_t(V_I2(&variant));
    case VT_UI2:
      return int32_t(V_UI2(&variant));
    case VT_I4:
      return int32_t(V_I4(&variant));
    case VT_INT:
      return int32_t(V_INT(&variant));
    case VT_UI4:
      return int64_t(V_UI4(&variant));
    case VT_I8:
      return int64_t(V_I8(&variant));
    case VT_CY:
      return Currency{V_CY(&variant).int64};
    case VT_R4:
      return float(V_R4(&variant));
    case VT_R8:
      return double(V_R8(&variant));
    case VT_DECIMAL: {
      const DECIMAL& decimal = V_DECIMAL(&variant);
      return Decimal{decimal.Lo64, uint32_t(decimal.Hi32), decimal.scale,
                     (decimal.sign & DECIMAL_NEG) != 0};
    }
    case VT_DATE:
      return Date{V_DATE(&variant)};
    case VT_BSTR:
      return Utf8FromWide(V_BSTR(&variant), SysStringLen(V_BSTR(&variant)));
    case VT_ARRAY | VT_UI1:
      return BytesFromArray(V_ARRAY(&variant));
    default:
      return TextOfVariant(variant);
  }
}

VARIANT VariantFromValue(const Value& value) {
  VARIANT variant;
  VariantInit(&variant);
  std::visit(Overloaded{
                 [&](Null) { V_VT(&variant) = VT_NULL; },
                 [&](bool flag) {
                   V_VT(&variant) = VT_BOOL;
                   V_BOOL(&variant) = flag ? VARIANT_TRUE : VARIANT_FALSE;
                 },
                 [&](uint8_t number) {
                   V_VT(&variant) = VT_UI1;
                   V_UI1(&variant) = number;
                 },
                 [&](int16_t number) {
                   V_VT(&variant) = VT_I2;
                   V_I2(&variant) = number;
                 },
                 [&](int32_t number) {
                   V_VT(&variant) = VT_I4;
                   V_I4(&variant) = number;
                 },
                 [&](int64_t number) {
                   V_VT(&variant) = VT_I8;
                   V_I8(&variant) = number;
                 },
                 [&](Currency money) {
                   V_VT(&variant) = VT_CY;
                   V_CY(&variant).int64 = money.scaled;
                 },
                 [&](float number) {
                   V_VT(&variant) = VT_R4;
                   V_R4(&variant) = number;
                 },
                 [&](double number) {
                   V_VT(&variant) = VT_R8;
                   V_R8(&variant) = number;
                 },
                 [&](const Decimal& number) {
                   DECIMAL decimal{};
                   decimal.Lo64 = number.low;
                   decimal.Hi32 = number.high;
                   decimal.scale = number.scale;
                   decimal.sign = number.negative ? DECIMAL_NEG : 0;
                   V_DECIMAL(&variant) =
                       decimal;  // overlays the type field, so the type comes after
                   V_VT(&variant) = VT_DECIMAL;
                 },
                 [&](Date date) {
                   V_VT(&variant) = VT_DATE;
                   V_DATE(&variant) = date.days;
                 },
                 [&](const std::string& text) {
                   V_BSTR(&variant) = BstrFromUtf8(text);
                   V_VT(&variant) = VT_BSTR;
                 },
                 [&](const Bytes& bytes) {
                   V_ARRAY(&variant) = ArrayFromBytes(bytes);
                   V_VT(&variant) = VT_ARRAY | VT_UI1;
                 },
                 [&](const Guid& guid) {
                   V_BSTR(&variant) = BstrFromUtf8(GeneralText(guid));
                   V_VT(&variant) = VT_BSTR;
                 },
             },
             value);
  return variant;
}

std::string RegionalValueText(const Value& value) {
  if (IsNull(value)) return "";
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (std::holds_alternative<Bytes>(value) || std::holds_alternative<Guid>(value)) {
    return GeneralText(value);
  }
  const Variant variant(VariantFromValue(value));
  return TextOfVariant(variant.get());
}

}  // namespace toverak
