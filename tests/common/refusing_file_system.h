#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace zovu::testing {

// A file system with nothing in it that counts every directory service asked of it;
// only path expansion, which is text alone, answers.
class RefusingFileSystem final : public FileSystem {
 public:
  int calls = 0;
  std::string ExpandPath(std::string_view path) override {
    return !path.empty() && path.front() == '/' ? std::string(path) : "/cwd/" + std::string(path);
  }
  OpenedDirectory OpenStart(std::string_view) override {
    Refuse();
    return {};
  }
  OpenedDirectory OpenChild(const OpenDirectory&, std::string_view) override {
    Refuse();
    return {};
  }
  DirectoryIdentity Identify(const OpenDirectory&) override {
    Refuse();
    return {};
  }
  std::unique_ptr<DirectoryReader> NewReader() override {
    Refuse();
    return nullptr;
  }
  HandlePlan PlanHandles(std::size_t threads) override { return {threads, 0}; }
  std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view) override {
    Refuse();
    return nullptr;
  }
  std::unique_ptr<DirectoryMark> MarkCurrentDirectory() override {
    Refuse();
    return nullptr;
  }
  bool ReturnTo(const DirectoryMark&) override { return Refuse(); }
  OpenedTextFile OpenTextFile(std::string_view) override {
    Refuse();
    return {};
  }

 private:
  bool Refuse() {
    ++calls;
    return false;
  }
};

}  // namespace zovu::testing
