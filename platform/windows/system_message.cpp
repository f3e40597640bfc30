#include "platform/windows/system_message.h"

#include <windows.h>

#include <string_view>

#include "platform/windows/wide_text.h"

namespace zovu {

std::string SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (length > 0 && text != nullptr) {
    std::wstring_view words(text, length);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                              words.back() == L'.' || words.back() == L' ')) {
      words.remove_suffix(1);
    }
    message = Utf8FromWide(words);
  }
  if (text != nullptr) LocalFree(text);
  if (message.empty()) message = "system error " + std::to_string(error);
  return message;
}

}  // namespace zovu
