// The phases of the run that other modules carry out, as the run driver calls them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/program.h"

namespace toverak {

class RunSteps {
 public:
  virtual ~RunSteps() = default;
  // Sets ServicesDone to the number of the three product services that are stopped at its end.
  virtual void StopProductServices(int16_t& ServicesDone) = 0;
  // Restores the backup; RestoreOk true only on completion; ProgressText receives the progress.
  virtual void RestoreTables(const std::string& RestoreFilePath, int16_t& RestoreOk,
                             std::string& ProgressText) = 0;
  // Sets ServicesDone to the number of the three product services that are started at its end.
  virtual void StartProductServices(int16_t& ServicesDone) = 0;
};

// The phases as the product runs them: the service sequences and the table restore.
class ProductRunSteps : public RunSteps {
 public:
  explicit ProductRunSteps(Program& program) : program_(program) {}
  void StopProductServices(int16_t& ServicesDone) override;
  void RestoreTables(const std::string& RestoreFilePath, int16_t& RestoreOk,
                     std::string& ProgressText) override;
  void StartProductServices(int16_t& ServicesDone) override;

 private:
  Program& program_;
};

}  // namespace toverak
