#include "platform/posix/systemd/bus_error.h"

#include <cerrno>
#include <map>

namespace toverak {
namespace {

int32_t CodeOfErrorName(const std::string& name) {
  static const std::map<std::string, int32_t> kCodes = {
      {"org.freedesktop.systemd1.NoSuchUnit", bus_error::kServiceDoesNotExist},
      {"org.freedesktop.systemd1.UnitMasked", bus_error::kServiceDisabled},
      {"org.freedesktop.systemd1.OnlyByDependency", bus_error::kInvalidServiceControl},
      {"org.freedesktop.systemd1.TransactionIsDestructive", bus_error::kCannotAcceptControl},
      {"org.freedesktop.DBus.Error.AccessDenied", bus_error::kAccessDenied},
      {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", bus_error::kAccessDenied},
      {"org.freedesktop.DBus.Error.InvalidArgs", bus_error::kInvalidName},
      {"org.freedesktop.DBus.Error.NoMemory", bus_error::kNotEnoughMemory},
      {"org.freedesktop.DBus.Error.ServiceUnknown", bus_error::kServerUnavailable},
      {"org.freedesktop.DBus.Error.NameHasNoOwner", bus_error::kServerUnavailable},
      {"org.freedesktop.DBus.Error.Disconnected", bus_error::kServerUnavailable},
      {"org.freedesktop.DBus.Error.NoServer", bus_error::kServerUnavailable},
      {"org.freedesktop.DBus.Error.NoReply", bus_error::kRequestTimeout},
      {"org.freedesktop.DBus.Error.Timeout", bus_error::kRequestTimeout},
      {"org.freedesktop.DBus.Error.TimedOut", bus_error::kRequestTimeout},
  };
  const auto found = kCodes.find(name);
  return found == kCodes.end() ? 0 : found->second;
}

int32_t CodeOfErrno(int error) {
  switch (error) {
    case ETIMEDOUT:
      return bus_error::kRequestTimeout;
    case EACCES:
    case EPERM:
      return bus_error::kAccessDenied;
    case ENOMEM:
      return bus_error::kNotEnoughMemory;
    case ENOENT:
    case ECONNREFUSED:
    case ECONNRESET:
    case ENOTCONN:
    case EPIPE:
    case ESHUTDOWN:
    case EHOSTUNREACH:
      return bus_error::kServerUnavailable;
    default:
      return bus_error::kExceptionInService;
  }
}

}  // namespace

int32_t ErrorCodeOfBusFailure(const std::string& error_name, int result) {
  const int32_t code = CodeOfErrorName(error_name);
  return code != 0 ? code : CodeOfErrno(-result);
}

}  // namespace toverak
