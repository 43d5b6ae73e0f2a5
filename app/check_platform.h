// The platform of a backup check: the real one, except that the live database only records the
// statements sent to it and the run log stays in memory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/forwarding_database.h"
#include "platform/forwarding_host.h"

namespace toverak {

// The live database's connection string in a check: no real provider takes it.
extern const char kRecordingTarget[];

// A connection that records the statements given to it when its string names the recording
// target, without passing anything on to the real connection, and is a real connection
// otherwise.
class CheckConnection : public ForwardingConnection {
 public:
  CheckConnection(std::unique_ptr<Connection> real, std::vector<std::string>& statements)
      : ForwardingConnection(std::move(real)), statements_(statements) {}
  void SetConnectionString(const std::string& text) override;
  void SetConnectionTimeout(int32_t seconds) override;
  void Open() override;
  std::unique_ptr<Recordset> Execute(const std::string& statement) override;
  int32_t ErrorsCount() const override;
  int32_t State() const override;
  void Close() override;

 private:
  std::vector<std::string>& statements_;
  bool recording_ = false;
  bool open_ = false;
};

// The real database objects, with CheckConnection as every connection.
class CheckDatabase : public Database {
 public:
  CheckDatabase(Database& real, std::vector<std::string>& statements)
      : real_(real), statements_(statements) {}
  std::unique_ptr<Connection> NewConnection() override;
  std::unique_ptr<Recordset> NewRecordset() override;

 private:
  Database& real_;
  std::vector<std::string>& statements_;
};

// The real host, but with the run log kept in `log` and no pauses.
class CheckHost : public ForwardingHost {
 public:
  CheckHost(Host& real, std::string& log) : ForwardingHost(real), log_(log) {}
  void Sleep(int32_t) override {}
  void ProcessPendingEvents() override {}
  std::unique_ptr<TextFile> OpenTextFile(const std::string& path, FileMode mode) override;

 private:
  std::string& log_;
};

}  // namespace toverak
