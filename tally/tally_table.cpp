#include "tally/tally_table.h"

namespace zovu {

// Stand-in until the report table lands: nothing is printed.
void PrintTallyTable(Console&, ExtensionTally&) {}

std::string_view SingularOrPlural(std::int64_t n, std::string_view singular,
                                  std::string_view plural) {
  return n == 1 || n == -1 ? singular : plural;
}

std::string SummaryLine(std::int64_t matchCount) {
  std::string line = std::to_string(matchCount);
  line += " match";
  line += SingularOrPlural(matchCount, "", "es");
  line += " found!";
  return line;
}

}  // namespace zovu
