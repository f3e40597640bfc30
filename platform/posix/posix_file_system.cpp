#include "platform/posix/posix_file_system.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/posix_directory_tree.h"
#include "platform/posix/posix_line_reader.h"
#include "platform/posix/posix_paths.h"

namespace zovu {

std::string PosixFileSystem::ExpandPath(std::string_view path) {
  std::string cwd;
  if (path.empty() || path.front() != '/') {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
      // Without a known current directory (it was removed), a relative path stays
      // relative rather than silently becoming one below the root.
      if (errno != ERANGE) return std::string(path.empty() ? "." : path);
      buf.resize(buf.size() * 2);
    }
    cwd = buf.data();
  }
  return ExpandPosixPath(cwd, path);
}

OpenedDirectory PosixFileSystem::OpenStart(std::string_view path) {
  return OpenPosixStart(path);
}

OpenedDirectory PosixFileSystem::OpenChild(const OpenDirectory& parent, std::string_view name) {
  return OpenPosixChild(parent, name);
}

DirectoryIdentity PosixFileSystem::Identify(const OpenDirectory& directory) {
  return IdentifyPosixDirectory(directory);
}

std::unique_ptr<DirectoryReader> PosixFileSystem::NewReader() {
  return NewPosixDirectoryReader();
}

Latency PosixFileSystem::LatencyOf(const OpenDirectory& directory) {
  return PosixLatencyOf(directory);
}

HandlePlan PosixFileSystem::PlanHandles(std::size_t threads) {
  return PlanPosixHandles(threads);
}

// Nothing changes the current directory on POSIX, which has no drives either: there is
// never a directory to go back to.
std::unique_ptr<DirectoryMark> PosixFileSystem::MarkDriveDirectory(std::string_view) {
  return MarkCurrentDirectory();
}

std::unique_ptr<DirectoryMark> PosixFileSystem::MarkCurrentDirectory() {
  return std::make_unique<DirectoryMark>();
}

bool PosixFileSystem::ReturnTo(const DirectoryMark&) {
  return true;
}

OpenedTextFile PosixFileSystem::OpenTextFile(std::string_view path) {
  return OpenPosixLineReader(path);
}

}  // namespace zovu
