// What the throw-away database servers of the tests share: the interface through which a test
// makes its live databases on any of them, a folder of their own, a free loopback port, and
// commands and processes run as the server's own user.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace toverak {

// A database server of the tests, with one test user that owns the databases it makes.
class LiveServer {
 public:
  virtual ~LiveServer() = default;
  // The ODBC connection text for the database `name`, as the test user.
  virtual std::string OdbcText(const std::string& name) const = 0;
  // Creates a new, empty database that the test user may fill, and returns its name.
  virtual std::string NewDatabase() = 0;
  // Runs `sql` in `database` as the server's superuser; throws with the client's output on
  // failure.
  virtual void RunAsSuperuser(const std::string& database, const std::string& sql) const = 0;
  // A new database with the 13 live tables of this server's schema and their older rows, all
  // the test user's to change; returns its name.
  virtual std::string NewLiveDatabase() = 0;
};

// A loopback port that nothing listens on just now.
int FreeLoopbackPort();

// Runs `command` with the shell; true when it exits with status 0.
bool RunCommand(const std::string& command);

// `command` run by the shell as `user` when this process is root (database servers refuse to
// run as root), else as it stands.
std::string AsUser(const std::string& user, const std::string& command);

// A new folder in the temporary folder, named `prefix` and six more characters, owned by `user`
// when this process is root.
std::filesystem::path NewServerFolder(const std::string& prefix, const std::string& user);

// Starts `arguments` (the program's path first) as a child process, as `user` when this process
// is root, its output going to `output`; throws when it cannot be started.
pid_t StartAsUser(const std::string& user, const std::vector<std::string>& arguments,
                  const std::filesystem::path& output);

// Kills the child `process` at once and waits until it has ended.
void KillAndWait(pid_t process);

// Starts a server on a free loopback port through `start`, which is given the port and tells
// whether the server came up; tries again on another port when it did not, since another process
// may take the port between the choice and the start. Returns the port, or 0.
int StartOnFreePort(const std::function<bool(int port)>& start);

// Runs `start`; when it throws, removes the server's `folder` and passes the failure on.
void StartInFolder(const std::filesystem::path& folder, const std::function<void()>& start);

}  // namespace toverak
