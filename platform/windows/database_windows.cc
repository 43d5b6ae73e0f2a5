// The database objects through ADO over COM, early-bound.
#include <windows.h>

#include <map>
#include <vector>

#include "platform/error.h"
#include "platform/windows/ado.h"
#include "platform/windows/variant_value.h"
#include "platform/windows/windows_env.h"
#include "platform/windows/windows_text.h"

namespace toverak {
namespace {

// Holds one reference to a COM object.
template <class Interface>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference that a call handed out.
  explicit ComPtr(Interface* adopted) : object_(adopted) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (object_) object_->Release();
  }

  Interface* get() const { return object_; }
  Interface* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // The address to receive a reference that a call hands over; releases the one held before.
  Interface** Receive() {
    if (object_) object_->Release();
    object_ = nullptr;
    return &object_;
  }

 private:
  Interface* object_ = nullptr;
};

std::string HresultText(HRESULT result) {
  char code[16];
  wsprintfA(code, "0x%08lX", static_cast<unsigned long>(result));
  return code;
}

// The description that the failing object or its provider left for the thread, or else a text
// that names the operation and the HRESULT.
[[noreturn]] void RaiseComError(HRESULT result, const char* operation) {
  std::string description;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    Bstr text;
    if (SUCCEEDED(info->GetDescription(text.Receive()))) description = text.Utf8();
    info->Release();
  }
  if (description.empty()) {
    description = std::string(operation) + " failed (" + HresultText(result) + ")";
    const std::string message = SystemMessage(DWORD(result));
    if (!message.empty()) description += ": " + message;
  }
  throw RaisedError(description);
}

void Check(HRESULT result, const char* operation) {
  if (FAILED(result)) RaiseComError(result, operation);
}

template <class Interface>
void CreateObject(const CLSID& object_class, const IID& interface_id, ComPtr<Interface>& object,
                  const char* operation) {
  Check(CoCreateInstance(object_class, nullptr, CLSCTX_INPROC_SERVER, interface_id,
                         reinterpret_cast<void**>(object.Receive())),
        operation);
}

VARIANT IndexVariant(int32_t position) {
  VARIANT index;
  VariantInit(&index);
  V_VT(&index) = VT_I4;
  V_I4(&index) = position;
  return index;
}

class WindowsField : public Field {
 public:
  WindowsField(adodb::Fields& fields, const VARIANT& index) {
    Check(fields.get_Item(index, field_.Receive()), "Fields.Item");
  }

  std::string Name() const override {
    Bstr name;
    Check(field_->get_Name(name.Receive()), "Field.Name");
    return name.Utf8();
  }

  int32_t Type() const override {
    LONG type = 0;
    Check(field_->get_Type(&type), "Field.Type");
    return type;
  }

  Value GetValue() const override {
    Variant value;
    Check(field_->get_Value(value.Receive()), "Field.Value");
    return ValueFromVariant(value.get());
  }

 private:
  ComPtr<adodb::Field> field_;
};

// The field objects stay with the collection, so that the references handed out stay valid for
// as long as the recordset lives; each reads the value of the current row when asked.
class WindowsFields : public Fields {
 public:
  explicit WindowsFields(adodb::Recordset& recordset) {
    Check(recordset.get_Fields(fields_.Receive()), "Recordset.Fields");
  }

  int32_t Count() const override {
    LONG count = 0;
    Check(fields_->get_Count(&count), "Fields.Count");
    return count;
  }

  const Field& Item(int32_t position) const override {
    auto& field = by_position_[position];
    if (!field) field = std::make_unique<WindowsField>(*fields_.get(), IndexVariant(position));
    return *field;
  }

  const Field& Item(const std::string& name) const override {
    auto& field = by_name_[name];
    if (!field) {
      const Variant index(VariantFromValue(name));
      field = std::make_unique<WindowsField>(*fields_.get(), index.get());
    }
    return *field;
  }

 private:
  ComPtr<adodb::Fields> fields_;
  mutable std::map<int32_t, std::unique_ptr<WindowsField>> by_position_;
  mutable std::map<std::string, std::unique_ptr<WindowsField>> by_name_;
};

class WindowsRecordset : public Recordset {
 public:
  WindowsRecordset() {
    CreateObject(adodb::kRecordsetClass, adodb::kRecordsetInterface, recordset_,
                 "Creating an ADO Recordset");
  }
  // Takes over the recordset that a statement returned; a provider that returns none gets a
  // closed one in its place.
  explicit WindowsRecordset(adodb::Recordset* returned) : recordset_(returned) {
    if (!recordset_) {
      CreateObject(adodb::kRecordsetClass, adodb::kRecordsetInterface, recordset_,
                   "Creating an ADO Recordset");
    }
  }

