#include "driver/run_steps.h"

#include "restore/restore_tables.h"
#include "services/product_services.h"

namespace toverak {

void ProductRunSteps::StopProductServices(int16_t& ServicesDone) {
  toverak::StopProductServices(program_, ServicesDone);
}

void ProductRunSteps::RestoreTables(const std::string& RestoreFilePath, int16_t& RestoreOk,
                                    std::string& ProgressText) {
  toverak::RestoreTables(program_, RestoreFilePath, RestoreOk, ProgressText);
}

void ProductRunSteps::StartProductServices(int16_t& ServicesDone) {
  toverak::StartProductServices(program_, ServicesDone);
}

}  // namespace toverak
