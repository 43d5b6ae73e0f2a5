// A product folder for runs of the real executable: a copy of it, Narvel.mdb beside it naming
// the live database, and a folder of backups, all in a temporary folder.
#pragma once

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "testing/temp_folder.h"

namespace toverak {

struct ProductRun {
  int status = -1;
  std::string log;      // Toverak.log after the run, CR LF kept
  std::string console;  // what the run wrote to standard error
  double seconds = 0;   // how long it ran
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

 private:
  TempFolder temp_;
};

// The JSON description of a test backup kept beside the tests: testing/fixtures/NAME.json.
nlohmann::json Fixture(const std::string& name);

}  // namespace toverak
