#include "common/deep_tree_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace zovu::testing {

void MakeDeepChain(const std::filesystem::path& root, int depth) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < depth && fd >= 0; ++level) {
    const int file = ::openat(fd, "f.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (file >= 0) ::close(file);
    ::mkdirat(fd, "d", 0755);
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = next;
  }
  if (fd < 0) throw std::runtime_error("could not build the deep tree");
  ::close(fd);
}

void RemoveDeepChain(const std::filesystem::path& root, int depth) {
  const int back = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (::chdir(root.c_str()) != 0) return;
  int reached = 0;
  while (reached < depth && ::chdir("d") == 0) ++reached;
  for (; reached >= 0; --reached) {
    ::unlink("f.txt");
    ::rmdir("d");
    if (reached > 0 && ::chdir("..") != 0) break;
  }
  if (::fchdir(back) != 0) throw std::runtime_error("could not return after removing");
  ::close(back);
}

}  // namespace zovu::testing
