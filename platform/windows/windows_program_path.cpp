#include "platform/windows/windows_program_path.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace zovu {

std::string WindowsProgramPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  // Long paths can exceed MAX_PATH; a result that fills the buffer may have been cut.
  while (buffer.size() <= 32768) {
    const DWORD got = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) return {};
    if (got < buffer.size()) {
      buffer.resize(got);
      return Utf8FromWide(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

}  // namespace zovu
