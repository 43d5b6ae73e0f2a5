#include "testing/server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace toverak {
namespace {

namespace fs = std::filesystem;

constexpr int kStartAttempts = 3;

const passwd& UserNamed(const std::string& user) {
  const passwd* entry = getpwnam(user.c_str());
  if (!entry) throw std::runtime_error("there is no user " + user);
  return *entry;
}

// In the child after fork, with async-signal-safe calls only: becomes `user` when
// `change_user`, sends its output to `output`, runs `argv`.
[[noreturn]] void BecomeServer(uid_t uid, gid_t gid, bool change_user, char* const* argv,
                               const char* output) {
  const int out = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(out, STDERR_FILENO) < 0) _exit(126);
  close(out);
  if (change_user && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
    _exit(126);
  }
  // The server ends with the test process, even one that crashes.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) _exit(126);
  execv(argv[0], argv);
  _exit(127);
}

}  // namespace

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

bool RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string AsUser(const std::string& user, const std::string& command) {
  if (geteuid() != 0) return command;
  return "su " + user + " -s /bin/sh -c '" + command + "'";
}

fs::path NewServerFolder(const std::string& prefix, const std::string& user) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  if (geteuid() == 0) {
    const passwd& owner = UserNamed(user);
    if (chown(pattern.c_str(), owner.pw_uid, owner.pw_gid) != 0) {
      throw std::runtime_error("cannot give the server folder to the user " + user);
    }
  }
  return pattern;
}

pid_t StartAsUser(const std::string& user, const std::vector<std::string>& arguments,
                  const fs::path& output) {
  const bool change_user = geteuid() == 0;
  uid_t uid = 0;
  gid_t gid = 0;
  if (change_user) {
    const passwd& entry = UserNamed(user);
    uid = entry.pw_uid;
    gid = entry.pw_gid;
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot start " + arguments.front());
  if (child == 0) BecomeServer(uid, gid, change_user, argv.data(), output.c_str());
  return child;
}

void KillAndWait(pid_t process) {
  kill(process, SIGKILL);
  int status = 0;
  while (waitpid(process, &status, 0) < 0 && errno == EINTR) {
  }
}

void StartInFolder(const std::filesystem::path& folder, const std::function<void()>& start) {
  try {
    start();
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    throw;
  }
}

int StartOnFreePort(const std::function<bool(int port)>& start) {
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    const int port = FreeLoopbackPort();
    if (start(port)) return port;
  }
  return 0;
}

}  // namespace toverak
