// The Win32 host against the real system: command line, executable folder, backup search, text
// files, clock and message queue.
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/windows/host_windows.h"
#include "platform/windows/windows_env.h"
#include "testing/temp_folder.h"
#include "testing/windows/test_support.h"

namespace toverak {
namespace {

TEST(ArgumentsAfterProgramNameTest, KeepsTheRestUnsplitWithItsQuotes) {
  EXPECT_EQ(ArgumentsAfterProgramName(R"("C:\Program Files\Narvel\Toverak.exe" D:\Bak\x.mdb)"),
            R"(D:\Bak\x.mdb)");
  EXPECT_EQ(ArgumentsAfterProgramName(R"(Toverak.exe   "D:\My Bak\x.mdb"  tail )"),
            R"("D:\My Bak\x.mdb"  tail )");
  EXPECT_EQ(ArgumentsAfterProgramName("Toverak.exe\tD:\\x.mdb"), "D:\\x.mdb");
  EXPECT_EQ(ArgumentsAfterProgramName(R"("C:\a b\Toverak.exe"D:\x.mdb)"), R"(D:\x.mdb)");
}

TEST(ArgumentsAfterProgramNameTest, NothingAfterTheName) {
  EXPECT_EQ(ArgumentsAfterProgramName("Toverak.exe"), "");
  EXPECT_EQ(ArgumentsAfterProgramName(R"("C:\Toverak.exe"   )"), "");
  EXPECT_EQ(ArgumentsAfterProgramName(R"("C:\unterminated)"), "");
  EXPECT_EQ(ArgumentsAfterProgramName(""), "");
}

class WindowsHostTest : public ::testing::Test {
 protected:
  std::unique_ptr<Host> host_ = NewWindowsHost();
  TempFolder folder_;
};

TEST_F(WindowsHostTest, ExecutableFolderIsTheFolderOfTheRunningProgram) {
  const std::string folder = host_->ExecutableFolder();
  EXPECT_EQ(folder, TestProgramsFolder());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_NE(GetFileAttributesA((folder + "\\toverak_windows_tests.exe").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(host_->PathSeparator(), '\\');
}

TEST_F(WindowsHostTest, BackupSearchFindsOnlyOrdinaryFiles) {
  WriteWholeFile(folder_ / "NarvelBackup_hidden.mdb", "");
  SetFileAttributesA((folder_ / "NarvelBackup_hidden.mdb").c_str(), FILE_ATTRIBUTE_HIDDEN);
  WriteWholeFile(folder_ / "NarvelBackup_system.mdb", "");
  SetFileAttributesA((folder_ / "NarvelBackup_system.mdb").c_str(), FILE_ATTRIBUTE_SYSTEM);
  CreateDirectoryA((folder_ / "NarvelBackup_folder.mdb").c_str(), nullptr);

  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "NarvelBackup_hidden.mdb"), std::nullopt);
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "NarvelBackup_system.mdb"), std::nullopt);
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "NarvelBackup_folder.mdb"), std::nullopt);
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "NarvelBackup_*.mdb"), std::nullopt);

  WriteWholeFile(folder_ / "NarvelBackup_2026-12-08.mdb", "");
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "NarvelBackup_*.mdb"),
            "NarvelBackup_2026-12-08.mdb");
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "NarvelBackup_2026-1?-08.mdb"),
            "NarvelBackup_2026-12-08.mdb");
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "NarvelBackup_2026-12-08.mdb"),
            "NarvelBackup_2026-12-08.mdb");
}

TEST_F(WindowsHostTest, BackupSearchAnswersNothingForNamesThatCannotBeFound) {
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "absent.mdb"), std::nullopt);
  EXPECT_EQ(host_->FindFirstOrdinaryFile(folder_ / "no folder\\x.mdb"), std::nullopt);
  EXPECT_EQ(host_->FindFirstOrdinaryFile("\"" + (folder_ / "x.mdb") + "\""), std::nullopt);
  EXPECT_EQ(host_->FindFirstOrdinaryFile(""), std::nullopt);
}

TEST_F(WindowsHostTest, BackupSearchTakesARelativePathFromTheCurrentFolder) {
  CreateDirectoryA((folder_ / "Bak").c_str(), nullptr);
  WriteWholeFile(folder_ / "Bak\\NarvelBackup_2026-11-30.mdb", "");
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(folder_.path().string().c_str());
  const auto found = host_->FindFirstOrdinaryFile("Bak\\NarvelBackup_2026-11-30.mdb");
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(found, "NarvelBackup_2026-11-30.mdb");
}

