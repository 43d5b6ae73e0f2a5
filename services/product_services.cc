#include "services/product_services.h"

#include <array>

#include "runlog/run_log.h"
#include "services/service_control.h"

namespace toverak {
namespace {

constexpr char kNotInstalled[] = "Service not installed";
constexpr char kStopped[] = "Service is stopped";
constexpr char kStarted[] = "Service is started";
constexpr char kStatusUnknown[] = "Service is installed. Status unknown";

// One of the product's services: its name, its lines in both sequences and its wait before a
// request.
struct ProductService {
  const char* name;
  const char* stop_attempt;
  const char* stop_success;
  const char* start_attempt;
  const char* start_success;
  int16_t wait_ms;
};

constexpr ProductService kDiscoveryAgent{"Narvel Discovery Agent",
                                         "Attempting to stop the Discovery service...",
                                         "Service stopped",
                                         "Attempting to start the Discovery service...",
                                         kStarted,
                                         3000};
constexpr ProductService kPoller{"Narvel Poller",   "Attempting to stop the Poll service...",
                                 "Service stopped", "Attempting to start the Poll service...",
                                 "Service started", 5000};
constexpr ProductService kMainServer{"Narvel Server",   "Attempting to stop the Main service...",
                                     "Service stopped", "Attempting to start the Main service...",
                                     "Service started", 5000};

// What a sequence does with each service, in its order.
struct Sequence {
  const char* requesting_state;  // the state that leads to a request
  const char* wanted_state;      // the state that counts without a request
  int32_t (*request)(Program& program);
  const char* ProductService::*attempt_line;
  const char* ProductService::*success_line;
  const char* failure_suffix;
  std::array<const ProductService*, 3> order;
};

constexpr Sequence kStopSequence{kStarted,
                                 kStopped,
                                 StopCurrentService,
                                 &ProductService::stop_attempt,
                                 &ProductService::stop_success,
                                 "]  when stop the service",
                                 {&kDiscoveryAgent, &kPoller, &kMainServer}};
constexpr Sequence kStartSequence{kStopped,
                                  kStarted,
                                  StartCurrentService,
                                  &ProductService::start_attempt,
                                  &ProductService::start_success,
                                  "]  when start the service",
                                  {&kMainServer, &kPoller, &kDiscoveryAgent}};

// One service's turn, with its two log groups; true when the service ends in the wanted state.
bool TakeTurn(Program& program, const Sequence& sequence, const ProductService& service) {
  Host& host = program.env.host;
  program.CurrentServiceName = service.name;
  std::string StateText;
  GetServiceStateText(program, StateText);
  WriteLogGroup(program, FileMode::kAppend, {service.name, StateText, LogTimestamp(host)});

  std::string outcome;
  bool counted = false;
  if (StateText == sequence.requesting_state) {
    outcome = service.*sequence.attempt_line;
    PauseWithEvents(host, service.wait_ms);
    const int32_t error = sequence.request(program);
    if (error != 0) {
      outcome += "\r\nError [" + std::to_string(error) + sequence.failure_suffix;
      PauseWithEvents(host, 1000);
    } else {
      outcome += std::string("\r\n") + service.*sequence.success_line;
      counted = true;
    }
  } else if (StateText == sequence.wanted_state) {
    outcome = StateText;
    counted = true;
  }
  WriteLogGroup(program, FileMode::kAppend, {outcome, ""});
  return counted;
}

void RunSequence(Program& program, const Sequence& sequence, int16_t& ServicesDone) {
  ServicesDone = 0;
  for (const ProductService* service : sequence.order) {
    if (TakeTurn(program, sequence, *service)) ++ServicesDone;
  }
}

}  // namespace

void GetServiceStateText(Program& program, std::string& StateText) {
  if (ReadServiceConfig(program) != 0) {
    StateText = kNotInstalled;
  } else {
    switch (GetServiceStatus(program)) {
      case scm::kStateStopped:
        StateText = kStopped;
        break;
      case scm::kStateRunning:
        StateText = kStarted;
        break;
      default:
        StateText = kStatusUnknown;
    }
  }
  PauseWithEvents(program.env.host, 500);
}

void StopProductServices(Program& program, int16_t& ServicesDone) {
  RunSequence(program, kStopSequence, ServicesDone);
}

void StartProductServices(Program& program, int16_t& ServicesDone) {
  RunSequence(program, kStartSequence, ServicesDone);
}

}  // namespace toverak
