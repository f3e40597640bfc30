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

void PrintLongOptions(Console& console) {
  constexpr std::string_view lines[] = {
      "",
      "       Long options, written --name=value (none given: the table above, as ever):",
      "       * --format=box|list|csv|json  the table (box), a list ranked by bytes with",
      "         both figures and their shares (list), or data for scripts (csv, json)",
      "       * --sort=extension|files|bytes  the order of list, csv and json rows",
      "       * --ext=3|full  key by the first three characters of the extension, or all",
      "       * --exclude=MASKS  neither count nor enter what the masks select (repeatable)",
      "       * --one-file-system  enter no directory on another file system",
      "       * --disk-usage  total bytes on disk, a file of several hard links once",
      "       * --threads=N  walk with N threads, 1 to 256 (before ZOVU_THREADS)",
      "       * --help, --version  this text; the version",
  };
  for (const std::string_view line : lines) console.WriteLine(line);
}

}  // namespace zovu
