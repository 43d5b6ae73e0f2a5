// ADO connection strings, read the way ADO reads them, and what they mean on this platform:
// an Access file, or a connection text for the ODBC driver manager.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace toverak {

// One `keyword=value` pair: blanks around both trimmed, quotes of the value removed.
struct ConnectionProperty {
  std::string keyword;
  std::string value;
};

// The pairs of an ADO connection string, in the order in which their keywords first appear.
class ConnectionProperties {
 public:
  // Reads `text`: pairs separated by ';', a value in '...' or "..." quotes (a quote doubled
  // inside stands for one), "==" in a keyword for '='; a keyword given twice keeps its last
  // value. Throws RaisedError on a pair without '=' or an unclosed quote.
  static ConnectionProperties Parse(const std::string& text);

  // The value of `keyword`, looked up without regard to case.
  std::optional<std::string> Find(std::string_view keyword) const;
  // The value of the first of `keywords` that is present.
  std::optional<std::string> FindAny(std::initializer_list<std::string_view> keywords) const;
  const std::vector<ConnectionProperty>& all() const { return properties_; }

 private:
  void Set(std::string keyword, std::string value);
  std::vector<ConnectionProperty> properties_;
};

// What a connection string opens on this platform.
struct BackendTarget {
  enum class Kind { kAccess, kOdbc };
  Kind kind;
  // The Access file's path, or the connection text for the ODBC driver manager.
  std::string text;
};

// Translates an ADO connection string by its Provider: Jet and ACE open an Access file; the SQL
// Server providers (SQLOLEDB, SQLNCLI, MSOLEDBSQL, any version suffix) go to FreeTDS; MSDASQL or
// no Provider hand the remaining keywords to the ODBC driver manager. Throws RaisedError naming
// any other provider, and for Windows authentication, which FreeTDS cannot do here.
BackendTarget TranslateConnectionString(const std::string& text);

}  // namespace toverak
