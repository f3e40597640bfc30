#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "search/search_arg.h"

namespace zovu::testing {

// Checks what a search argument reads as. start is the start directory as a directory is
// written, with its trailing separator; for a list file it is "@" and the list file's
// path, and masks plays no part.
inline void ExpectTarget(const PathContext& paths, std::string_view defaultExt,
                         std::string_view arg, std::string_view masks, std::string_view start) {
  const SearchTarget target = ParseSearchArg(arg, defaultExt, paths);
  if (start.starts_with('@')) {
    EXPECT_EQ(target.kind, SearchTarget::Kind::kListFile) << "argument '" << arg << "'";
    EXPECT_EQ(target.listPath, start.substr(1)) << "argument '" << arg << "'";
    return;
  }
  EXPECT_EQ(target.kind, SearchTarget::Kind::kDirectory) << "argument '" << arg << "'";
  EXPECT_EQ(target.masks, masks) << "argument '" << arg << "'";
  EXPECT_EQ(target.startDir, StripTrailingBackslashes(paths.style, start))
      << "argument '" << arg << "'";
}

}  // namespace zovu::testing
