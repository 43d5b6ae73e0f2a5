#include "testing/postgres_server.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "testing/product_folder.h"

namespace toverak {
namespace {

namespace fs = std::filesystem;

constexpr char kSuperuser[] = "postgres";

// The bin folder of the newest PostgreSQL that Debian installed.
fs::path PostgresBin() {
  fs::path newest;
  int newest_version = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator("/usr/lib/postgresql")) {
    const int version = std::atoi(entry.path().filename().c_str());
    if (version > newest_version && fs::exists(entry.path() / "bin/initdb")) {
      newest_version = version;
      newest = entry.path() / "bin";
    }
  }
  if (newest.empty()) throw std::runtime_error("PostgreSQL is not installed");
  return newest;
}

}  // namespace

PostgresServer::PostgresServer(const std::string& settings)
    : folder_(NewServerFolder("toverak-pg-", kSuperuser)), settings_(settings) {
  StartInFolder(folder_, [this] { Start(); });
}

PostgresServer::~PostgresServer() {
  RunCommand(StopCommand());
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

PostgresServer& PostgresServer::Shared() {
  static PostgresServer server;
  return server;
}

std::string PostgresServer::StopCommand() const {
  return ServerCommand("pg_ctl -D " + (folder_ / "data").string() + " -m immediate -w stop") +
         " >/dev/null 2>&1";
}

bool PostgresServer::StartOn(int port) const {
  const std::string options = "-p " + std::to_string(port) + " -k " + folder_.string() +
                              " -c listen_addresses=127.0.0.1 -c fsync=off " + settings_;
  return RunCommand(ServerCommand("pg_ctl -D " + (folder_ / "data").string() + " -l " +
                                  (folder_ / "server.log").string() + " -w -t 60 -o \"" + options +
                                  "\" start") +
                    " >/dev/null 2>&1");
}

void PostgresServer::StopAbruptly() {
  if (!RunCommand(StopCommand())) throw std::runtime_error("the server did not stop:\n" + Log());
}

void PostgresServer::StartAgain() {
  if (!StartOn(port_)) throw std::runtime_error("the server did not start again:\n" + Log());
}

void PostgresServer::Start() {
  const std::string data = (folder_ / "data").string();
  if (!RunCommand(ServerCommand("initdb -D " + data + " -U " + kSuperuser +
                                " -E UTF8 --locale=C.UTF-8 --auth-local=trust"
                                " --auth-host=scram-sha-256 --no-sync") +
                  " >" + (folder_ / "initdb.log").string() + " 2>&1")) {
    throw std::runtime_error("initdb failed:\n" + ReadWholeFile(folder_ / "initdb.log"));
  }
  port_ = StartOnFreePort([&](int port) { return StartOn(port); });
  if (port_ == 0) throw std::runtime_error("the server did not start:\n" + Log());
  RunAsSuperuser(kSuperuser, "CREATE ROLE " + user_ + " LOGIN PASSWORD '" + password_ + "'");
}

std::string PostgresServer::OdbcText(const std::string& name) const {
  return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
         ";Database=" + name + ";Uid=" + user_ + ";Pwd=" + password_;
}

std::string PostgresServer::NewDatabase() {
  const std::string name = "test_" + std::to_string(++databases_);
  RunAsSuperuser(kSuperuser, "CREATE DATABASE " + name + " OWNER " + user_);
  return name;
}

void PostgresServer::RunAsSuperuser(const std::string& database, const std::string& sql) const {
  const fs::path script = folder_ / "script.sql";
  const fs::path output = folder_ / "psql.log";
  std::ofstream(script) << sql << ";\n";
  const std::string psql = (PostgresBin() / "psql").string() + " -X -q -v ON_ERROR_STOP=1 -h " +
                           folder_.string() + " -p " + std::to_string(port_) + " -U " + kSuperuser +
                           " -d " + database + " -f " + script.string() + " >" + output.string() +
                           " 2>&1";
  if (!RunCommand(psql)) {
    throw std::runtime_error("psql failed on " + sql + ":\n" + ReadWholeFile(output));
  }
}

std::string PostgresServer::NewLiveDatabase() {
  const std::string name = NewDatabase();
  RunAsSuperuser(name, FixtureText("live_schema_postgres.sql") +
                           FixtureText("live_older_rows.sql") +
                           "GRANT ALL ON ALL TABLES IN SCHEMA public TO " + user_ +
                           "; GRANT ALL ON ALL SEQUENCES IN SCHEMA public TO " + user_);
  return name;
}

std::string PostgresServer::ServerCommand(const std::string& arguments) const {
  return AsUser(kSuperuser, (PostgresBin() / arguments).string());
}

std::string PostgresServer::Log() const { return ReadWholeFile(folder_ / "server.log"); }

}  // namespace toverak
