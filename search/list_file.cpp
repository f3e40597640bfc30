#include "search/file_search.h"

namespace zovu {

// Stand-in until list files land: a list file cannot be read.
void FileSearch::ProcessListFile(std::string) {
  searchErrors_ = true;
}

}  // namespace zovu
