#include "driver/long_options.h"

#include <string>

#include "driver/thread_count.h"
#include "driver/usage.h"

namespace zovu {
namespace {

// The problem of an option that is not one, or whose value is not one of its values.
int InvalidOption(Console& console, std::string_view param, std::string_view wanted = {}) {
  std::string message = "Invalid option specified: ";
  message += param;
  if (!wanted.empty()) {
    message += " (";
    message += wanted;
    message += ')';
  }
  message += ", run ZOVU for list of valid options";
  return console.ReportProblem(message);
}

template <typename T>
struct Choice {
  std::string_view word;
  T value;
};

// The value whose word is text, exactly.
template <typename T, std::size_t N>
std::optional<T> Choose(std::string_view text, const Choice<T> (&choices)[N]) {
  for (const Choice<T>& choice : choices) {
    if (choice.word == text) return choice.value;
  }
  return std::nullopt;
}

constexpr Choice<ReportFormat> kFormats[] = {{"box", ReportFormat::kBox},
                                             {"list", ReportFormat::kList},
                                             {"csv", ReportFormat::kCsv},
                                             {"json", ReportFormat::kJson}};
constexpr Choice<RowOrder> kOrders[] = {
    {"extension", RowOrder::kExtension}, {"files", RowOrder::kFiles}, {"bytes", RowOrder::kBytes}};
constexpr Choice<KeyRule> kKeyRules[] = {{"3", KeyRule::kThreeCharacters},
                                         {"full", KeyRule::kWholeExtension}};

int PrintHelp(const ConfigBlock& block, Console& console) {
  PrintUsage(console, block.SubDirs != 0);
  PrintLongOptions(console);
  console.WriteLine("       The whole manual: man zovu");
  return console.FinishReport(kExitOk);
}

int PrintVersion(Console& console) {
  console.WriteLine(std::string("zovu ") + ZOVU_VERSION);
  console.WriteLine("Copyright (c) 2026 ZOVU developers; released under the MIT License");
  return console.FinishReport(kExitOk);
}

}  // namespace

std::optional<int> ReadLongOption(std::string_view param, const ConfigBlock& block,
                                  RunOptions& options, Console& console) {
  if (param == "--help") return PrintHelp(block, console);
  if (param == "--version") return PrintVersion(console);
  if (param == "--one-file-system") {
    options.oneFileSystem = true;
    return std::nullopt;
  }
  if (param == "--disk-usage") {
    options.diskUsage = true;
    return std::nullopt;
  }
  const std::size_t equals = param.find('=');
  const std::string_view name = param.substr(0, equals);
  const std::string_view value =
      equals == std::string_view::npos ? std::string_view() : param.substr(equals + 1);
  const bool valued = equals != std::string_view::npos;
  if (valued && name == "--format") {
    const auto format = Choose(value, kFormats);
    if (!format) return InvalidOption(console, param, "box, list, csv or json");
    options.format = *format;
  } else if (valued && name == "--sort") {
    const auto order = Choose(value, kOrders);
    if (!order) return InvalidOption(console, param, "extension, files or bytes");
    options.sort = *order;
  } else if (valued && name == "--ext") {
    const auto rule = Choose(value, kKeyRules);
    if (!rule) return InvalidOption(console, param, "3 or full");
    options.keyRule = *rule;
  } else if (valued && name == "--exclude") {
    if (value.empty()) return InvalidOption(console, param, "one or more masks");
    options.excludes.emplace_back(value);
  } else if (valued && name == "--threads") {
    const auto threads = ParseThreadCount(value);
    if (!threads) {
      return InvalidOption(console, param,
                           "a whole number from 1 to " + std::to_string(kMostWalkThreads));
    }
    options.threads = threads;
  } else {
    return InvalidOption(console, param);
  }
  return std::nullopt;
}

std::optional<int> CheckLongOptions(const RunOptions& options, Console& console) {
  if (options.sort && options.format == ReportFormat::kBox) {
    return console.ReportProblem(
        "--sort does not apply to the box table, whose order is fixed: "
        "add --format=list, csv or json");
  }
  return std::nullopt;
}

}  // namespace zovu