  void SetCursorType(int32_t cursor_type) override {
    Check(recordset_->put_CursorType(cursor_type), "Recordset.CursorType");
  }

  void SetLockType(int32_t lock_type) override {
    Check(recordset_->put_LockType(lock_type), "Recordset.LockType");
  }

  void Open(const std::string& source, Connection& connection, int32_t cursor_type,
            int32_t lock_type, int32_t options) override;

  bool Eof() const override {
    VARIANT_BOOL eof = VARIANT_FALSE;
    Check(recordset_->get_EOF(&eof), "Recordset.EOF");
    return eof != VARIANT_FALSE;
  }

  void MoveNext() override { Check(recordset_->MoveNext(), "Recordset.MoveNext"); }

  int32_t State() const override {
    LONG state = 0;
    Check(recordset_->get_State(&state), "Recordset.State");
    return state;
  }

  void Close() override { Check(recordset_->Close(), "Recordset.Close"); }

  const Fields& GetFields() const override {
    if (!fields_) fields_ = std::make_unique<WindowsFields>(*recordset_.get());
    return *fields_;
  }

 private:
  ComPtr<adodb::Recordset> recordset_;
  mutable std::unique_ptr<WindowsFields> fields_;
};

class WindowsConnection : public Connection {
 public:
  WindowsConnection() {
    CreateObject(adodb::kConnectionClass, adodb::kConnectionInterface, connection_,
                 "Creating an ADO Connection");
  }

  void SetConnectionString(const std::string& text) override {
    const Bstr value(text);
    Check(connection_->put_ConnectionString(value.get()), "Connection.ConnectionString");
    connection_string_ = text;
  }

  void SetConnectionTimeout(int32_t seconds) override {
    Check(connection_->put_ConnectionTimeout(seconds), "Connection.ConnectionTimeout");
  }

  // Hands the connection string to Open as well: ADO takes it as the ConnectionString that was
  // set, and some implementations of ADO (Wine's) read it only from there.
  void Open() override {
    const Bstr text(connection_string_);
    Check(connection_->Open(text.get(), nullptr, nullptr, adodb::kOptionUnspecified),
          "Connection.Open");
  }

  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    const Bstr text(statement);
    adodb::Recordset* result = nullptr;
    Check(connection_->Execute(text.get(), nullptr, adodb::kOptionUnspecified, &result),
          "Connection.Execute");
    return std::make_unique<WindowsRecordset>(result);
  }

  int32_t ErrorsCount() const override {
    ComPtr<adodb::Errors> errors;
    Check(connection_->get_Errors(errors.Receive()), "Connection.Errors");
    LONG count = 0;
    Check(errors->get_Count(&count), "Errors.Count");
    return count;
  }

  int32_t State() const override {
    LONG state = 0;
    Check(connection_->get_State(&state), "Connection.State");
    return state;
  }

  void Close() override { Check(connection_->Close(), "Connection.Close"); }

  // The connection as a recordset's ActiveConnection takes it.
  IDispatch* Dispatch() const { return connection_.get(); }

 private:
  ComPtr<adodb::Connection> connection_;
  std::string connection_string_;
};

void WindowsRecordset::Open(const std::string& source, Connection& connection, int32_t cursor_type,
                            int32_t lock_type, int32_t options) {
  const auto* active = dynamic_cast<const WindowsConnection*>(&connection);
  if (!active) throw RaisedError("The recordset's connection is not an ADO connection");
  const Variant source_text(VariantFromValue(source));
  Variant active_connection;
  active->Dispatch()->AddRef();
  V_DISPATCH(&active_connection.get()) = active->Dispatch();
  V_VT(&active_connection.get()) = VT_DISPATCH;
  fields_.reset();
  Check(
      recordset_->Open(source_text.get(), active_connection.get(), cursor_type, lock_type, options),
      "Recordset.Open");
}

class WindowsDatabase : public Database {
 public:
  WindowsDatabase()
      : com_initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  WindowsDatabase(const WindowsDatabase&) = delete;
  WindowsDatabase& operator=(const WindowsDatabase&) = delete;
  ~WindowsDatabase() override {
    if (com_initialised_) CoUninitialize();
  }

  std::unique_ptr<Connection> NewConnection() override {
    return std::make_unique<WindowsConnection>();
  }

  std::unique_ptr<Recordset> NewRecordset() override {
    return std::make_unique<WindowsRecordset>();
  }

 private:
  const bool com_initialised_;
};

}  // namespace

std::unique_ptr<Database> NewWindowsDatabase() { return std::make_unique<WindowsDatabase>(); }

}  // namespace toverak
