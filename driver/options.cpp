#include "driver/options.h"

#include "driver/save_settings.h"

namespace zovu {
namespace {

constexpr std::string_view kInvalidOption =
    "Invalid option specified, run ZOVU for list of valid options";

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string GetOption(const Parameters& params, std::size_t n) {
  for (const std::string& param : params) {
    if (!param.empty() && param.front() == '-' && --n == 0) return param.substr(1);
  }
  return {};
}

std::string GetParameter(const Parameters& params, std::size_t n) {
  for (const std::string& param : params) {
    if ((param.empty() || param.front() != '-' || param.size() == 1) && --n == 0) return param;
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

std::optional<int> ProcessOptions(const Parameters& params, ConfigBlock& block, Environment& env) {
  for (std::size_t i = 1; i <= params.size(); ++i) {
    // Only the letter and the character after it matter; the blank stands in for that
    // character when the option is a bare letter.
    std::string text = GetOption(params, i);
    for (char& c : text) c = AsciiUpper(c);
    text += ' ';
    const auto letter = static_cast<unsigned char>(text[0]);
    if (letter == ' ') return std::nullopt;  // no more options, or a lone "-"
    switch (letter) {
      case 'S':
        SetSwitch(block.SubDirs, text[1]);
        break;
      case 'T':
        SetSwitch(block.TotalSizes, text[1]);
        break;
      case 'W':
        return SaveSettings(block, env);
      default:
        return env.console.ReportProblem(kInvalidOption);
    }
  }
  return std::nullopt;
}

}  // namespace zovu
