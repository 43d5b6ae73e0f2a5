#include "platform/posix/connection_string.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "platform/error.h"

namespace toverak {
namespace {

// FreeTDS as Debian's tdsodbc registers it in /etc/odbcinst.ini.
constexpr char kFreeTdsDriver[] = "{FreeTDS}";
// The protocol of SQL Server 2008 and later. Left to itself FreeTDS tries one version after
// another and waits past any login time-out on a server that does not answer.
constexpr char kTdsVersion[] = "7.3";
constexpr char kSqlServerPort[] = "1433";
// This machine, for "." and "(local)".
constexpr char kLocalHost[] = "127.0.0.1";

// OLE DB's own initialization keywords, which mean nothing to an ODBC driver.
constexpr std::array<std::string_view, 17> kOleDbKeywords = {"Provider",
                                                             "Persist Security Info",
                                                             "Prompt",
                                                             "Connect Timeout",
                                                             "General Timeout",
                                                             "Mode",
                                                             "Locale Identifier",
                                                             "OLE DB Services",
                                                             "Window Handle",
                                                             "Location",
                                                             "Cache Authentication",
                                                             "Encrypt Password",
                                                             "Mask Password",
                                                             "Persist Encrypted",
                                                             "Protection Level",
                                                             "Impersonation Level",
                                                             "Bind Flags"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

RaisedError MalformedString(const std::string& why) {
  return RaisedError(
      "Format of the initialization string does not conform to the OLE DB "
      "specification: " +
      why);
}

// Reads one pair's value from `pos`, up to the ';' that ends it (which stays unread).
class ValueReader {
 public:
  ValueReader(const std::string& text, size_t& pos) : text_(text), pos_(pos) {}

  std::string Read() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && (text_[pos_] == '\'' || text_[pos_] == '"')) return Quoted();
    const size_t begin = pos_;
    // An ODBC-style {...} value may hold ';'; it is kept with its braces.
    if (pos_ < text_.size() && text_[pos_] == '{') SkipBraces();
    while (pos_ < text_.size() && text_[pos_] != ';') ++pos_;
    return Trim(std::string_view(text_).substr(begin, pos_ - begin));
  }

 private:
  std::string Quoted() {
    const char quote = text_[pos_++];
    std::string value;
    for (;;) {
      if (pos_ >= text_.size()) throw MalformedString("a quoted value is not closed");
      if (text_[pos_] == quote) {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == quote) {
          value += quote;
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      value += text_[pos_++];
    }
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] != ';') {
      throw MalformedString("text follows the closing quote of a value");
    }
    return value;
  }

  void SkipBraces() {
    for (++pos_; pos_ < text_.size(); ++pos_) {
      if (text_[pos_] != '}') continue;
      if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '}') {
        ++pos_;
        continue;
      }
      ++pos_;
      return;
    }
  }

  const std::string& text_;
  size_t& pos_;
};

// Reads a keyword from `pos` up to its '=' (consumed); "==" stands for '='. Nothing when the
// text ends or a ';' comes first, with `pos` on that ';'.
std::optional<std::string> ReadKeyword(const std::string& text, size_t& pos) {
  std::string keyword;
  while (pos < text.size() && text[pos] != ';') {
    if (text[pos] == '=') {
      if (pos + 1 < text.size() && text[pos + 1] == '=') {
        keyword += '=';
        pos += 2;
        continue;
      }
      ++pos;
      return Trim(keyword);
    }
    keyword += text[pos++];
  }
  if (!Trim(keyword).empty()) throw MalformedString("'" + Trim(keyword) + "' has no value");
  return std::nullopt;
}

enum class ProviderFamily { kAccess, kSqlServer, kOdbc, kOther };

ProviderFamily FamilyOf(std::string_view provider) {
  if (provider.empty()) return ProviderFamily::kOdbc;
  const std::string name = Lower(provider);
  const auto versioned = [&](std::string_view base) {
    return name == base || name.starts_with(std::string(base) + ".");
  };
  if (name.starts_with("microsoft.jet.oledb") || name.starts_with("microsoft.ace.oledb")) {
    return ProviderFamily::kAccess;
  }
  if (versioned("sqloledb") || name.starts_with("sqlncli") || name.starts_with("msoledbsql")) {
    return ProviderFamily::kSqlServer;
  }
  if (versioned("msdasql")) return ProviderFamily::kOdbc;
  return ProviderFamily::kOther;
}

