#include "driver/long_options.h"

#include <string>

#include "driver/usage.h"

namespace zovu {

std::optional<int> RunLongOption(std::string_view param, const ConfigBlock& block,
                                 Console& console) {
  if (param == "--help") {
    PrintUsage(console, block.SubDirs != 0);
    console.WriteLine("       The whole manual: man zovu");
  } else if (param == "--version") {
    console.WriteLine(std::string("zovu ") + ZOVU_VERSION);
    console.WriteLine("Copyright (c) 2026 ZOVU developers; released under the MIT License");
  } else {
    return std::nullopt;
  }
  return console.FinishReport(kExitOk);
}

}  // namespace zovu
