// Texts between the program's UTF-8 and the encodings of Windows: UTF-16 (COM and the wide
// calls) and the ANSI code page (the "A" calls and the run log).
#pragma once

#include <windows.h>

#include <string>

namespace toverak {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const wchar_t* text, size_t length);
std::string Utf8FromWide(const std::wstring& text);

// Characters that the ANSI code page lacks become its default character.
std::string AnsiFromUtf8(const std::string& text);
std::string Utf8FromAnsi(const std::string& text);

// The system's message for a Windows error code or HRESULT, without the trailing line end;
// empty when the system has none.
std::string SystemMessage(DWORD code);

// A BSTR that frees itself.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr();

  BSTR get() const { return text_; }
  // The address to receive a BSTR that a call allocates; frees the one held before.
  BSTR* Receive();
  std::string Utf8() const;

 private:
  BSTR text_ = nullptr;
};

}  // namespace toverak
