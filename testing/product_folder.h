// A product folder for runs of the real executable: a copy of it, Narvel.mdb beside it naming
// the live database, and a folder of backups, all in a temporary folder.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testing/temp_folder.h"

namespace toverak {

struct ProductRun {
  int status = -1;
  std::string log;      // Toverak.log after the run, CR LF kept
  std::string console;  // what the run wrote to standard error
  double seconds = 0;   // how long it ran
};

// The user nobody, as whom a run can be made so that file permissions bite even for root.
constexpr uid_t kNobody = 65534;

// A run of the product folder's executable going on in the background; killed when it is
// released before it has ended.
class RunningProduct {
 public:
  RunningProduct(RunningProduct&& other) noexcept;
  RunningProduct& operator=(RunningProduct&&) = delete;
  ~RunningProduct();

  // Waits until the run log holds `text` at least `times` times; false when the run ends first
  // or `limit_seconds` pass.
  bool WaitForLog(const std::string& text, int times = 1, int limit_seconds = 120);
  // Whether the run has ended.
  bool Ended();
  // Waits for the run to end and reads its log; kills it and throws when it runs past its limit.
  ProductRun Finish();

 private:
  friend class ProductFolder;
  RunningProduct(pid_t child, int limit_seconds, std::filesystem::path log,
                 std::filesystem::path console);

  pid_t child_;
  int status_ = 0;
  bool ended_ = false;
  std::chrono::steady_clock::time_point started_;
  int limit_seconds_;
  std::filesystem::path log_;
  std::filesystem::path console_;
};

class ProductFolder {
 public:
  // Copies `executable` into the product folder.
  explicit ProductFolder(const std::filesystem::path& executable);

  std::filesystem::path product() const { return temp_.path() / "product"; }
  std::filesystem::path backups() const { return temp_.path() / "backups"; }
  std::filesystem::path LogPath() const { return product() / "Toverak.log"; }

  // Writes Narvel.mdb with one Settings_Console row.
  void WriteNarvelMdb(bool sql_setup_ok, const std::string& connection_string,
                      const std::string& version = "5.2.0") const;
  // Writes a backup into the backups folder and returns its path.
  std::filesystem::path WriteBackup(const nlohmann::json& description,
                                    const std::string& name) const;

  // Runs the executable of the product folder with `argument`, from the temporary folder, in
  // this process's environment; kills it after `limit_seconds`.
  ProductRun Run(const std::string& argument, int limit_seconds = 180) const;
  // Starts such a run in the background. With `user`, a process that runs as root makes the run
  // as that user (and group of the same number); any other process runs it as itself.
  RunningProduct Start(const std::string& argument, int limit_seconds = 180,
                       std::optional<uid_t> user = std::nullopt) const;
  // Gives the temporary folder and everything in it to `user` when this process runs as root, so
  // that a run as that user can read and write its files; does nothing otherwise.
  void HandTo(uid_t user) const;

 private:
  TempFolder temp_;
};

// The JSON description of a test backup kept beside the tests: testing/fixtures/NAME.json.
nlohmann::json Fixture(const std::string& name);

// The text of a file kept beside the tests: testing/fixtures/NAME (a live schema, say).
std::string FixtureText(const std::string& name);

// The three product services as the stand-in of systemd takes them, all running.
extern const std::vector<std::string> kRunningUnits;
// The product's services, in the order in which a run stops them.
extern const char* const kServices[3];

// Today's local date as YYYY-MM-DD, as a run fills it into the dated template.
std::string TodayText();

// The lines of a run log, each without its CR LF; throws when the last line lacks one.
std::vector<std::string> LogLines(const std::string& log);

}  // namespace toverak
