#include "driver/ignored_parameters.h"

#include <cstddef>
#include <string>

namespace zovu {

void NoteIgnoredParameters(const Parameters& params, Environment& env) {
  std::size_t plain = 0;
  for (const std::string& param : params) plain += IsPlainParameter(param) ? 1 : 0;
  if (plain < 2 || env.notes == nullptr) return;
  const std::size_t ignored = plain - 1;
  std::string line = "Note: " + std::to_string(ignored) +
                     (ignored == 1 ? " parameter after the search argument was ignored"
                                   : " parameters after the search argument were ignored") +
                     "; quote masks, as in '*.h', so that the shell does not expand them";
  line += env.console.LineEnd();
  env.notes->Write(line);
}

}  // namespace zovu
