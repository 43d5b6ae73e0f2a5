// The host on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/error.h"
#include "platform/posix/posix_env.h"
#include "platform/value_text.h"
#include "platform/wildcard.h"

namespace toverak {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

class PosixTextFile : public TextFile {
 public:
  PosixTextFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  ~PosixTextFile() override {
    if (file_) std::fclose(file_);
  }
  void WriteLine(const std::string& text) override {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() ||
        std::fwrite("\r\n", 1, 2, file_) != 2) {
      throw RaisedError(SystemError("Cannot write", path_));
    }
  }
  void Close() override {
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) throw RaisedError(SystemError("Cannot write", path_));
  }

 private:
  std::FILE* file_;
  std::string path_;
};

class PosixHost : public Host {
 public:
  PosixHost(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
      if (i > 1) command_line_ += ' ';
      command_line_ += argv[i];
    }
  }

  LocalDateTime Now() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return LocalDateTime{local.tm_year + 1900,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         int(now.tv_nsec / 1'000'000)};
  }

  void Sleep(int32_t ms) override {
    timespec wait{ms / 1000, long(ms % 1000) * 1'000'000};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }

  // A process without windows has no pending messages to process.
  void ProcessPendingEvents() override {}

  std::string CommandLine() override { return command_line_; }

  std::string ExecutableFolder() override {
    char* real = realpath("/proc/self/exe", nullptr);
    if (!real) throw RaisedError(SystemError("Cannot find the executable", "/proc/self/exe"));
    std::string path = real;
    std::free(real);
    const size_t slash = path.rfind('/');
    return slash == 0 ? "" : path.substr(0, slash);
  }

  char PathSeparator() override { return '/'; }

  std::optional<std::string> FindFirstOrdinaryFile(const std::string& pattern) override {
    if (pattern.empty()) return std::nullopt;
    const size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    const std::string name_pattern =
        slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
      if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
      throw RaisedError(SystemError("Cannot search the folder", folder));
    }
    std::optional<std::string> found;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.starts_with('.') || !MatchesWildcard(name_pattern, name)) continue;
      struct stat info {};
      const std::string path = slash == std::string::npos ? name : folder + name;
      if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        found = name;
        break;
      }
    }
    closedir(dir);
    return found;
  }

  std::unique_ptr<TextFile> OpenTextFile(const std::string& path, FileMode mode) override {
    std::FILE* file = std::fopen(path.c_str(), mode == FileMode::kTruncate ? "wb" : "ab");
    if (!file) throw RaisedError(SystemError("Cannot open", path));
    return std::make_unique<PosixTextFile>(file, path);
  }

  std::string ValueText(const Value& value) override { return GeneralText(value); }

  void ReportToConsole(const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }

  void EndProcess(int status) override {
    std::fflush(nullptr);
    std::exit(status);
  }

 private:
  std::string command_line_;
};

}  // namespace

std::unique_ptr<Host> NewPosixHost(int argc, char** argv) {
  return std::make_unique<PosixHost>(argc, argv);
}

}  // namespace toverak
