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

// Runs `executable` with `arguments` and waits for it; its exit status.
DWORD RunToEnd(const std::string& executable, const std::string& arguments) {
  std::string command_line = "\"" + executable + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(executable.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << executable << ": " << GetLastError();
    return DWORD(-1);
  }
  DWORD status = DWORD(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, 1);
    ADD_FAILURE() << executable << " did not end";
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}

TEST(ToverakProgramTest, IsAProgramWithoutAConsole) {
  EXPECT_EQ(SubsystemOf(TestProgramsFolder() + "\\toverak.exe"), IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(ToverakProgramTest, WithoutTheProductFileAppendsTheFailureToThePreviousLog) {
  const TempFolder folder;
  const std::string executable = folder / "toverak.exe";
  ASSERT_TRUE(
      CopyFileA((TestProgramsFolder() + "\\toverak.exe").c_str(), executable.c_str(), FALSE));
  WriteWholeFile(folder / "Toverak.log", "previous run\r\n");

  EXPECT_EQ(RunToEnd(executable, R"(D:\Bak\NarvelBackup_xxxx-xx-xx.mdb)"), DWORD(kRunFailure));

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
