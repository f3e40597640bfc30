#include "driver/options.h"

#include "driver/long_options.h"
#include "driver/save_settings.h"
#include "support/ascii.h"

namespace zovu {
namespace {

constexpr std::string_view kInvalidOption =
    "Invalid option specified, run ZOVU for list of valid options";

}  // namespace

bool IsPlainParameter(std::string_view param) {
  return param.empty() || param.front() != '-' || param.size() == 1;
}

std::string GetParameter(const Parameters& params, std::size_t n) {
  for (const std::string& param : params) {
    if (IsPlainParameter(param) && --n == 0) return param;
  }
  return {};
}

bool SetSwitch(std::uint8_t& value, char c) {
  switch (c) {
    case ' ':
      value = value != 0 ? 0 : 1;
      return true;
    case '+':
      value = 1;
      return true;
    case '-':
      value = 0;
      return true;
    default:
      return false;
  }
}

std::optional<int> ProcessOptions(const Parameters& params, ConfigBlock& block, RunOptions& options,
                                  Environment& env) {
  // One pass over the parameters: each option is looked at once, in its place.
  for (const std::string& param : params) {
    if (param.empty() || param.front() != '-') continue;
    if (param.starts_with("--")) {
      if (const auto status = ReadLongOption(param, block, options, env.console)) return status;
      continue;
    }
    // Only the letter and the character after it matter, in upper case; the blank
    // stands in for a character that is not there.
    const char letter = param.size() > 1 ? AsciiUpper(param[1]) : ' ';
    const char next = param.size() > 2 ? AsciiUpper(param[2]) : ' ';
    switch (letter) {
      case ' ':
        return std::nullopt;  // a lone "-", or an option that begins with a blank
      case 'S':
        SetSwitch(block.SubDirs, next);
        break;
      case 'T':
        SetSwitch(block.TotalSizes, next);
        break;
      case 'W':
        return SaveSettings(block, env);
      default:
        return env.console.ReportProblem(kInvalidOption);
    }
  }
  return CheckLongOptions(options, env.console);
}

}  // namespace zovu
