#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zovu::testing {

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Creates a file (and its directories) relative to the temporary directory.
  std::filesystem::path File(std::string_view relative, std::string_view content = {}) const;
  std::filesystem::path Dir(std::string_view relative) const;

 private:
  std::filesystem::path path_;
};

// Makes the process's current directory dir while it lives.
class CurrentDirScope {
 public:
  explicit CurrentDirScope(const std::filesystem::path& dir);
  ~CurrentDirScope();
  CurrentDirScope(const CurrentDirScope&) = delete;
  CurrentDirScope& operator=(const CurrentDirScope&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace zovu::testing
