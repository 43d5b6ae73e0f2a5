#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/error.h"
#include "platform/posix/posix_env.h"
#include "restore/restore_tables.h"

namespace toverak {
namespace {

class Folder {
 public:
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "toverak-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

const std::string& FuzzFolder() {
  static const Folder folder;
  return folder.path();
}

std::string WriteFuzzInput(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = FuzzFolder() + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
  return path;
}

int64_t ReadEveryValue(Recordset& rows) {
  const Fields& fields = rows.GetFields();
  int64_t count = 0;
  for (; !rows.Eof(); rows.MoveNext(), ++count) {
    for (int32_t i = 0; i < fields.Count(); ++i) {
      const Field& field = fields.Item(i);
      field.GetValue();
      fields.Item(field.Name()).GetValue();
    }
  }
  return count;
}

std::vector<std::string> CatalogTables(Database& database, Connection& connection) {
  std::unique_ptr<Recordset> objects = database.NewRecordset();
  objects->Open("MSysObjects", connection, ado::kOpenStatic, ado::kLockOptimistic, ado::kCmdTable);
  const Field& name = objects->GetFields().Item("Name");
  const Field& type = objects->GetFields().Item("Type");
  std::vector<std::string> tables;
  for (; !objects->Eof(); objects->MoveNext()) {
    const Value kind = type.GetValue();
    const Value text = name.GetValue();
    const auto* table = std::get_if<int16_t>(&kind);
    if (table && (*table & 0x7F) == 1 && std::holds_alternative<std::string>(text)) {
      tables.push_back(std::get<std::string>(text));
    }
  }
  return tables;
}

std::unique_ptr<Connection> OpenAccessFile(Database& database, const std::string& path) {
  std::unique_ptr<Connection> connection = database.NewConnection();
  connection->SetConnectionString(BackupConnectionString(path));
  connection->Open();
  return connection;
}

void ForEachCatalogTable(
    const std::string& path,
    const std::function<void(Database&, Connection&, const std::string& table)>& read) {
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<Connection> connection;
  std::vector<std::string> tables;
  try {
    connection = OpenAccessFile(*database, path);
    tables = CatalogTables(*database, *connection);
  } catch (const RaisedError&) {
    return;
  }
  for (const std::string& table : tables) {
    try {
      read(*database, *connection, table);
    } catch (const RaisedError&) {
    }
  }
}

}  // namespace toverak
