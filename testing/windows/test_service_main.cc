// A minimal service for the tests of the service manager: it runs until it is told to stop.
// Registered with the argument "refuse-stop" it does not accept the stop control; the control
// kEndControl ends it in either case, so that a test can always clean up.
#include <windows.h>

#include <cstring>

namespace {

constexpr DWORD kEndControl = 200;

SERVICE_STATUS_HANDLE status_handle = nullptr;
HANDLE end_event = nullptr;
bool accepts_stop = true;

void ReportState(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING && accepts_stop ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(status_handle, &status);
}

DWORD WINAPI HandleControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case kEndControl:
      ReportState(SERVICE_STOP_PENDING);
      SetEvent(end_event);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, char**) {
  status_handle = RegisterServiceCtrlHandlerExA("", HandleControl, nullptr);
  if (!status_handle) return;
  ReportState(SERVICE_RUNNING);
  WaitForSingleObject(end_event, INFINITE);
  ReportState(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
  accepts_stop = !(argc > 1 && std::strcmp(argv[1], "refuse-stop") == 0);
  end_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char name[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
