#include "testing/mdb_readers.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "platform/error.h"

extern char** environ;

namespace toverak {
namespace {

// Separators that no test text holds, so that mdb-export's fields need no quoting.
constexpr char kFieldSeparator = '\x1f';
constexpr char kRowSeparator = '\x1e';
constexpr const char* kDateFormat = "%Y-%m-%d %H:%M:%S";

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

std::string Joined(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& arg : argv) text += (text.empty() ? "" : " ") + arg;
  return text;
}

}  // namespace

std::string RunCommand(const std::vector<std::string>& argv) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) throw RaisedError("cannot make a pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[1]);
  std::string output;
  char buffer[65536];
  ssize_t got = 0;
  while (spawned == 0 && (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<size_t>(got));
  }
  close(pipe_ends[0]);
  if (spawned != 0) throw RaisedError("cannot run " + Joined(argv));
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw RaisedError("the command failed: " + Joined(argv));
  }
  return output;
}

std::vector<std::string> MdbToolsTableNames(const std::string& path) {
  return Split(RunCommand({"mdb-tables", "-1", path}), '\n');
}

std::vector<std::pair<std::string, std::string>> MdbToolsColumns(const std::string& path,
                                                                 const std::string& table) {
  static const std::regex column_line(R"(^\t\[(.*)\]\t+(.*?)(?: NOT NULL)?,? ?$)");
  std::vector<std::pair<std::string, std::string>> columns;
  for (const std::string& line : Split(RunCommand({"mdb-schema", "-T", table, path}), '\n')) {
    std::smatch match;
    if (std::regex_match(line, match, column_line)) columns.emplace_back(match[1], match[2]);
  }
  return columns;
}

std::vector<std::vector<std::optional<std::string>>> MdbToolsRows(const std::string& path,
                                                                  const std::string& table) {
  const std::string output = RunCommand(
      {"mdb-export", "-H", "-Q", "-d", std::string(1, kFieldSeparator), "-R",
       std::string(1, kRowSeparator), "-D", kDateFormat, "-T", kDateFormat, path, table});
  std::vector<std::vector<std::optional<std::string>>> rows;
  for (const std::string& line : Split(output, kRowSeparator)) {
    std::vector<std::optional<std::string>> row;
    // getline drops an empty last field: add it back from the count of separators.
    std::vector<std::string> fields = Split(line, kFieldSeparator);
    if (!line.empty() && line.back() == kFieldSeparator) fields.emplace_back();
    for (const std::string& field : fields) {
      row.push_back(field.empty() ? std::nullopt : std::optional<std::string>(field));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

nlohmann::json MdbReaderDump(const std::string& path) {
  const std::filesystem::path script_folder =
      std::filesystem::path(TOVERAK_SOURCE_DIR) / "testing/js";
  if (!std::filesystem::exists(script_folder / "node_modules/mdb-reader")) {
    throw RaisedError("mdb-reader is not installed: run scripts/install-deps.sh");
  }
  return nlohmann::json::parse(
      RunCommand({"node", (script_folder / "mdb-dump.mjs").string(), path}));
}

}  // namespace toverak
