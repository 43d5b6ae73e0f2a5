#include "platform/forwarding_database.h"

#include "platform/error.h"

namespace toverak {

void ForwardingRecordset::Open(const std::string& source, Connection& connection,
                               int32_t cursor_type, int32_t lock_type, int32_t options) {
  auto* forwarding = dynamic_cast<ForwardingConnection*>(&connection);
  if (!forwarding) throw RaisedError("The connection cannot be used to perform this operation.");
  inner_->Open(source, forwarding->Inner(), cursor_type, lock_type, options);
}

}  // namespace toverak
