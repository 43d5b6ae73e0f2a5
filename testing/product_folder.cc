#include "testing/product_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "testing/jet_writer.h"

namespace toverak {
namespace {

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

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

ProductRun ProductFolder::Run(const std::string& argument, int limit_seconds) const {
  const std::filesystem::path console = temp_.path() / "console.txt";
  const std::string program = (product() / "toverak").string();
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot start the product");
  if (child == 0) {
    const int err = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, STDERR_FILENO);
    if (chdir(temp_.path().c_str()) != 0) _exit(126);
    execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  const auto deadline = started + std::chrono::seconds(limit_seconds);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      throw std::runtime_error("the product ran past " + std::to_string(limit_seconds) + " s");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ProductRun run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  run.log = ReadWhole(LogPath());
  run.console = ReadWhole(console);
  return run;
}

nlohmann::json Fixture(const std::string& name) {
  std::ifstream in(std::filesystem::path(TOVERAK_SOURCE_DIR) / "testing/fixtures" /
                   (name + ".json"));
  if (!in) throw std::runtime_error("no fixture " + name);
  return nlohmann::json::parse(in);
}

}  // namespace toverak
