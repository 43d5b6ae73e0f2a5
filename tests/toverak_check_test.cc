// The pre-flight check as an operator runs it, on backups written by the Jet writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "testing/jet_writer.h"
#include "testing/product_folder.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

struct CheckRun {
  int status;
  std::string output;
};

// Runs toverak-check with `arguments`, each quoted for the shell.
CheckRun RunCheck(const std::vector<std::string>& arguments) {
  std::string command = TOVERAK_CHECK;
  for (const std::string& argument : arguments) command.append(" '").append(argument) += "'";
  command += " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  CheckRun run{-1, ""};
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class ToverakCheck : public testing::Test {
 protected:
  std::string Write(const nlohmann::json& description) {
    const std::filesystem::path path = temp_.path() / "NarvelBackup_2026-12-08.mdb";
    WriteJetDatabase(description, path);
    return path.string();
  }
  TempFolder temp_;
};

TEST_F(ToverakCheck, AGoodBackupPassesAndListsEveryTable) {
  const std::string backup = Write(Fixture("narvel_backup"));
  const CheckRun run = RunCheck({backup});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("ATR_Nodes: present, 3 rows\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Settings: present, every listed column, 1 row\n"), std::string::npos);
  EXPECT_NE(run.output.find("ATR_Log: present, 3 rows\n"), std::string::npos);
  EXPECT_NE(run.output.find("would get through the backup"), std::string::npos);
  EXPECT_EQ(run.output.find("INSERT"), std::string::npos);
}

TEST_F(ToverakCheck, StatementsAreTheRestoresOwn) {
  const std::string backup = Write(Fixture("narvel_backup"));
  const CheckRun run = RunCheck({"--statements", backup});
  EXPECT_EQ(run.status, 0) << run.output;
  for (const char* statement :
       {"DELETE FROM ATR_Nodes\n",
        "INSERT INTO ATR_Nodes VALUES ('2', 'O''Brien''s switch', '10.0.0.2', '1', 'private', "
        "'False', '2023-01-01 00:00:00', NULL, NULL)\n",
        "INSERT INTO SecProfiles VALUES ('2', 'Read only', 'False', '-0.0001', '0.25')\n",
        "INSERT INTO ATR_Log VALUES ('2026-12-01 00:00:00', '3', '0', 'Node added')\n"}) {
    EXPECT_NE(run.output.find(statement), std::string::npos) << statement << run.output;
  }
  EXPECT_NE(run.output.find("UPDATE DiscAgt SET ScanTimeMon = '02:00',"), std::string::npos);
}

TEST_F(ToverakCheck, BrokenBackupsFailNamingTheTableOrColumnAtFault) {
  nlohmann::json without_log = Fixture("narvel_backup");
  without_log["tables"].erase(without_log["tables"].size() - 1);
  CheckRun run = RunCheck({Write(without_log)});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("ATR_Log: missing"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("would fail: Restore_Err_Handler: "), std::string::npos);

  nlohmann::json without_column = Fixture("narvel_backup");
  without_column["tables"][8]["columns"][12]["name"] = "write_community";
  run = RunCheck({Write(without_column)});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("DiscAgt: present, missing columns: writecomm, 1 row"),
            std::string::npos)
      << run.output;

  nlohmann::json empty_settings = Fixture("narvel_backup");
  empty_settings["tables"][4]["rows"] = nlohmann::json::array();
  run = RunCheck({Write(empty_settings)});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Settings: present, every listed column, no row to restore from"),
            std::string::npos)
      << run.output;
}

TEST_F(ToverakCheck, AFileThatIsNoBackupFails) {
  const std::filesystem::path junk = temp_.Write("junk.mdb", std::string(8192, 'x'));
  const CheckRun run = RunCheck({junk.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("would fail: Restore_Err_Handler: "), std::string::npos) << run.output;
  EXPECT_EQ(RunCheck({}).status, 2);
}

TEST_F(ToverakCheck, HelpAndVersionEndAtOnceAndAWrongCommandLineFails) {
  const CheckRun version = RunCheck({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.output, std::regex(R"(toverak-check \d+\.\d+\.\d+\n)")))
      << version.output;
  const CheckRun help = RunCheck({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.output.starts_with("usage: toverak-check [--statements] BACKUP\n"))
      << help.output;
  const CheckRun two_backups = RunCheck({"a.mdb", "b.mdb"});
  EXPECT_EQ(two_backups.status, 2);
  EXPECT_TRUE(two_backups.output.starts_with("usage: ")) << two_backups.output;
}

}  // namespace
}  // namespace toverak
