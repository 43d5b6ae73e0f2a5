// Database objects that pass every call on to the real ones behind them, for tools that watch
// or redirect some of the calls: derive and override what differs.
#pragma once

#include <memory>
#include <string>

#include "platform/database.h"

namespace toverak {

class ForwardingConnection : public Connection {
 public:
  explicit ForwardingConnection(std::unique_ptr<Connection> inner) : inner_(std::move(inner)) {}
  void SetConnectionString(const std::string& text) override { inner_->SetConnectionString(text); }
  void SetConnectionTimeout(int32_t seconds) override { inner_->SetConnectionTimeout(seconds); }
  void Open() override { inner_->Open(); }
  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    return inner_->Execute(statement);
  }
  int32_t ErrorsCount() const override { return inner_->ErrorsCount(); }
  int32_t State() const override { return inner_->State(); }
  void Close() override { inner_->Close(); }
  // The real connection, which the real recordsets open their tables on.
  Connection& Inner() { return *inner_; }

 private:
  std::unique_ptr<Connection> inner_;
};

// Opens its table on the real connection behind a ForwardingConnection.
class ForwardingRecordset : public Recordset {
 public:
  explicit ForwardingRecordset(std::unique_ptr<Recordset> inner) : inner_(std::move(inner)) {}
  void SetCursorType(int32_t cursor_type) override { inner_->SetCursorType(cursor_type); }
  void SetLockType(int32_t lock_type) override { inner_->SetLockType(lock_type); }
  void Open(const std::string& source, Connection& connection, int32_t cursor_type,
            int32_t lock_type, int32_t options) override;
  bool Eof() const override { return inner_->Eof(); }
  void MoveNext() override { inner_->MoveNext(); }
  int32_t State() const override { return inner_->State(); }
  void Close() override { inner_->Close(); }
  const Fields& GetFields() const override { return inner_->GetFields(); }

 private:
  std::unique_ptr<Recordset> inner_;
};

}  // namespace toverak
