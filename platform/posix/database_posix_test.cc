// The POSIX database objects: the choice of backend by provider, the login time-out, and the
// recordsets opened on a connection.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "platform/error.h"
#include "platform/posix/posix_env.h"
#include "testing/jet_writer.h"
#include "testing/postgres_server.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

using ::testing::HasSubstr;

// A loopback port that accepts connections and then never says a word, as a server that hangs;
// or, with `listening` false, a port on which nothing listens.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening) : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (listening) {
      listen(socket_, 8);
    } else {
      close(socket_);
      socket_ = -1;
    }
  }
  ~LoopbackPort() {
    if (socket_ >= 0) close(socket_);
  }
  std::string port() const { return std::to_string(port_); }

 private:
  int socket_;
  int port_ = 0;
};

class PosixDatabaseTest : public ::testing::Test {
 protected:
  std::unique_ptr<Connection> Connect(const std::string& connection_string, int32_t timeout = 5) {
    auto connection = database_->NewConnection();
    connection->SetConnectionString(connection_string);
    connection->SetConnectionTimeout(timeout);
    connection->Open();
    return connection;
  }
  // The description of the failure of opening `connection_string`, and how long it took.
  std::string OpenFailure(const std::string& connection_string, int32_t timeout,
                          std::chrono::duration<double>* took = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    auto connection = database_->NewConnection();
    connection->SetConnectionString(connection_string);
    connection->SetConnectionTimeout(timeout);
    std::string description;
    try {
      connection->Open();
      ADD_FAILURE() << "opened " << connection_string;
    } catch (const RaisedError& error) {
      description = error.Description();
    }
    if (took) *took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(connection->State(), ado::kStateClosed);
    return description;
  }
  std::unique_ptr<Recordset> OpenTable(const std::string& table, Connection& connection) {
    auto rows = database_->NewRecordset();
    rows->SetCursorType(ado::kOpenStatic);
    rows->SetLockType(ado::kLockOptimistic);
    rows->Open(table, connection, ado::kOpenUnspecified, ado::kLockUnspecified, ado::kCmdTable);
    return rows;
  }

  std::unique_ptr<Database> database_ = NewPosixDatabase();
};

TEST_F(PosixDatabaseTest, UnknownProviderIsNamedAtOpen) {
  EXPECT_THAT(OpenFailure("Provider=OraOLEDB.Oracle;Data Source=ORCL", 5),
              HasSubstr("'OraOLEDB.Oracle'"));
  EXPECT_THAT(OpenFailure("Provider=SQLOLEDB.1;Integrated Security=SSPI;Data Source=s", 5),
              HasSubstr("Windows authentication"));
}

TEST_F(PosixDatabaseTest, SqliteThroughTheDriverManager) {
  SqliteFile file;
  auto connection = Connect(file.OdbcText());
  EXPECT_EQ(connection->State(), ado::kStateOpen);
  EXPECT_EQ(connection->ErrorsCount(), 0);
  connection->Execute("CREATE TABLE CustomMenus (id integer, label varchar(40))");
  connection->Execute("INSERT INTO CustomMenus VALUES ('1', 'Ping')");
  auto rows = OpenTable("CustomMenus", *connection);
  EXPECT_EQ(rows->State(), ado::kStateOpen);
  EXPECT_EQ(rows->GetFields().Item("label").GetValue(), Value(std::string("Ping")));
  rows->MoveNext();
  EXPECT_TRUE(rows->Eof());
  rows->Close();
  EXPECT_EQ(rows->State(), ado::kStateClosed);
  EXPECT_EQ(rows->GetFields().Count(), 0);
  EXPECT_THROW(rows->MoveNext(), RaisedError);
  connection->Close();
  EXPECT_EQ(connection->State(), ado::kStateClosed);
  EXPECT_THROW(connection->Execute("DELETE FROM CustomMenus"), RaisedError);
  EXPECT_THROW(connection->Close(), RaisedError);
}

TEST_F(PosixDatabaseTest, RecordsetOpensOnlyTablesOfAnOpenConnection) {
  SqliteFile file;
  auto connection = Connect(file.OdbcText());
  connection->Execute("CREATE TABLE SecProfiles (id integer)");
  auto rows = database_->NewRecordset();
  EXPECT_THAT([&] { rows->Open("SELECT * FROM SecProfiles", *connection, -1, -1, 1); },
              ::testing::ThrowsMessage<RaisedError>(HasSubstr("options 1")));
  EXPECT_THROW(rows->Open("Missing", *connection, -1, -1, ado::kCmdTable), RaisedError);
  EXPECT_EQ(rows->State(), ado::kStateClosed);
  auto closed = database_->NewConnection();
  EXPECT_THROW(rows->Open("SecProfiles", *closed, -1, -1, ado::kCmdTable), RaisedError);
}

TEST_F(PosixDatabaseTest, RowsOutliveTheirConnection) {
  SqliteFile file;
  auto connection = Connect(file.OdbcText());
  connection->Execute("CREATE TABLE ATR_Log (log_id integer)");
  connection->Execute("INSERT INTO ATR_Log VALUES ('1')");
  connection->Execute("INSERT INTO ATR_Log VALUES ('2')");
  auto rows = OpenTable("ATR_Log", *connection);
  // Released without Close, before its recordset, as a failed restore lets go of them.
  connection.reset();
  rows->MoveNext();
  EXPECT_EQ(rows->GetFields().Item(0).GetValue(), Value(int32_t(2)));
}

TEST_F(PosixDatabaseTest, PostgresOpensWithTheLoginTimeOut) {
  PostgresServer& server = PostgresServer::Shared();
  auto connection = Connect(server.OdbcText(server.NewDatabase()));
  connection->Execute("DO $$ BEGIN RAISE NOTICE 'hello'; END $$");
  EXPECT_EQ(connection->ErrorsCount(), 1);
  EXPECT_THAT(OpenFailure("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" +
                              std::to_string(server.port()) +
                              ";Database=postgres;Uid=" + server.user() + ";Pwd=wrong",
                          5),
              HasSubstr("password"));
}

TEST_F(PosixDatabaseTest, UnreachableServersFailWithinTheLoginTimeOut) {
  const LoopbackPort closed(false);
  const LoopbackPort silent(true);
  const std::string postgres =
      "Driver={PostgreSQL Unicode};Server=127.0.0.1;Database=d;Uid=u;"
      "Pwd=p;Port=";
  const std::string sql_server = "Provider=SQLOLEDB.1;User ID=u;Password=p;Data Source=127.0.0.1,";
  for (const std::string& text : {postgres + closed.port(), postgres + silent.port(),
                                  sql_server + closed.port(), sql_server + silent.port()}) {
    std::chrono::duration<double> took{};
    EXPECT_FALSE(OpenFailure(text, 2, &took).empty()) << text;
    EXPECT_LT(took.count(), 4.5) << text;
  }
}

TEST_F(PosixDatabaseTest, JetProviderReadsTheAccessFile) {
  TempFolder folder;
  const std::filesystem::path backup = folder.path() / "NarvelBackup_2024-01-02.mdb";
  WriteJetDatabase(JetDatabase{{JetTable("Services", {{"id", JetType::kLong}, {"name"}},
                                         {{int32_t(4), std::string("http")}})}},
                   backup);
  auto connection = Connect("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + backup.string() +
                            ";Persist Security Info=False");
  auto rows = OpenTable("Services", *connection);
  EXPECT_EQ(rows->GetFields().Item("name").GetValue(), Value(std::string("http")));
  EXPECT_THROW(connection->Execute("DELETE FROM Services"), RaisedError);
}

}  // namespace
}  // namespace toverak
