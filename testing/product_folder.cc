#include "testing/product_folder.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "testing/jet_writer.h"

namespace toverak {
namespace {}  // namespace

ProductFolder::ProductFolder(const std::filesystem::path& executable) {
  std::filesystem::create_directories(product());
  std::filesystem::create_directories(backups());
  std::filesystem::copy_file(executable, product() / "toverak");
}

void ProductFolder::WriteNarvelMdb(bool sql_setup_ok, const std::string& connection_string,
                                   const std::string& version) const {
  const nlohmann::json description = {
      {"tables",
       {{{"name", "Settings_Console"},
         {"columns",
          {{{"name", "SqlDbSetupOk"}, {"type", "yesno"}},
           {{"name", "DbConnStringSql"}, {"type", "text"}, {"size", 255}},
           {{"name", "ProgVersion"}, {"type", "text"}, {"size", 50}}}},
         {"rows", {{sql_setup_ok, connection_string, version}}}}}}};
  WriteJetDatabase(description, product() / "Narvel.mdb");
}

std::filesystem::path ProductFolder::WriteBackup(const nlohmann::json& description,
                                                 const std::string& name) const {
  const std::filesystem::path path = backups() / name;
  WriteJetDatabase(description, path);
  return path;
}

RunningProduct::RunningProduct(pid_t child, int limit_seconds, std::filesystem::path log,
                               std::filesystem::path console)
    : child_(child),
      started_(std::chrono::steady_clock::now()),
      limit_seconds_(limit_seconds),
      log_(std::move(log)),
      console_(std::move(console)) {}

RunningProduct::RunningProduct(RunningProduct&& other) noexcept
    : child_(std::exchange(other.child_, -1)),
      status_(other.status_),
      ended_(other.ended_),
      started_(other.started_),
      limit_seconds_(other.limit_seconds_),
      log_(std::move(other.log_)),
      console_(std::move(other.console_)) {}

RunningProduct::~RunningProduct() {
  if (child_ > 0 && !Ended()) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
}

bool RunningProduct::Ended() {
  if (!ended_ && waitpid(child_, &status_, WNOHANG) == child_) ended_ = true;
  return ended_;
}

bool RunningProduct::WaitForLog(const std::string& text, int times, int limit_seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit_seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string log = ReadWholeFile(log_);
    int found = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
      ++found;
    }
    if (found >= times) return true;
    if (Ended()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

ProductRun RunningProduct::Finish() {
  const auto deadline = started_ + std::chrono::seconds(limit_seconds_);
  while (!Ended()) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
      ended_ = true;
      throw std::runtime_error("the product ran past " + std::to_string(limit_seconds_) + " s");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ProductRun run;
  run.status = WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  run.log = ReadWholeFile(log_);
  run.console = ReadWholeFile(console_);
  return run;
}

ProductRun ProductFolder::Run(const std::string& argument, int limit_seconds) const {
  return Start(argument, limit_seconds).Finish();
}

RunningProduct ProductFolder::Start(const std::string& argument, int limit_seconds,
                                    std::optional<uid_t> user) const {
  const std::filesystem::path console = temp_.path() / "console.txt";
  const std::string program = (product() / "toverak").string();
  const bool switch_user = user && geteuid() == 0;
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot start the product");
  if (child == 0) {
    const int err = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, STDERR_FILENO);
    if (switch_user &&
        (setgroups(0, nullptr) != 0 || setgid(gid_t(*user)) != 0 || setuid(*user) != 0)) {
      _exit(125);
    }
    if (chdir(temp_.path().c_str()) != 0) _exit(126);
    execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return RunningProduct(child, limit_seconds, LogPath(), console);
}

void ProductFolder::HandTo(uid_t user) const {
  if (geteuid() != 0) return;
  const auto hand = [user](const std::filesystem::path& path) {
    if (lchown(path.c_str(), user, gid_t(user)) != 0) {
      throw std::runtime_error("cannot give " + path.string() + " to user " + std::to_string(user));
    }
  };
  hand(temp_.path());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(temp_.path())) {
    hand(entry.path());
  }
}

std::string FixtureText(const std::string& name) {
  return ReadWholeFile(std::filesystem::path(TOVERAK_SOURCE_DIR) / "testing/fixtures" / name);
}

nlohmann::json Fixture(const std::string& name) {
  std::ifstream in(std::filesystem::path(TOVERAK_SOURCE_DIR) / "testing/fixtures" /
                   (name + ".json"));
  if (!in) throw std::runtime_error("no fixture " + name);
  return nlohmann::json::parse(in);
}

const std::vector<std::string> kRunningUnits = {"Narvel Discovery Agent=active",
                                                "Narvel Poller=active", "Narvel Server=active"};
const char* const kServices[3] = {"Narvel Discovery Agent", "Narvel Poller", "Narvel Server"};

std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(log.substr(start, end - start));
  }
  if (start != log.size()) throw std::runtime_error("the log's last line is not ended by CR LF");
  return lines;
}

}  // namespace toverak
