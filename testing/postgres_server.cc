#include "testing/postgres_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace toverak {
namespace {

namespace fs = std::filesystem;

constexpr char kSuperuser[] = "postgres";
constexpr int kStartAttempts = 3;

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

// A loopback port that nothing listens on just now.
int FreeLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  close(s);
  if (!bound) throw std::runtime_error("no free loopback port");
  return ntohs(address.sin_port);
}

bool Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder that the server's user owns: initdb refuses to run as root.
fs::path NewServerFolder() {
  std::string pattern = (fs::temp_directory_path() / "toverak-pg-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  if (geteuid() == 0) {
    const passwd* owner = getpwnam(kSuperuser);
    if (!owner || chown(pattern.c_str(), owner->pw_uid, owner->pw_gid) != 0) {
      throw std::runtime_error("cannot give the server folder to the postgres user");
    }
  }
  return pattern;
}

}  // namespace

PostgresServer::PostgresServer() : folder_(NewServerFolder()) {
  try {
    Start();
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    throw;
  }
}

PostgresServer::~PostgresServer() {
  Run(ServerCommand("pg_ctl -D " + (folder_ / "data").string() + " -m immediate -w stop") +
      " >/dev/null 2>&1");
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

PostgresServer& PostgresServer::Shared() {
  static PostgresServer server;
  return server;
}

void PostgresServer::Start() {
  const std::string data = (folder_ / "data").string();
  if (!Run(ServerCommand("initdb -D " + data + " -U " + kSuperuser +
                         " -E UTF8 --locale=C.UTF-8 --auth-local=trust"
                         " --auth-host=scram-sha-256 --no-sync") +
           " >" + (folder_ / "initdb.log").string() + " 2>&1")) {
    throw std::runtime_error("initdb failed:\n" + ReadWholeFile(folder_ / "initdb.log"));
  }
  // Another process may take the port between the choice and the start: try again.
  bool started = false;
  for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
    port_ = FreeLoopbackPort();
    const std::string options = "-p " + std::to_string(port_) + " -k " + folder_.string() +
                                " -c listen_addresses=127.0.0.1 -c fsync=off";
    started = Run(ServerCommand("pg_ctl -D " + data + " -l " + (folder_ / "server.log").string() +
                                " -w -t 60 -o \"" + options + "\" start") +
                  " >/dev/null 2>&1");
  }
  if (!started) throw std::runtime_error("the server did not start:\n" + Log());
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
  if (!Run(psql)) throw std::runtime_error("psql failed on " + sql + ":\n" + ReadWholeFile(output));
}

std::string PostgresServer::ServerCommand(const std::string& arguments) const {
  const std::string command = (PostgresBin() / arguments).string();
  if (geteuid() != 0) return command;
  return std::string("su ") + kSuperuser + " -s /bin/sh -c '" + command + "'";
}

std::string PostgresServer::Log() const { return ReadWholeFile(folder_ / "server.log"); }

}  // namespace toverak
