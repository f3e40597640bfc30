#pragma once

#include <filesystem>

namespace zovu::testing {

// Builds below root a chain of depth directories, each named "d" and holding a file
// "f.txt" beside the next level. Paths that deep are far longer than the system accepts,
// so both work one level at a time.
void MakeDeepChain(const std::filesystem::path& root, int depth);
void RemoveDeepChain(const std::filesystem::path& root, int depth);

}  // namespace zovu::testing
