#include "common/temp_dir.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace zovu::testing {

// A new directory with a random name; creating it fails when the name is taken, so two
// tests never share one. (Portable stand-in for mkdtemp.)
TempDir::TempDir() {
  static std::mt19937_64 random{std::random_device{}()};
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "zovu-test-";
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    std::error_code error;
    if (std::filesystem::create_directory(base / name, error)) {
      path_ = base / name;
      return;
    }
  }
  throw std::runtime_error("could not create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave directories without permissions behind; give them back first.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::File(std::string_view relative, std::string_view content) const {
  const std::filesystem::path file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return file;
}

std::filesystem::path TempDir::Dir(std::string_view relative) const {
  const std::filesystem::path dir = path_ / relative;
  std::filesystem::create_directories(dir);
  return dir;
}

CurrentDirScope::CurrentDirScope(const std::filesystem::path& dir)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

CurrentDirScope::~CurrentDirScope() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

}  // namespace zovu::testing