TEST_F(WindowsHostTest, TextFilesEndLinesWithCrLfInTheAnsiCodePage) {
  const std::string path = folder_ / "Toverak.log";
  WriteWholeFile(path, "previous run\r\n");
  auto file = host_->OpenTextFile(path, FileMode::kAppend);
  file->WriteLine("appended");
  file->WriteLine("");
  file->Close();
  EXPECT_EQ(ReadWholeFile(path), "previous run\r\nappended\r\n\r\n");

  file = host_->OpenTextFile(path, FileMode::kTruncate);
  file->WriteLine("Caf\xC3\xA9 \xE2\x82\xAC");  // "Café €" in UTF-8
  file->Close();
  char expected[16] = {};
  const wchar_t wide[] = L"Caf\u00E9 \u20AC\r\n";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, expected, sizeof expected, nullptr, nullptr);
  EXPECT_EQ(ReadWholeFile(path), expected);
  if (GetACP() == 1252) {
    EXPECT_EQ(ReadWholeFile(path), "Caf\xE9 \x80\r\n");
  }
}

TEST_F(WindowsHostTest, TextFileThatCannotBeOpenedRaisesAnError) {
  EXPECT_THROW(host_->OpenTextFile(folder_ / "no folder\\Toverak.log", FileMode::kAppend),
               RaisedError);
}

TEST_F(WindowsHostTest, NowIsTheLocalTime) {
  SYSTEMTIME before{};
  GetLocalTime(&before);
  const LocalDateTime now = host_->Now();
  EXPECT_EQ(now.year, before.wYear);
  EXPECT_EQ(now.month, before.wMonth);
  EXPECT_GE(now.hour * 3600 + now.minute * 60 + now.second,
            before.wHour * 3600 + before.wMinute * 60 + before.wSecond);
  EXPECT_LT(now.millisecond, 1000);
}

LRESULT CALLBACK CountingWindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) ++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return DefWindowProcA(window, message, w, l);
}

TEST_F(WindowsHostTest, PendingMessagesAreDispatchedAfterASleep) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = CountingWindowProcedure;
  window_class.lpszClassName = "ToverakTestWindow";
  RegisterClassA(&window_class);
  const HWND window = CreateWindowExA(0, "ToverakTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  int dispatched = 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));
  PostMessageA(window, WM_APP, 0, 0);
  PostMessageA(window, WM_APP, 0, 0);

  LARGE_INTEGER frequency{}, start{}, end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  host_->Sleep(10);
  QueryPerformanceCounter(&end);
  EXPECT_GE((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart, 9);
  EXPECT_EQ(dispatched, 0);
  host_->ProcessPendingEvents();
  EXPECT_EQ(dispatched, 2);
  DestroyWindow(window);
}

TEST_F(WindowsHostTest, ValueTextUsesTheRegionalSettings) {
  char separator[8] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator);
  EXPECT_EQ(host_->ValueText(2.5), std::string("2") + separator + "5");
  EXPECT_EQ(host_->ValueText(Currency{-12345}), std::string("-1") + separator + "2345");
  EXPECT_EQ(host_->ValueText(Decimal{1234, 0, 2, true}), std::string("-12") + separator + "34");
  EXPECT_EQ(host_->ValueText(true), "True");
  EXPECT_EQ(host_->ValueText(false), "False");
  EXPECT_EQ(host_->ValueText(int64_t{-9000000000}), "-9000000000");
  EXPECT_EQ(host_->ValueText(uint8_t{255}), "255");
  EXPECT_EQ(host_->ValueText(Null{}), "");
  EXPECT_EQ(host_->ValueText(std::string("it's \xC3\xA9")), "it's \xC3\xA9");
  EXPECT_EQ(host_->ValueText(Bytes{0x0A, 0xFF}), "0AFF");
}

TEST_F(WindowsHostTest, DateTextLeavesOutMidnightAndDayZero) {
  SYSTEMTIME at{};
  at.wYear = 2022;
  at.wMonth = 12;
  at.wDay = 21;
  char date[64] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &at, nullptr, date, sizeof date);
  at.wHour = 8;
  at.wMinute = 58;
  at.wSecond = 21;
  char time[64] = {};
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &at, nullptr, time, sizeof time);

  const double day = 44916;  // 21 December 2022
  const double time_of_day = (8 * 3600 + 58 * 60 + 21) / 86400.0;
  EXPECT_EQ(host_->ValueText(Date{day}), date);
  EXPECT_EQ(host_->ValueText(Date{day + time_of_day}), std::string(date) + " " + time);
  EXPECT_EQ(host_->ValueText(Date{time_of_day}), time);
}

}  // namespace
}  // namespace toverak
