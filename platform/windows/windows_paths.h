#pragma once

#include <string>

namespace zovu {

// The absolute form of path (GetFullPathNameW): a drive-relative path is taken against
// that drive's current directory. Empty when the system refuses the path.
std::wstring FullPathName(const std::wstring& path);
// The process's current directory, or empty when it cannot be read.
std::wstring CurrentDirectory();

// Windows keeps one current directory per drive; a process learns another drive's from
// the hidden environment variable "=X:", the way command shells and the C runtime's
// chdir keep it. Changing to another drive therefore first records where the process
// stands on the drive it leaves, and afterwards where it arrived.
bool SetCurrentDirectoryKeepingDrives(const std::wstring& path);

}  // namespace zovu
