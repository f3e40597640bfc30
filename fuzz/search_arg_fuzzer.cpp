// Search-argument parsing over random arguments and list-file lines, in both path
// styles, with a made-up current directory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/posix/posix_paths.h"
#include "search/search_arg.h"
#include "unit/fake_windows_paths.h"

namespace {

using namespace zovu;

class FakePosixPaths final : public PathExpander {
 public:
  explicit FakePosixPaths(std::string currentDir) : currentDir_(std::move(currentDir)) {}
  std::string ExpandPath(std::string_view path) override {
    return ExpandPosixPath(currentDir_, path);
  }

 private:
  std::string currentDir_;
};

bool HasDirEnd(PathStyle style, std::string_view text) {
  for (const char c : text) {
    if (EndsDirectoryPart(style, c)) return true;
  }
  return false;
}

// The argument as the start path sees it: cut at the first ";", then at the first ",".
std::string_view CutArgument(std::string_view arg) {
  arg = arg.substr(0, arg.find(';'));
  return arg.substr(0, arg.find(','));
}

// An absolute directory ending in the separator, with no empty, "." or ".." segment.
bool IsAbsoluteDirectory(PathStyle style, std::string_view path) {
  const char sep = style == PathStyle::kWindows ? '\\' : '/';
  std::size_t rootLength = 1;
  if (style == PathStyle::kWindows) {
    if (path.size() < 3 || path[0] < 'A' || path[0] > 'Z' || path[1] != ':' || path[2] != sep) {
      return false;
    }
    if (path.find('/') != std::string_view::npos) return false;
    rootLength = 3;
  } else if (path.empty() || path.front() != sep) {
    return false;
  }
  if (path.back() != sep) return false;
  std::string_view rest = path.substr(rootLength);
  while (!rest.empty()) {
    const std::size_t end = rest.find(sep);
    const std::string_view segment = rest.substr(0, end);
    if (segment.empty() || segment == "." || segment == "..") return false;
    rest.remove_prefix(end + 1);
  }
  return true;
}

void CheckArgument(std::string_view arg, std::string_view defaultExt, const PathContext& paths) {
  const PathStyle style = paths.style;
  const std::string_view ext = defaultExt.empty() ? std::string_view(".*") : defaultExt;
  const SearchTarget target = ParseSearchArg(arg, defaultExt, paths);
  const std::string_view cut = CutArgument(arg);
  const bool listFile = !cut.empty() && cut.front() == '@';
  ZOVU_FUZZ_CHECK((target.kind == SearchTarget::Kind::kListFile) == listFile);
  if (listFile) {
    ZOVU_FUZZ_CHECK(!target.listPath.empty() && target.startDir.empty() && target.masks.empty());
    return;
  }

  // The start directory: absolute, and named again by itself as a directory.
  std::string start = target.startDir;
  AddTrailingBackslash(style, start);
  ZOVU_FUZZ_CHECK(IsAbsoluteDirectory(style, start));
  if (start.find_first_of(",;") == std::string::npos && start.front() != '@') {
    ZOVU_FUZZ_CHECK(ParseSearchArg(start, defaultExt, paths).startDir == target.startDir);
  }
  // An argument without a directory part searches the current directory.
  if (!HasDirEnd(style, cut) && cut != "..") {
    ZOVU_FUZZ_CHECK(target.startDir == ParseSearchArg("", defaultExt, paths).startDir);
  }

  // The mask list: never empty, the tail carried over, and a plain file name kept as
  // its own mask.
  const std::string& masks = target.masks;
  ZOVU_FUZZ_CHECK(!masks.empty());
  const std::size_t semicolon = arg.find(';');
  const std::string_view tail =
      arg == ".." || semicolon == std::string_view::npos ? "" : arg.substr(semicolon + 1);
  if (tail.empty()) {
    ZOVU_FUZZ_CHECK(masks.find(';') == std::string::npos);
  } else {
    ZOVU_FUZZ_CHECK(masks.substr(masks.find(';') + 1) == tail);
  }
  const std::string_view firstMask = std::string_view(masks).substr(0, masks.find_first_of(",;"));
  ZOVU_FUZZ_CHECK(!HasDirEnd(style, firstMask));
  ZOVU_FUZZ_CHECK(firstMask.find('.') != std::string_view::npos);
  if (arg == "..") ZOVU_FUZZ_CHECK(masks == "*" + std::string(ext));
  const bool plainName = !arg.empty() && arg.front() != '.' && arg.front() != '@' &&
                         arg.find_first_of(",;*?") == std::string_view::npos &&
                         !HasDirEnd(style, arg);
  if (plainName) {
    const std::size_t dot = arg.rfind('.');
    if (dot == std::string_view::npos) {
      ZOVU_FUZZ_CHECK(masks == std::string(arg) + std::string(ext));
    } else if (dot + 1 < arg.size()) {
      ZOVU_FUZZ_CHECK(masks == arg);
    }
  }
}

void CheckListLine(std::string_view line, const PathContext& paths) {
  const std::optional<ListLineArg> parsed = ListLineToArg(line, paths.style);
  // Only a line of spaces (or nothing) is skipped.
  ZOVU_FUZZ_CHECK(parsed.has_value() == (line.find_first_not_of(' ') != std::string_view::npos));
  if (!parsed) return;
  const std::string& arg = parsed->arg;
  ZOVU_FUZZ_CHECK(!arg.empty());
  std::string text(line);
  SlashesToBackslashes(paths.style, text);
  ZOVU_FUZZ_CHECK(text.find(arg) != std::string::npos);
  const std::string_view trimmed = std::string_view(text).substr(
      text.find_first_not_of(' '), text.find_last_not_of(' ') - text.find_first_not_of(' ') + 1);
  const bool quoted = trimmed.size() > 2 && trimmed.front() == '"' && trimmed.back() == '"';
  if (!quoted) ZOVU_FUZZ_CHECK(arg.find(' ') == std::string::npos);
  const std::size_t dot = arg.find('.');
  const bool bareFile =
      arg.back() != Separator(paths.style) && (dot == std::string::npos || dot == arg.size() - 1);
  ZOVU_FUZZ_CHECK(parsed->defaultExt == (bareFile ? "." : "*.*"));
  CheckArgument(arg, parsed->defaultExt, paths);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool windows = input.ConsumeBool();
  const std::string currentDir = input.ConsumeRandomLengthString(120);
  const char drive = input.ConsumeIntegralInRange<char>('A', 'Z');
  const char* const defaultExts[] = {".*", ".", "*.*", ""};
  const std::string_view defaultExt = input.PickValueInArray(defaultExts);
  const std::string arg = input.ConsumeRandomLengthString(400);
  const std::string line = input.ConsumeRemainingBytesAsString();

  FakePosixPaths posix(ExpandPosixPath("/", currentDir));
  // A Windows directory name holds neither "/" nor ":".
  std::string windowsDir = currentDir;
  for (char& c : windowsDir) {
    if (c == '/' || c == ':') c = '\\';
  }
  testing::FakeWindowsPaths windowsPaths(
      drive, {{drive, std::string(1, drive) + ":\\" + windowsDir}, {'Q', "Q:\\other\\dir"}});
  const PathContext paths = windows ? PathContext{PathStyle::kWindows, windowsPaths}
                                    : PathContext{PathStyle::kPosix, posix};
  CheckArgument(arg, defaultExt, paths);
  CheckListLine(line, paths);
  return 0;
}