// A value as an ODBC connection text carries it: in braces when it holds a separator, a brace
// or blanks at its ends; a value already in braces stays as written.
std::string OdbcValue(const std::string& value) {
  if (value.size() >= 2 && value.front() == '{' && value.back() == '}') return value;
  const bool plain = value.find_first_of(";{}") == std::string::npos &&
                     (value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back())));
  if (plain) return value;
  std::string braced = "{";
  for (char c : value) {
    braced += c;
    if (c == '}') braced += '}';
  }
  return braced + "}";
}

void Append(std::string& text, std::string_view keyword, const std::string& value) {
  if (!text.empty()) text += ';';
  text += keyword;
  text += '=';
  text += OdbcValue(value);
}

// Where a SQL Server data source points: "host", "host\instance", "host,port", "tcp:host".
struct SqlServerAddress {
  std::string host;
  std::string instance;
  std::string port;
};

SqlServerAddress ParseDataSource(const std::string& data_source) {
  SqlServerAddress address;
  std::string rest = data_source;
  if (StartsWithNoCase(rest, "tcp:")) rest = rest.substr(4);
  if (const size_t comma = rest.rfind(','); comma != std::string::npos) {
    address.port = Trim(std::string_view(rest).substr(comma + 1));
    rest = rest.substr(0, comma);
    int number = 0;
    const char* end = address.port.data() + address.port.size();
    const auto [stop, error] = std::from_chars(address.port.data(), end, number);
    if (error != std::errc() || stop != end || number < 1 || number > 65535) {
      throw RaisedError("The SQL Server data source '" + data_source +
                        "' does not give a valid port after its comma");
    }
  }
  if (const size_t slash = rest.find('\\'); slash != std::string::npos) {
    address.instance = Trim(std::string_view(rest).substr(slash + 1));
    rest = rest.substr(0, slash);
  }
  address.host = Trim(rest);
  if (address.host.empty() || address.host == "." || EqualsNoCase(address.host, "(local)")) {
    address.host = kLocalHost;
  }
  return address;
}

bool IsOneOfNoCase(const std::optional<std::string>& value,
                   std::initializer_list<std::string_view> choices) {
  if (!value) return false;
  const std::string trimmed = Trim(*value);
  return std::any_of(choices.begin(), choices.end(),
                     [&](std::string_view choice) { return EqualsNoCase(trimmed, choice); });
}

void RefuseWindowsLogon(const ConnectionProperties& properties) {
  if (IsOneOfNoCase(properties.Find("Integrated Security"), {"SSPI", "true", "yes"}) ||
      IsOneOfNoCase(properties.Find("Trusted_Connection"), {"yes", "true"})) {
    throw RaisedError(
        "The connection string asks for Windows authentication (Integrated Security), which "
        "FreeTDS cannot do on this machine without a Kerberos domain: store a SQL Server login "
        "(User ID and Password) in the connection string instead");
  }
}

std::string FreeTdsText(const ConnectionProperties& properties) {
  RefuseWindowsLogon(properties);
  const SqlServerAddress address = ParseDataSource(
      properties.FindAny({"Data Source", "Server", "Address", "Addr", "Network Address"})
          .value_or(""));
  std::string text = "Driver=" + std::string(kFreeTdsDriver);
  // FreeTDS refuses a port and an instance together; a port names the instance already.
  if (!address.port.empty() || address.instance.empty()) {
    Append(text, "Server", address.host);
    Append(text, "Port", address.port.empty() ? kSqlServerPort : address.port);
  } else {
    Append(text, "Server", address.host + "\\" + address.instance);
  }
  Append(text, "TDS_Version", kTdsVersion);
  Append(text, "ClientCharset", "UTF-8");
  if (auto database = properties.FindAny({"Initial Catalog", "Database"})) {
    Append(text, "Database", *database);
  }
  if (auto user = properties.FindAny({"User ID", "UID", "User"})) Append(text, "UID", *user);
  if (auto password = properties.FindAny({"Password", "PWD"})) Append(text, "PWD", *password);
  return text;
}

