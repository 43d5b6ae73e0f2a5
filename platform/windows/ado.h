// The few ADO interfaces that the program calls, declared early-bound with the interface ids of
// ADO 2.x, which every ADO since answers to. Each interface lists its methods in vtable order up
// to the last one that the program calls; methods that it never calls keep their slot with
// pointer-sized placeholders for arguments that ADO declares as enums or LONG_PTR.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace toverak::adodb {

inline constexpr CLSID kConnectionClass = {
    0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr CLSID kRecordsetClass = {
    0x00000535, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID kConnectionInterface = {
    0x00000550, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
inline constexpr IID kRecordsetInterface = {
    0x00000556, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

// adOptionUnspecified: the options argument left to the object.
inline constexpr LONG kOptionUnspecified = -1;

// _ADOCollection: the base of Errors and Fields.
struct Collection : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** enumerator) = 0;
  virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
};

struct Errors : Collection {};

// _ADO: the base of Connection, Recordset and Field.
struct Object : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Properties(IDispatch** properties) = 0;
};

struct Field : Object {
  virtual HRESULT STDMETHODCALLTYPE get_ActualSize(void* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(LONG* attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefinedSize(void* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Type(LONG* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) = 0;
};

struct Fields : Collection {
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, Field** field) = 0;
};

struct Recordset : Object {
  virtual HRESULT STDMETHODCALLTYPE get_AbsolutePosition(void* position) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AbsolutePosition(void* position) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* bof) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bookmark(VARIANT* bookmark) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Bookmark(VARIANT bookmark) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CacheSize(LONG* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CacheSize(LONG size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorType(LONG* cursor_type) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorType(LONG cursor_type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* eof) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Fields(Fields** fields) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LockType(LONG* lock_type) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LockType(LONG lock_type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MaxRecords(void* max_records) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MaxRecords(void* max_records) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RecordCount(void* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Source(IDispatch* command) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Source(BSTR source) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Source(VARIANT* source) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddNew(VARIANT field_list, VARIANT values) = 0;
  virtual HRESULT STDMETHODCALLTYPE CancelUpdate() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(LONG affect) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRows(LONG rows, VARIANT start, VARIANT fields,
                                            VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Move(void* records, VARIANT start) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveNext() = 0;
  virtual HRESULT STDMETHODCALLTYPE MovePrevious() = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveFirst() = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveLast() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(VARIANT source, VARIANT active_connection,
                                         LONG cursor_type, LONG lock_type, LONG options) = 0;
  virtual HRESULT STDMETHODCALLTYPE Requery(LONG options) = 0;
  virtual HRESULT STDMETHODCALLTYPE _xResync(LONG affect) = 0;
  virtual HRESULT STDMETHODCALLTYPE Update(VARIANT fields, VARIANT values) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AbsolutePage(void* page) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AbsolutePage(void* page) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EditMode(void* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Filter(VARIANT criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PageCount(void* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PageSize(LONG* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PageSize(LONG size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Sort(BSTR* criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Sort(BSTR criteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(LONG* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG* state) = 0;
};

struct Connection : Object {
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionString(BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionString(BSTR text) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG* seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(LONG* seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Execute(BSTR command_text, VARIANT* records_affected,
                                            LONG options, Recordset** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginTrans(LONG* level) = 0;
  virtual HRESULT STDMETHODCALLTYPE CommitTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE RollbackTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(BSTR connection_string, BSTR user_id, BSTR password,
                                         LONG options) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Errors(Errors** errors) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultDatabase(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefaultDatabase(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsolationLevel(void* level) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsolationLevel(LONG level) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(LONG* attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(LONG attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorLocation(void* location) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorLocation(LONG location) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Mode(void* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Mode(LONG mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Provider(BSTR* provider) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Provider(BSTR provider) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG* state) = 0;
};

}  // namespace toverak::adodb
