#include "restore/render_field_value.h"
#include "restore/table_steps.h"

namespace toverak {

const std::vector<std::string>& SettingsColumns() {
  static const std::vector<std::string> columns = {"ProgVersion",
                                                   "SkipActionsOnFirstPoll",
                                                   "DropTrapsUnkSources",
                                                   "LogUserAckEvent",
                                                   "ExportEventLog",
                                                   "DelHistoryOlderThan",
                                                   "ScheduledBackup",
                                                   "BackupHour",
                                                   "DelBakOlderThan",
                                                   "BackupPath",
                                                   "DebugMode",
                                                   "LastUsedDevId",
                                                   "LastUsedUserId",
                                                   "LastUsedFiltId",
                                                   "DropTrapsPollDisabled",
                                                   "DelInfoOlderThan"};
  return columns;
}

const std::vector<std::string>& DiscAgtColumns() {
  static const std::vector<std::string> columns = {
      "ScanTimeMon", "ScanTimeTue",  "ScanTimeWed",  "ScanTimeThu", "ScanTimeFri", "ScanTimeSat",
      "ScanTimeSun", "nodegroup_id", "PollInterval", "PollTimeout", "PollRetries", "readcomm",
      "writecomm",   "trapcomm",     "EnablePoll",   "FullDnsName"};
  return columns;
}

const std::vector<std::string>* MergedColumnsOf(const std::string& table) {
  if (table == "Settings") return &SettingsColumns();
  if (table == "DiscAgt") return &DiscAgtColumns();
  return nullptr;
}

void MergeSingleRowTable(RestoreRun& run, const std::string& table,
                         const std::vector<std::string>& columns) {
  OpenBackupTable(run, table);
  run.Statement =
      UpdateStatement(run.program.env.host, table, columns, run.SourceRecordset->GetFields());
  ExecuteStatement(run);
  if (run.SourceRecordset->State() == ado::kStateOpen) run.SourceRecordset->Close();
}

}  // namespace toverak
