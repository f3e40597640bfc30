#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace zovu::testing {

// A verdict that begins with this says the system does not allow what a test needs.
inline constexpr std::string_view kSkip = "skip: ";

// What failed, with the system's reason for errno.
std::string Errno(const char* what);

// Runs body in a child process, so that what it changes of the process goes away with
// it. Returns the body's verdict: empty when all was as expected, "skip: why" when the
// system does not allow what it needs, else what went wrong.
std::string InChild(const std::function<std::string()>& body);

// Runs body in a child process with a mount namespace of its own, so that what it
// mounts goes away with it.
std::string InPrivateMounts(const std::function<std::string()>& body);

// Mounts a fresh tmpfs of the given size on dir; empty, or why not.
std::string MountTmpfs(const std::filesystem::path& dir, std::string_view size);

}  // namespace zovu::testing
