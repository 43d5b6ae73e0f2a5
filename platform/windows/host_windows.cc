#include "platform/windows/host_windows.h"

#include <windows.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/windows/variant_value.h"
#include "platform/windows/windows_env.h"
#include "platform/windows/windows_text.h"

namespace toverak {
namespace {

std::string FailureText(const std::string& what, const std::string& path, DWORD error) {
  return what + " '" + path + "': " + SystemMessage(error);
}

// The answers of a search that mean only that nothing matches (a missing folder, or a pattern
// that cannot be a file name, such as a path in quotes).
bool MeansNoMatch(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return true;
    default:
      return false;
  }
}

bool IsOrdinaryFile(const WIN32_FIND_DATAA& entry) {
  return (entry.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

class WindowsTextFile : public TextFile {
 public:
  WindowsTextFile(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}
  ~WindowsTextFile() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }

  void WriteLine(const std::string& text) override {
    const std::string line = AnsiFromUtf8(text) + "\r\n";
    DWORD written = 0;
    if (!WriteFile(file_, line.data(), DWORD(line.size()), &written, nullptr) ||
        written != line.size()) {
      throw RaisedError(FailureText("Cannot write", path_, GetLastError()));
    }
  }

  void Close() override {
    const HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file)) throw RaisedError(FailureText("Cannot write", path_, GetLastError()));
  }

 private:
  HANDLE file_;
  std::string path_;
};

class WindowsHost : public Host {
 public:
  LocalDateTime Now() override {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalDateTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                         now.wMinute, now.wSecond, now.wMilliseconds};
  }

  void Sleep(int32_t ms) override { ::Sleep(ms > 0 ? DWORD(ms) : 0); }

  void ProcessPendingEvents() override {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  std::string CommandLine() override {
    return Utf8FromAnsi(ArgumentsAfterProgramName(GetCommandLineA()));
  }

  std::string ExecutableFolder() override {
    std::string path(MAX_PATH, '\0');
    for (;;) {
      const DWORD length = GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
      if (length == 0) {
        throw RaisedError("Cannot find the executable: " + SystemMessage(GetLastError()));
      }
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(path.size() * 2);
    }
    const size_t separator = path.find_last_of("\\/");
    return Utf8FromAnsi(separator == std::string::npos ? "" : path.substr(0, separator));
  }

  char PathSeparator() override { return '\\'; }

  std::optional<std::string> FindFirstOrdinaryFile(const std::string& pattern) override {
    if (pattern.empty()) return std::nullopt;
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA(AnsiFromUtf8(pattern).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (MeansNoMatch(error)) return std::nullopt;
      throw RaisedError(FailureText("Cannot search for", pattern, error));
    }
    std::optional<std::string> found;
    do {
      if (IsOrdinaryFile(entry)) {
        found = Utf8FromAnsi(entry.cFileName);
        break;
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
  }

  std::unique_ptr<TextFile> OpenTextFile(const std::string& path, FileMode mode) override {
    const bool truncate = mode == FileMode::kTruncate;
    const HANDLE file =
        CreateFileA(AnsiFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    truncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      throw RaisedError(FailureText("Cannot open", path, GetLastError()));
    }
    auto text_file = std::make_unique<WindowsTextFile>(file, path);
    if (!truncate && SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
      throw RaisedError(FailureText("Cannot open", path, GetLastError()));
    }
    return text_file;
  }

  std::string ValueText(const Value& value) override { return RegionalValueText(value); }

  // A program without a console reports to an error output only when it was given one, and
  // otherwise to the debugger.
  void ReportToConsole(const std::string& text) override {
    const std::string line = AnsiFromUtf8(text) + "\r\n";
    const HANDLE error_output = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error_output == nullptr || error_output == INVALID_HANDLE_VALUE ||
        !WriteFile(error_output, line.data(), DWORD(line.size()), &written, nullptr)) {
      OutputDebugStringA(line.c_str());
    }
  }

  void EndProcess(int status) override { ExitProcess(UINT(status)); }
};

}  // namespace

std::string ArgumentsAfterProgramName(const std::string& command_line) {
  size_t at = 0;
  if (command_line.starts_with('"')) {
    const size_t closing = command_line.find('"', 1);
    at = closing == std::string::npos ? command_line.size() : closing + 1;
  } else {
    at = std::min(command_line.find_first_of(" \t"), command_line.size());
  }
  at = std::min(command_line.find_first_not_of(" \t", at), command_line.size());
  return command_line.substr(at);
}

std::unique_ptr<Host> NewWindowsHost() { return std::make_unique<WindowsHost>(); }

}  // namespace toverak
