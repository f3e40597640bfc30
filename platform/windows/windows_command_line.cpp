#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "platform/command_line.h"
#include "platform/windows/wide_text.h"

namespace zovu {

std::vector<std::string> CommandLineParameters(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    if (argc <= 1) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
  }
  std::vector<std::string> params;
  for (int i = 1; i < count; ++i) params.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return params;
}

std::string ProgramFileFromName(const std::string& name) {
  return name;  // the system always tells the program's own file
}

}  // namespace zovu
