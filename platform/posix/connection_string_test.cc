#include "platform/posix/connection_string.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"

namespace toverak {
namespace {

using ::testing::HasSubstr;

std::string OdbcText(const std::string& connection_string) {
  const BackendTarget target = TranslateConnectionString(connection_string);
  EXPECT_EQ(target.kind, BackendTarget::Kind::kOdbc);
  return target.text;
}

std::string ErrorOf(const std::string& connection_string) {
  try {
    TranslateConnectionString(connection_string);
  } catch (const RaisedError& error) {
    return error.Description();
  }
  ADD_FAILURE() << "no error for " << connection_string;
  return "";
}

TEST(ConnectionProperties, ReadsKeywordsAndValuesAsAdoDoes) {
  const ConnectionProperties properties = ConnectionProperties::Parse(
      "  provider = SQLOLEDB.1 ;;Password='it''s;secret' ; User ID=\"say \"\"hi\"\"\";"
      "Data Source=first;data source=last;Driver={odd;name};a==b=c;");
  EXPECT_EQ(properties.Find("PROVIDER"), "SQLOLEDB.1");
  EXPECT_EQ(properties.Find("password"), "it's;secret");
  EXPECT_EQ(properties.Find("User ID"), "say \"hi\"");
  EXPECT_EQ(properties.Find("Data Source"), "last");
  EXPECT_EQ(properties.Find("Driver"), "{odd;name}");
  EXPECT_EQ(properties.Find("a=b"), "c");
  EXPECT_EQ(properties.Find("Initial Catalog"), std::nullopt);
  // The last duplicate keeps the place of the first.
  ASSERT_EQ(properties.all().size(), 6u);
  EXPECT_EQ(properties.all()[3].keyword, "Data Source");
}

TEST(ConnectionProperties, RefusesMalformedStrings) {
  for (const char* text :
       {"Provider=SQLOLEDB;Secret", "Password='open", "Password='a' b", "=value"}) {
    EXPECT_THROW(ConnectionProperties::Parse(text), RaisedError) << text;
  }
  EXPECT_TRUE(ConnectionProperties::Parse("").all().empty());
  EXPECT_TRUE(ConnectionProperties::Parse(" ; ;").all().empty());
}

TEST(TranslateConnectionString, SqlServerProvidersGoToFreeTds) {
  EXPECT_EQ(OdbcText("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=narvel;"
                     "Password=pw;Initial Catalog=NarvelDB;Data Source=SRV01\\SQLEXPRESS"),
            "Driver={FreeTDS};Server=SRV01\\SQLEXPRESS;TDS_Version=7.3;ClientCharset=UTF-8;"
            "Database=NarvelDB;UID=narvel;PWD=pw");
  EXPECT_EQ(OdbcText("Provider=SQLNCLI11;Server=tcp:10.0.0.5,1500;Database=N;UID=u;PWD=p"),
            "Driver={FreeTDS};Server=10.0.0.5;Port=1500;TDS_Version=7.3;ClientCharset=UTF-8;"
            "Database=N;UID=u;PWD=p");
  // A port names the instance already: FreeTDS refuses both.
  EXPECT_EQ(OdbcText("Provider=MSOLEDBSQL19;Data Source=db\\INST,1433;User ID=u"),
            "Driver={FreeTDS};Server=db;Port=1433;TDS_Version=7.3;ClientCharset=UTF-8;UID=u");
}

TEST(TranslateConnectionString, LocalServerNamesMeanThisMachine) {
  for (const char* source : {".", "(local)", "(LOCAL)", ""}) {
    EXPECT_THAT(OdbcText(std::string("Provider=SQLOLEDB;Data Source=") + source),
                HasSubstr("Server=127.0.0.1;Port=1433;"))
        << source;
  }
  EXPECT_THAT(OdbcText("Provider=SQLOLEDB"), HasSubstr("Server=127.0.0.1;Port=1433;"));
  EXPECT_THAT(OdbcText("Provider=SQLOLEDB;Data Source=.\\SQLEXPRESS"),
              HasSubstr("Server=127.0.0.1\\SQLEXPRESS;TDS"));
}

TEST(TranslateConnectionString, PasswordsWithSeparatorsAreBraced) {
  EXPECT_THAT(OdbcText("Provider=SQLOLEDB;Data Source=h;Password='a;b}c'"),
              HasSubstr(";PWD={a;b}}c}"));
  EXPECT_THAT(OdbcText("Provider=SQLOLEDB;Data Source=h;Password=' lead'"),
              HasSubstr(";PWD={ lead}"));
}

TEST(TranslateConnectionString, WindowsAuthenticationIsAClearError) {
  for (const char* text : {"Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=N;"
                           "Data Source=SRV01",
                           "Provider=SQLNCLI;Server=s;Trusted_Connection=yes",
                           "Provider=SQLOLEDB;Integrated Security=true;Data Source=s"}) {
    EXPECT_THAT(ErrorOf(text), HasSubstr("Windows authentication")) << text;
  }
  EXPECT_THAT(OdbcText("Provider=SQLOLEDB;Integrated Security=False;Data Source=s;User ID=u"),
              HasSubstr("UID=u"));
}

TEST(TranslateConnectionString, BadPortIsAnError) {
  EXPECT_THAT(ErrorOf("Provider=SQLOLEDB;Data Source=host,http"), HasSubstr("port"));
  EXPECT_THAT(ErrorOf("Provider=SQLOLEDB;Data Source=host,70000"), HasSubstr("port"));
}

TEST(TranslateConnectionString, OdbcKeywordsPassUnchangedWithoutOleDbOnes) {
  EXPECT_EQ(OdbcText("Provider=MSDASQL.1;Persist Security Info=False;Data Source=NarvelDSN;"
                     "User ID=narvel;Password=pw"),
            "DSN=NarvelDSN;UID=narvel;PWD=pw");
  EXPECT_EQ(OdbcText("Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;"
                     "Database=narvel;Uid=u;Pwd=p;Connect Timeout=30"),
            "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=narvel;Uid=u;Pwd=p");
  EXPECT_EQ(OdbcText("Driver={SQLite3};Database=/var/lib/narvel/live.db"),
            "Driver={SQLite3};Database=/var/lib/narvel/live.db");
  EXPECT_EQ(OdbcText("Provider=MSDASQL;Extended Properties=\"DSN=Live;UID=u;\";Password=p"),
            "DSN=Live;UID=u;PWD=p");
  // An ODBC keyword given beside its OLE DB name wins.
  EXPECT_EQ(OdbcText("DSN=Real;Data Source=Other;Mode=Read"), "DSN=Real");
}

TEST(TranslateConnectionString, JetAndAceOpenTheAccessFile) {
  const BackendTarget jet = TranslateConnectionString(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/narvel/NarvelBackup_2024-01-02.mdb;"
      "Persist Security Info=False");
  EXPECT_EQ(jet.kind, BackendTarget::Kind::kAccess);
  EXPECT_EQ(jet.text, "/opt/narvel/NarvelBackup_2024-01-02.mdb");
  const BackendTarget ace =
      TranslateConnectionString("Provider=Microsoft.ACE.OLEDB.12.0;Data Source='/a b/c.accdb'");
  EXPECT_EQ(ace.kind, BackendTarget::Kind::kAccess);
  EXPECT_EQ(ace.text, "/a b/c.accdb");
  EXPECT_THAT(ErrorOf("Provider=Microsoft.Jet.OLEDB.4.0"), HasSubstr("Data Source"));
}

TEST(TranslateConnectionString, UnknownProviderIsNamed) {
  EXPECT_THAT(ErrorOf("Provider=OraOLEDB.Oracle;Data Source=ORCL"), HasSubstr("'OraOLEDB.Oracle'"));
  EXPECT_THAT(ErrorOf("Provider=SQLOLEDBX;Data Source=h"), HasSubstr("'SQLOLEDBX'"));
}

}  // namespace
}  // namespace toverak
