#include "platform/posix/systemd/unit_name.h"

namespace toverak {
namespace {

bool KeptAsItIs(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ':' ||
         c == '_' || c == '.';
}

void AppendEscaped(std::string& out, char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto byte = static_cast<unsigned char>(c);
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace

std::string ServiceUnitName(const std::string& service_name) {
  std::string unit;
  for (size_t at = 0; at < service_name.size(); ++at) {
    const char c = service_name[at];
    if (c == '/') {
      unit += '-';
    } else if (KeptAsItIs(c) && !(at == 0 && c == '.')) {
      unit += c;
    } else {
      AppendEscaped(unit, c);
    }
  }
  return unit + ".service";
}

}  // namespace toverak
