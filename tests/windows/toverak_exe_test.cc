// The whole toverak.exe of this build, started as the operators start it, in a folder of its
// own without the product's Access file.
#include <gtest/gtest.h>

#include <regex>

#include "driver/form_load.h"
#include "testing/temp_folder.h"
#include "testing/windows/test_support.h"

namespace toverak {
namespace {

WORD SubsystemOf(const std::string& executable) {
  const std::string image = ReadWholeFile(executable);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
  return nt->OptionalHeader.Subsystem;
}

TEST(ToverakProgramTest, IsAProgramWithoutAConsoleAndTheCheckAConsoleProgram) {
  EXPECT_EQ(SubsystemOf(TestProgramsFolder() + "\\toverak.exe"), IMAGE_SUBSYSTEM_WINDOWS_GUI);
  EXPECT_EQ(SubsystemOf(TestProgramsFolder() + "\\toverak-check.exe"), IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

// Wine has no Jet provider, so the check reports ADO's own reason why the backup cannot be
// opened, as the restore's error handler would.
TEST(ToverakProgramTest, TheCheckReportsABackupThatCannotBeOpened) {
  const TempFolder folder;
  const std::string backup = folder / "NarvelBackup_2026-12-08.mdb";
  WriteWholeFile(backup, "not an Access file");
  const ProgramRun run = RunProgram(TestProgramsFolder() + "\\toverak-check.exe", backup);
  EXPECT_EQ(run.status, 1u);
  const std::string failed = "A restore from " + backup + " would fail: Restore_Err_Handler: ";
  EXPECT_TRUE(run.output.starts_with(failed)) << run.output;
  EXPECT_GT(run.output.size(), failed.size() + 2) << run.output;
}

TEST(ToverakProgramTest, WithoutTheProductFileAppendsTheFailureToThePreviousLog) {
  const TempFolder folder;
  const std::string executable = folder / "toverak.exe";
  ASSERT_TRUE(
      CopyFileA((TestProgramsFolder() + "\\toverak.exe").c_str(), executable.c_str(), FALSE));
  WriteWholeFile(folder / "Toverak.log", "previous run\r\n");

  EXPECT_EQ(RunProgram(executable, R"(D:\Bak\NarvelBackup_xxxx-xx-xx.mdb)").status,
            DWORD(kRunFailure));

  const std::regex expected(
      "previous run\r\n"
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})"
      "\t Argument Error\r\n"
      "CommandLine = \r\n");
  const std::string log = ReadWholeFile(folder / "Toverak.log");
  EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

}  // namespace
}  // namespace toverak