bool IsOleDbKeyword(std::string_view keyword) {
  return std::any_of(kOleDbKeywords.begin(), kOleDbKeywords.end(),
                     [&](std::string_view own) { return EqualsNoCase(keyword, own); });
}

// The ODBC keyword that an OLE DB keyword stands for with MSDASQL; the keyword itself otherwise.
std::string_view OdbcKeyword(std::string_view keyword) {
  if (EqualsNoCase(keyword, "Data Source")) return "DSN";
  if (EqualsNoCase(keyword, "User ID")) return "UID";
  if (EqualsNoCase(keyword, "Password")) return "PWD";
  if (EqualsNoCase(keyword, "Initial Catalog")) return "DATABASE";
  return keyword;
}

std::string DriverManagerText(const ConnectionProperties& properties) {
  std::string text;
  for (const ConnectionProperty& property : properties.all()) {
    if (IsOleDbKeyword(property.keyword)) continue;
    if (EqualsNoCase(property.keyword, "Extended Properties")) {
      // MSDASQL's place for a whole ODBC connection text.
      std::string extended = Trim(property.value);
      while (!extended.empty() && extended.back() == ';') extended.pop_back();
      if (extended.empty()) continue;
      if (!text.empty()) text += ';';
      text += extended;
      continue;
    }
    const std::string_view keyword = OdbcKeyword(property.keyword);
    // The ODBC keyword given as well wins over its OLE DB name.
    if (keyword != property.keyword && properties.Find(keyword)) continue;
    Append(text, keyword, property.value);
  }
  return text;
}

}  // namespace

ConnectionProperties ConnectionProperties::Parse(const std::string& text) {
  ConnectionProperties properties;
  size_t pos = 0;
  while (pos < text.size()) {
    if (std::optional<std::string> keyword = ReadKeyword(text, pos)) {
      if (keyword->empty()) throw MalformedString("a value has no keyword");
      properties.Set(std::move(*keyword), ValueReader(text, pos).Read());
    }
    ++pos;  // the ';' after the pair, or past the end
  }
  return properties;
}

void ConnectionProperties::Set(std::string keyword, std::string value) {
  for (ConnectionProperty& property : properties_) {
    if (EqualsNoCase(property.keyword, keyword)) {
      property.value = std::move(value);
      return;
    }
  }
  properties_.push_back({std::move(keyword), std::move(value)});
}

std::optional<std::string> ConnectionProperties::Find(std::string_view keyword) const {
  for (const ConnectionProperty& property : properties_) {
    if (EqualsNoCase(property.keyword, keyword)) return property.value;
  }
  return std::nullopt;
}

std::optional<std::string> ConnectionProperties::FindAny(
    std::initializer_list<std::string_view> keywords) const {
  for (std::string_view keyword : keywords) {
    if (auto value = Find(keyword)) return value;
  }
  return std::nullopt;
}

BackendTarget TranslateConnectionString(const std::string& text) {
  const ConnectionProperties properties = ConnectionProperties::Parse(text);
  const std::string provider = properties.Find("Provider").value_or("");
  switch (FamilyOf(provider)) {
    case ProviderFamily::kAccess: {
      const std::string path = properties.Find("Data Source").value_or("");
      if (path.empty())
        throw RaisedError("The connection string names no Access file (Data Source)");
      return {BackendTarget::Kind::kAccess, path};
    }
    case ProviderFamily::kSqlServer:
      return {BackendTarget::Kind::kOdbc, FreeTdsText(properties)};
    case ProviderFamily::kOdbc:
      return {BackendTarget::Kind::kOdbc, DriverManagerText(properties)};
    case ProviderFamily::kOther:
      break;
  }
  throw RaisedError("Provider cannot be found: '" + provider +
                    "' is not available on this platform, which has Microsoft.Jet.OLEDB and "
                    "Microsoft.ACE.OLEDB for Access files, SQLOLEDB, SQLNCLI and MSOLEDBSQL for "
                    "SQL Server, and MSDASQL for ODBC");
}

}  // namespace toverak
