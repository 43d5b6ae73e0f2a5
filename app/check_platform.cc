#include "app/check_platform.h"

namespace toverak {

const char kRecordingTarget[] = "toverak-check: statements are recorded, not sent";

void CheckConnection::SetConnectionString(const std::string& text) {
  recording_ = text == kRecordingTarget;
  if (!recording_) ForwardingConnection::SetConnectionString(text);
}

void CheckConnection::SetConnectionTimeout(int32_t seconds) {
  if (!recording_) ForwardingConnection::SetConnectionTimeout(seconds);
}

void CheckConnection::Open() {
  if (recording_) {
    open_ = true;
  } else {
    ForwardingConnection::Open();
  }
}

std::unique_ptr<Recordset> CheckConnection::Execute(const std::string& statement) {
  if (!recording_) return ForwardingConnection::Execute(statement);
  statements_.push_back(statement);
  return nullptr;
}

int32_t CheckConnection::ErrorsCount() const {
  return recording_ ? 0 : ForwardingConnection::ErrorsCount();
}

int32_t CheckConnection::State() const {
  if (recording_) return open_ ? ado::kStateOpen : ado::kStateClosed;
  return ForwardingConnection::State();
}

void CheckConnection::Close() {
  if (recording_) {
    open_ = false;
  } else {
    ForwardingConnection::Close();
  }
}

std::unique_ptr<Connection> CheckDatabase::NewConnection() {
  return std::make_unique<CheckConnection>(real_.NewConnection(), statements_);
}

std::unique_ptr<Recordset> CheckDatabase::NewRecordset() {
  return std::make_unique<ForwardingRecordset>(real_.NewRecordset());
}

namespace {

// A log that keeps its entries in memory.
class MemoryTextFile : public TextFile {
 public:
  explicit MemoryTextFile(std::string& text) : text_(text) {}
  void WriteLine(const std::string& text) override { text_ += text + "\n"; }
  void Close() override {}

 private:
  std::string& text_;
};

}  // namespace

std::unique_ptr<TextFile> CheckHost::OpenTextFile(const std::string&, FileMode) {
  return std::make_unique<MemoryTextFile>(log_);
}

}  // namespace toverak
