// The Windows system error codes that stand for failed calls to systemd over D-Bus, so that an
// operator reads the same numbers in the run log on both platforms.
#pragma once

#include <cstdint>
#include <string>

namespace toverak {

namespace bus_error {
constexpr int32_t kAccessDenied = 5;              // ERROR_ACCESS_DENIED
constexpr int32_t kInvalidHandle = 6;             // ERROR_INVALID_HANDLE
constexpr int32_t kNotEnoughMemory = 8;           // ERROR_NOT_ENOUGH_MEMORY
constexpr int32_t kInvalidName = 123;             // ERROR_INVALID_NAME
constexpr int32_t kInvalidServiceControl = 1052;  // ERROR_INVALID_SERVICE_CONTROL
constexpr int32_t kRequestTimeout = 1053;         // ERROR_SERVICE_REQUEST_TIMEOUT
constexpr int32_t kServiceDisabled = 1058;        // ERROR_SERVICE_DISABLED
constexpr int32_t kServiceDoesNotExist = 1060;    // ERROR_SERVICE_DOES_NOT_EXIST
constexpr int32_t kCannotAcceptControl = 1061;    // ERROR_SERVICE_CANNOT_ACCEPT_CTRL
constexpr int32_t kExceptionInService = 1064;     // ERROR_EXCEPTION_IN_SERVICE
constexpr int32_t kServerUnavailable = 1722;      // RPC_S_SERVER_UNAVAILABLE
}  // namespace bus_error

// The code for a failed call: by the D-Bus error name when there is one (empty when not), else
// by the negative errno `result` that sd-bus returned; 1064 for anything else.
int32_t ErrorCodeOfBusFailure(const std::string& error_name, int result);

}  // namespace toverak
