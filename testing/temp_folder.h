// A temporary folder for a test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace toverak {

// The whole contents of the file at `path`, byte for byte; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);
// Writes `contents` to the file at `path`, byte for byte, making its folders first.
void WriteWholeFile(const std::filesystem::path& path, const std::string& contents);

class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder, as this platform writes it.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // Writes `contents` to `name` inside the folder and returns its path.
  std::filesystem::path Write(const std::string& name, const std::string& contents) const;
  // The whole contents of `name` inside the folder.
  std::string Read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace toverak
