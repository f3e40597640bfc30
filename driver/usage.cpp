#include "driver/usage.h"

#include <string>

namespace zovu {

void PrintUsage(Console& console, bool subDirs) {
  const std::string lines[] = {
      "",
      std::string("ZOVU ") + ZOVU_VERSION,
      "",
      "Usage: ZOVU [options] [@][path][/][mask][[,mask]...] [options]",
      "       Get the total number or byte size of files grouped by extension",
      "",
      "       Press ESC during search to interrupt prematurely.",
      "",
      "       Possible options are: (Current values in {...})",
      "       * -T[\u00b1] for totalling size per extenion rather than number of files",
      std::string("       * -S[\u00b1] for subdirectory processing {") + (subDirs ? '+' : '-') +
          "}",
      "       * -W    Write new or update existing configuration file",
  };
  for (const std::string& line : lines) console.WriteLine(line);
}

}  // namespace zovu
