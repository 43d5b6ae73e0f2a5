// The stop and start sequences over the product's three services, and the state of one service
// as the text that they log.
#pragma once

#include <cstdint>
#include <string>

#include "platform/program.h"

namespace toverak {

// The state of the service named by program.CurrentServiceName: "Service not installed" when
// its configuration cannot be read (the state is then not asked), else "Service is stopped",
// "Service is started" or "Service is installed. Status unknown"; pauses 500 ms at the end.
void GetServiceStateText(Program& program, std::string& StateText);

// Stops the discovery agent, the poller and the main server, in that order, logging each turn;
// ServicesDone receives the number of them that are stopped at the end.
void StopProductServices(Program& program, int16_t& ServicesDone);

// Starts the main server, the poller and the discovery agent, in that order, logging each turn;
// ServicesDone receives the number of them that are started at the end.
void StartProductServices(Program& program, int16_t& ServicesDone);

}  // namespace toverak
