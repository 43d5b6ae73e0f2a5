#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/posix/posix_env.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

// Runs a test from inside a folder, going back to the previous current folder afterwards.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

std::unique_ptr<Host> HostWith(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return NewPosixHost(int(argv.size()), argv.data());
}

TEST(PosixHost, SearchFindsOnlyOrdinaryFilesAndHonoursWildcards) {
  TempFolder temp;
  temp.Write("bak/NarvelBackup_2026-12-08.mdb", "x");
  temp.Write("bak/.NarvelBackup_2026-12-09.mdb", "x");
  std::filesystem::create_directories(temp.path() / "bak/NarvelBackup_2026-12-10.mdb");
  auto host = HostWith({"toverak"});
  const std::string bak = (temp.path() / "bak").string();

  EXPECT_EQ(host->FindFirstOrdinaryFile(bak + "/NarvelBackup_2026-12-08.mdb"),
            "NarvelBackup_2026-12-08.mdb");
  EXPECT_EQ(host->FindFirstOrdinaryFile(bak + "/NarvelBackup_2026-12-?8.mdb"),
            "NarvelBackup_2026-12-08.mdb");
  EXPECT_EQ(host->FindFirstOrdinaryFile(bak + "/*.mdb"), "NarvelBackup_2026-12-08.mdb");
  EXPECT_EQ(host->FindFirstOrdinaryFile(bak + "/.NarvelBackup_2026-12-09.mdb"), std::nullopt);
  EXPECT_EQ(host->FindFirstOrdinaryFile(bak + "/NarvelBackup_2026-12-10.mdb"), std::nullopt);
  EXPECT_EQ(host->FindFirstOrdinaryFile(bak + "/narvelbackup_2026-12-08.mdb"), std::nullopt);
  EXPECT_EQ(host->FindFirstOrdinaryFile(bak + "/missing/*.mdb"), std::nullopt);
  EXPECT_EQ(host->FindFirstOrdinaryFile(""), std::nullopt);
}

TEST(PosixHost, SearchTakesARelativePathFromTheCurrentFolder) {
  TempFolder temp;
  temp.Write("bak/b.mdb", "x");
  auto host = HostWith({"toverak"});
  InFolder inside(temp.path());
  EXPECT_EQ(host->FindFirstOrdinaryFile("bak/b.mdb"), "b.mdb");
  EXPECT_EQ(host->FindFirstOrdinaryFile("b.mdb"), std::nullopt);
  InFolder deeper(temp.path() / "bak");
  EXPECT_EQ(host->FindFirstOrdinaryFile("b.mdb"), "b.mdb");
}

TEST(PosixHost, TextFilesTruncateOrAppendAndEndLinesWithCrLf) {
  TempFolder temp;
  auto host = HostWith({"toverak"});
  const std::string log = (temp.path() / "Toverak.log").string();
  temp.Write("Toverak.log", "old\r\n");
  auto file = host->OpenTextFile(log, FileMode::kAppend);
  file->WriteLine("appended");
  file->Close();
  EXPECT_EQ(temp.Read("Toverak.log"), "old\r\nappended\r\n");
  file = host->OpenTextFile(log, FileMode::kTruncate);
  file->WriteLine("Ünïcode stays UTF-8");
  file->WriteLine("");
  file->Close();
  EXPECT_EQ(temp.Read("Toverak.log"), "Ünïcode stays UTF-8\r\n\r\n");
  EXPECT_THROW(host->OpenTextFile((temp.path() / "no/such/folder.log").string(), FileMode::kAppend),
               std::exception);
}

TEST(PosixHost, CommandLineIsTheArgumentsJoinedByBlanks) {
  EXPECT_EQ(HostWith({"toverak", "/bak/My Backup", "x"})->CommandLine(), "/bak/My Backup x");
  EXPECT_EQ(HostWith({"toverak"})->CommandLine(), "");
}

TEST(PosixHost, ExecutableFolderIsTheRealFolderOfTheRunningBinary) {
  auto host = HostWith({"toverak"});
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(host->ExecutableFolder(), self.parent_path().string());
}

TEST(PosixHost, NowAgreesWithTheSystemClock) {
  auto host = HostWith({"toverak"});
  const LocalDateTime now = host->Now();
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  localtime_r(&seconds, &local);
  EXPECT_EQ(now.year, local.tm_year + 1900);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LT(now.millisecond, 1000);
}

}  // namespace
}  // namespace toverak
