#include "common/private_mounts_posix.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zovu::testing {

std::string Errno(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

std::string InChild(const std::function<std::string()>& body) {
  int verdict[2];
  if (::pipe2(verdict, O_CLOEXEC) != 0) return Errno("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(verdict[0]);
    const std::string text = body();
    const ssize_t ignored = ::write(verdict[1], text.data(), text.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(verdict[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = ::read(verdict[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(verdict[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child ended abnormally";
  return text;
}

std::string InPrivateMounts(const std::function<std::string()>& body) {
  return InChild([&]() -> std::string {
    if (::unshare(CLONE_NEWNS) != 0) return std::string(kSkip) + Errno("unshare");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string(kSkip) + Errno("making the mounts private");
    }
    return body();
  });
}

std::string MountTmpfs(const std::filesystem::path& dir, std::string_view size) {
  std::filesystem::create_directories(dir);
  const std::string options = "size=" + std::string(size);
  if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    return std::string(kSkip) + Errno("mounting a tmpfs");
  }
  return {};
}

}  // namespace zovu::testing
