#include "platform/windows/windows_text.h"

#include <oleauto.h>

#include "platform/error.h"

namespace toverak {
namespace {

std::wstring WideFrom(UINT code_page, const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), nullptr, 0);
  if (length <= 0)
    throw RaisedError("The text cannot be converted: " + SystemMessage(GetLastError()));
  std::wstring wide(size_t(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), wide.data(), length);
  return wide;
}

std::string NarrowFrom(UINT code_page, const wchar_t* text, size_t size) {
  if (size == 0) return {};
  const int length =
      WideCharToMultiByte(code_page, 0, text, int(size), nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    throw RaisedError("The text cannot be converted: " + SystemMessage(GetLastError()));
  std::string narrow(size_t(length), '\0');
  WideCharToMultiByte(code_page, 0, text, int(size), narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::wstring WideFromUtf8(const std::string& text) { return WideFrom(CP_UTF8, text); }

std::string Utf8FromWide(const wchar_t* text, size_t length) {
  return NarrowFrom(CP_UTF8, text, length);
}

std::string Utf8FromWide(const std::wstring& text) {
  return Utf8FromWide(text.data(), text.size());
}

std::string AnsiFromUtf8(const std::string& text) {
  const std::wstring wide = WideFromUtf8(text);
  return NarrowFrom(CP_ACP, wide.data(), wide.size());
}

std::string Utf8FromAnsi(const std::string& text) { return Utf8FromWide(WideFrom(CP_ACP, text)); }

std::string SystemMessage(DWORD code) {
  wchar_t* message = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length == 0) return {};
  std::wstring text(message, length);
  LocalFree(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return Utf8FromWide(text);
}

Bstr::Bstr(const std::string& text) {
  const std::wstring wide = WideFromUtf8(text);
  text_ = SysAllocStringLen(wide.data(), UINT(wide.size()));
  if (!text_) throw RaisedError("Out of memory");
}

Bstr::~Bstr() { SysFreeString(text_); }

BSTR* Bstr::Receive() {
  SysFreeString(text_);
  text_ = nullptr;
  return &text_;
}

std::string Bstr::Utf8() const { return text_ ? Utf8FromWide(text_, SysStringLen(text_)) : ""; }

}  // namespace toverak
