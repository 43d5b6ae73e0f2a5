// A host that passes every call on to the real one behind it, for tools that watch or redirect
// some of the calls: derive and override what differs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/host.h"

namespace toverak {

class ForwardingHost : public Host {
 public:
  explicit ForwardingHost(Host& inner) : inner_(inner) {}
  LocalDateTime Now() override { return inner_.Now(); }
  void Sleep(int32_t ms) override { inner_.Sleep(ms); }
  void ProcessPendingEvents() override { inner_.ProcessPendingEvents(); }
  std::string CommandLine() override { return inner_.CommandLine(); }
  std::string ExecutableFolder() override { return inner_.ExecutableFolder(); }
  char PathSeparator() override { return inner_.PathSeparator(); }
  std::optional<std::string> FindFirstOrdinaryFile(const std::string& pattern) override {
    return inner_.FindFirstOrdinaryFile(pattern);
  }
  std::unique_ptr<TextFile> OpenTextFile(const std::string& path, FileMode mode) override {
    return inner_.OpenTextFile(path, mode);
  }
  std::string ValueText(const Value& value) override { return inner_.ValueText(value); }
  void ReportToConsole(const std::string& text) override { inner_.ReportToConsole(text); }
  void EndProcess(int status) override { inner_.EndProcess(status); }

 protected:
  Host& inner_;
};

}  // namespace toverak
