#include "testing/dbus_systemd.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace toverak {
namespace {

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kStandIn[] = TOVERAK_SOURCE_DIR "/testing/systemd_standin.py";
constexpr char kAddressVariable[] = "DBUS_SYSTEM_BUS_ADDRESS";

// Starts `argv` with its output going to `stdout_fd` (or the log file `log`), its errors to
// `log`, and the environment of this process.
pid_t Spawn(const std::vector<std::string>& argv, int stdout_fd, const std::string& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (stdout_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, stdout_fd, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

// Waits for `pid` to end; its exit status, or -1 when it has not ended within `limit`.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void StopProcess(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (WaitFor(pid, std::chrono::seconds(5)) == -1) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

// Runs the stand-in script with `arguments` to its end; what it printed, or throws.
std::string RunStandIn(const std::vector<std::string>& arguments, const std::string& log) {
  int output[2];
  if (pipe(output) != 0) throw std::runtime_error("cannot make a pipe");
  std::vector<std::string> argv = {kPython, kStandIn};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const pid_t pid = Spawn(argv, output[1], log);
  close(output[1]);
  std::string printed;
  char chunk[256];
  for (ssize_t got; (got = read(output[0], chunk, sizeof chunk)) > 0;) printed.append(chunk, got);
  close(output[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("systemd_standin.py " + arguments.front() + " failed");
  }
  return printed;
}

}  // namespace

SystemdOnPrivateBus::SystemdOnPrivateBus(const std::vector<std::string>& units) {
  if (const char* previous = std::getenv(kAddressVariable)) previous_address_ = previous;
  try {
    Start(units);
    setenv(kAddressVariable, address_.c_str(), 1);
  } catch (const std::exception& failure) {
    const std::string logs = Logs();
    Stop();
    throw std::runtime_error(std::string(failure.what()) + "\n" + logs);
  }
}

SystemdOnPrivateBus::~SystemdOnPrivateBus() { Stop(); }

void SystemdOnPrivateBus::Start(const std::vector<std::string>& units) {
  // The stand-in prints the bus's address once its units are installed.
  int output[2];
  if (pipe(output) != 0) throw std::runtime_error("cannot make a pipe");
  std::vector<std::string> argv = {kPython, kStandIn, "serve", folder_.path().string()};
  argv.insert(argv.end(), units.begin(), units.end());
  standin_ = Spawn(argv, output[1], (folder_.path() / "serve.log").string());
  close(output[1]);
  std::string printed;
  char chunk[512];
  for (ssize_t got; printed.find('\n') == std::string::npos &&
                    (got = read(output[0], chunk, sizeof chunk)) > 0;) {
    printed.append(chunk, got);
  }
  close(output[0]);
  const std::string prefix = std::string(kAddressVariable) + "=";
  if (!printed.starts_with(prefix) || printed.find('\n') == std::string::npos) {
    throw std::runtime_error("no bus address");
  }
  address_ = printed.substr(prefix.size(), printed.find('\n') - prefix.size());
}

void SystemdOnPrivateBus::Stop() {
  StopProcess(standin_);
  standin_ = -1;
  if (previous_address_) {
    setenv(kAddressVariable, previous_address_->c_str(), 1);
  } else {
    unsetenv(kAddressVariable);
  }
}

std::string SystemdOnPrivateBus::ActiveState(const std::string& service) const {
  std::string state = RunStandIn({"state", service}, (folder_.path() / "serve.log").string());
  while (!state.empty() && (state.back() == '\n' || state.back() == '\r')) state.pop_back();
  return state;
}

std::string SystemdOnPrivateBus::Logs() const {
  return "bus and stand-in: " + folder_.Read("serve.log") + "\nmock: " + folder_.Read("mock.log");
}

}  // namespace toverak
