#include "testing/mariadb_server.h"

#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "testing/product_folder.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

namespace fs = std::filesystem;

// The user that Debian's package makes for the server.
constexpr char kServerUser[] = "mysql";
constexpr char kServer[] = "/usr/sbin/mariadbd";
constexpr auto kStartLimit = std::chrono::seconds(60);
// A small server, for the data folder's making and for the runs: a few MiB of log and buffers,
// commits not waiting for the disk.
const std::vector<std::string> kSmallServer = {
    "--innodb-log-file-size=4M", "--innodb-buffer-pool-size=16M", "--innodb-doublewrite=0",
    "--innodb-flush-log-at-trx-commit=0"};

std::string Joined(const std::vector<std::string>& options) {
  std::string text;
  for (const std::string& option : options) text += " " + option;
  return text;
}

}  // namespace

MariaDbServer::MariaDbServer() : folder_(NewServerFolder("toverak-mariadb-", kServerUser)) {
  StartInFolder(folder_, [this] { Start(); });
}

MariaDbServer::~MariaDbServer() {
  if (server_ > 0) KillAndWait(server_);
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

MariaDbServer& MariaDbServer::Shared() {
  static MariaDbServer server;
  return server;
}

void MariaDbServer::Start() {
  const fs::path install_log = folder_ / "install.log";
  // root on the socket with no password, as root of this machine or as any other user.
  if (!RunCommand(AsUser(kServerUser, "mariadb-install-db --no-defaults --datadir=" +
                                          (folder_ / "data").string() +
                                          " --auth-root-authentication-method=normal"
                                          " --skip-test-db" +
                                          Joined(kSmallServer)) +
                  " >" + install_log.string() + " 2>&1")) {
    throw std::runtime_error("mariadb-install-db failed:\n" + ReadWholeFile(install_log));
  }
  port_ = StartOnFreePort([&](int port) { return StartOn(port); });
  if (port_ == 0) {
    throw std::runtime_error("the server did not start:\n" + ReadWholeFile(folder_ / "server.log"));
  }
  RunAsSuperuser("mysql", "CREATE USER '" + user_ + "'@'%' IDENTIFIED BY '" + password_ + "'");
}

// Starts the server on `port` and waits until it takes connections; false when it ends first.
bool MariaDbServer::StartOn(int port) {
  const fs::path log = folder_ / "server.log";
  std::error_code ignored;
  fs::remove(log, ignored);
  server_ =
      StartAsUser(kServerUser,
                  {kServer, "--no-defaults", "--datadir=" + (folder_ / "data").string(),
                   "--socket=" + Socket().string(), "--port=" + std::to_string(port),
                   "--bind-address=127.0.0.1", "--skip-name-resolve",
                   "--pid-file=" + (folder_ / "server.pid").string(), "--log-error=" + log.string(),
                   "--tmpdir=" + folder_.string(), "--character-set-server=utf8mb4",
                   "--innodb-buffer-pool-size=16M", "--innodb-flush-log-at-trx-commit=0"},
                  folder_ / "server.out");
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(server_, &status, WNOHANG) == server_) {
      server_ = -1;
      return false;
    }
    if (ReadWholeFile(log).find("ready for connections") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  KillAndWait(server_);
  server_ = -1;
  return false;
}

std::string MariaDbServer::OdbcText(const std::string& name) const {
  return "Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
         ";Database=" + name + ";Uid=" + user_ + ";Pwd=" + password_;
}

std::string MariaDbServer::NewDatabase() {
  const std::string name = "test_" + std::to_string(++databases_);
  RunAsSuperuser(
      "mysql", "CREATE DATABASE " + name + "; GRANT ALL ON " + name + ".* TO '" + user_ + "'@'%'");
  return name;
}

void MariaDbServer::RunAsSuperuser(const std::string& database, const std::string& sql) const {
  const fs::path script = folder_ / "script.sql";
  const fs::path output = folder_ / "client.log";
  // The client refuses an empty statement: one ';' ends the script.
  const size_t end = sql.find_last_not_of(" \n;");
  std::ofstream(script) << sql.substr(0, end == std::string::npos ? 0 : end + 1) << ";\n";
  const std::string client = "mariadb --no-defaults --socket=" + Socket().string() + " -u root " +
                             database + " <" + script.string() + " >" + output.string() + " 2>&1";
  if (!RunCommand(client)) {
    throw std::runtime_error("mariadb failed on " + sql + ":\n" + ReadWholeFile(output));
  }
}

std::string MariaDbServer::NewLiveDatabase() {
  const std::string name = NewDatabase();
  RunAsSuperuser(name, FixtureText("live_schema_mariadb.sql") + FixtureText("live_older_rows.sql"));
  return name;
}

}  // namespace toverak
