// The stop and start sequences over the product's three services.
#pragma once

#include <cstdint>

#include "runlog/program.h"

namespace toverak {

// Stops the discovery agent, the poller and the main server, in that order, logging each turn;
// ServicesDone receives the number of them that are stopped at the end.
void StopProductServices(Program& program, int16_t& ServicesDone);

// Starts the main server, the poller and the discovery agent, in that order, logging each turn;
// ServicesDone receives the number of them that are started at the end.
void StartProductServices(Program& program, int16_t& ServicesDone);

}  // namespace toverak
