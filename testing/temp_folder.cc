#include "testing/temp_folder.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace toverak {

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = std::filesystem::temp_directory_path() / ("toverak-" + std::to_string(random()));
    if (std::filesystem::create_directory(path_)) return;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::Write(const std::string& name,
                                        const std::string& contents) const {
  const std::filesystem::path file = path_ / name;
  WriteWholeFile(file, contents);
  return file;
}

void WriteWholeFile(const std::filesystem::path& path, const std::string& contents) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TempFolder::Read(const std::string& name) const { return ReadWholeFile(path_ / name); }

}  // namespace toverak
