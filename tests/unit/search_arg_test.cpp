#include "search/search_arg.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/posix_paths.h"
#include "unit/fake_windows_paths.h"
#include "unit/search_target_check.h"

namespace zovu {
namespace {

using testing::FakeWindowsPaths;

// Lexical POSIX expansion against a fixed current directory.
class FixedPosixPaths final : public PathExpander {
 public:
  explicit FixedPosixPaths(std::string currentDir) : currentDir_(std::move(currentDir)) {}
  std::string ExpandPath(std::string_view path) override {
    return ExpandPosixPath(currentDir_, path);
  }

 private:
  std::string currentDir_;
};

struct ArgCase {
  std::string_view arg;
  std::string_view masks;
  std::string_view start;
};

// start: the start directory, or "@" and the list file's path.
void ExpectArgs(const PathContext& paths, std::string_view defaultExt,
                std::initializer_list<ArgCase> cases) {
  for (const ArgCase& c : cases) testing::ExpectTarget(paths, defaultExt, c.arg, c.masks, c.start);
}

TEST(SearchArgument, WindowsStyle) {
  FakeWindowsPaths expander('C', {{'C', "C:\\WORK"}, {'D', "D:\\OTHER"}});
  const PathContext paths{PathStyle::kWindows, expander};
  ExpectArgs(paths, ".*",
             {
                 {"", "*.*", "C:\\WORK\\"},
                 {"*.pas", "*.pas", "C:\\WORK\\"},
                 {"readme", "readme.*", "C:\\WORK\\"},
                 {".", "*.*", "C:\\WORK\\"},
                 {"src/", "*.*", "C:\\WORK\\src\\"},
                 {"src\\*.c,*.h", "*.c,*.h", "C:\\WORK\\src\\"},
                 {"D:\\data\\.txt", "*.txt", "D:\\data\\"},
                 {"*.c;old", "*.c;old", "C:\\WORK\\"},
                 {"@list.txt", "", "@C:\\WORK\\list.txt"},
                 {"@lists/all.lst", "", "@C:\\WORK\\lists\\all.lst"},
                 // A final dot names no mask.
                 {"src\\.", "*.*", "C:\\WORK\\src\\"},
                 // ".." alone is the parent; inside a path it is an ordinary segment.
                 {"..\\*.c", "*.c", "C:\\"},
                 {"..", "*.*", "C:\\"},
                 // Roots keep their separator; a bare drive is that drive's directory.
                 {"C:\\", "*.*", "C:\\"},
                 {"C:", "*.*", "C:\\WORK\\"},
                 {"D:x.c", "x.c", "D:\\OTHER\\"},
                 {"src", "src.*", "C:\\WORK\\"},
                 // Masks after "," are copied as written, slashes included.
                 {"*.pas,inc", "*.pas,inc", "C:\\WORK\\"},
                 {"a,b/c", "a.*,b/c", "C:\\WORK\\"},
                 // The tail plays no part in the directory; commas in it are not masks.
                 {"src/*.c;x/y", "*.c;x/y", "C:\\WORK\\src\\"},
                 {"*.c;old,new", "*.c;old,new", "C:\\WORK\\"},
                 {"*.c;", "*.c", "C:\\WORK\\"},
                 {"@", "", "@C:\\WORK\\*.*"},
                 {"@D:\\x.lst", "", "@D:\\x.lst"},
             });
}

TEST(SearchArgument, WindowsStyleFromASubdirectory) {
  FakeWindowsPaths expander('C', {{'C', "C:\\WORK\\SUB"}});
  const PathContext paths{PathStyle::kWindows, expander};
  ExpectArgs(paths, ".*",
             {
                 {"..", "*.*", "C:\\WORK\\"},
                 // The mask list tests the raw argument, the start path the cut one.
                 {"..,*.c", "..,*.c", "C:\\WORK\\"},
                 {"..;x", "..;x", "C:\\WORK\\"},
             });
}

TEST(SearchArgument, PosixStyle) {
  FixedPosixPaths expander("/srv/proj");
  const PathContext paths{PathStyle::kPosix, expander};
  ExpectArgs(paths, ".*",
             {
                 {"", "*.*", "/srv/proj/"},
                 {"*.pas", "*.pas", "/srv/proj/"},
                 {"readme", "readme.*", "/srv/proj/"},
                 {".", "*.*", "/srv/proj/"},
                 {"src/", "*.*", "/srv/proj/src/"},
                 {"src/*.c,*.h", "*.c,*.h", "/srv/proj/src/"},
                 {"/data/.txt", "*.txt", "/data/"},
                 {"*.c;old", "*.c;old", "/srv/proj/"},
                 {"@list.txt", "", "@/srv/proj/list.txt"},
                 {"@lists/all.lst", "", "@/srv/proj/lists/all.lst"},
                 {"src/.", "*.*", "/srv/proj/src/"},
                 {"../*.c", "*.c", "/srv/"},
                 {"/", "*.*", "/"},
                 {"//x//*.c", "*.c", "/x/"},
                 {"src", "src.*", "/srv/proj/"},
                 // Backslashes and colons are ordinary characters in names.
                 {"src\\*.c", "src\\*.c", "/srv/proj/"},
                 {"C:x.c", "C:x.c", "/srv/proj/"},
                 {"a\\b/", "*.*", "/srv/proj/a\\b/"},
                 {"*.pas,inc", "*.pas,inc", "/srv/proj/"},
                 {"src/*.c;x/y", "*.c;x/y", "/srv/proj/src/"},
                 {"@", "", "@/srv/proj/*.*"},
                 {"@/", "", "@/*.*"},
             });
}

TEST(SearchArgument, PosixStyleFromASubdirectory) {
  FixedPosixPaths expander("/srv/proj/sub");
  const PathContext paths{PathStyle::kPosix, expander};
  ExpectArgs(paths, ".*",
             {
                 {"..", "*.*", "/srv/proj/"},
                 {"..,*.c", "..,*.c", "/srv/proj/"},
             });
  FixedPosixPaths atRoot("/");
  ExpectArgs(PathContext{PathStyle::kPosix, atRoot}, ".*", {{"..", "*.*", "/"}});
}

TEST(SearchArgument, EmptyDefaultExtensionCountsAsAnyExtension) {
  FixedPosixPaths expander("/w");
  const PathContext paths{PathStyle::kPosix, expander};
  EXPECT_EQ(ParseSearchArg("", "", paths).masks, "*.*");
  EXPECT_EQ(ParseSearchArg("readme", "", paths).masks, "readme.*");
  EXPECT_EQ(ParseSearchArg("readme", "*.*", paths).masks, "readme*.*");
}

TEST(SearchArgument, LongPathsAreNotCut) {
  FixedPosixPaths expander("/w");
  const PathContext paths{PathStyle::kPosix, expander};
  const std::string dir = std::string(150, 'd') + "/" + std::string(150, 'e') + "/";
  const std::string mask = std::string(280, 'm') + ".c";
  testing::ExpectTarget(paths, ".*", dir + mask, mask, "/w/" + dir);
}

struct LineCase {
  std::string_view line;
  std::optional<std::string_view> arg;  // nothing: the line is skipped
  std::string_view defaultExt;
};

void ExpectLines(PathStyle style, std::initializer_list<LineCase> cases) {
  for (const LineCase& c : cases) {
    const std::optional<ListLineArg> got = ListLineToArg(c.line, style);
    ASSERT_EQ(got.has_value(), c.arg.has_value()) << "line '" << c.line << "'";
    if (!got) continue;
    EXPECT_EQ(got->arg, *c.arg) << "line '" << c.line << "'";
    EXPECT_EQ(got->defaultExt, c.defaultExt) << "line '" << c.line << "'";
  }
}

TEST(ListLineToArg, WindowsStyle) {
  ExpectLines(PathStyle::kWindows, {
                                       {"", std::nullopt, ""},
                                       {"    ", std::nullopt, ""},
                                       {"  C:/SRC/*.c  remark *.h", "C:\\SRC\\*.c", "*.*"},
                                       {"\"C:\\My Files\\*.txt\"", "C:\\My Files\\*.txt", "*.*"},
                                       {"  \"a b\"  ", "a b", "."},
                                       {"\"a\"", "a", "."},
                                       {"\"\"", "\"\"", "."},
                                       {"\"", "\"", "."},
                                       {"\"a b\" c\"", "a b\" c", "."},
                                       {"\"a b\" remark", "\"a", "."},
                                       {"\t", "\t", "."},
                                       {".", ".", "."},
                                       {"C:\\SRC\\.", "C:\\SRC\\.", "."},
                                       {"C:\\SRC\\", "C:\\SRC\\", "*.*"},
                                       {"src/", "src\\", "*.*"},
                                       {"C:\\SRC\\MAKEFILE", "C:\\SRC\\MAKEFILE", "."},
                                       {"x.", "x.", "."},
                                       {"a.b.c", "a.b.c", "*.*"},
                                       {".profile", ".profile", "*.*"},
                                       {"..", "..", "*.*"},
                                       {"@x.lst", "@x.lst", "*.*"},
                                   });
}

TEST(ListLineToArg, PosixStyle) {
  ExpectLines(PathStyle::kPosix, {
                                     {"   ", std::nullopt, ""},
                                     {"src/", "src/", "*.*"},
                                     {"src\\", "src\\", "."},
                                     {"/srv/MAKEFILE  remark", "/srv/MAKEFILE", "."},
                                     {"\"/srv/my dir/\"", "/srv/my dir/", "*.*"},
                                     {"/srv/.", "/srv/.", "."},
                                 });
}

TEST(ListLineToArg, DefaultExtensionShapesTheMask) {
  FakeWindowsPaths expander('C', {{'C', "C:\\WORK"}});
  const PathContext paths{PathStyle::kWindows, expander};
  const struct {
    std::string_view line;
    std::string_view masks;
    std::string_view start;
  } cases[] = {
      {".", "*.", "C:\\WORK"},
      {"C:\\SRC", "SRC.", "C:\\"},
      {"C:\\SRC\\.", "*.", "C:\\SRC"},
      {"C:\\SRC\\MAKEFILE", "MAKEFILE.", "C:\\SRC"},
      {"C:\\SRC\\", "**.*", "C:\\SRC"},
      {"src\\*.c", "*.c", "C:\\WORK\\src"},
      {"@x.lst", "", "@C:\\WORK\\x.lst"},
  };
  for (const auto& c : cases) {
    const std::optional<ListLineArg> arg = ListLineToArg(c.line, paths.style);
    ASSERT_TRUE(arg.has_value()) << c.line;
    testing::ExpectTarget(paths, arg->defaultExt, arg->arg, c.masks, c.start);
  }
}

}  // namespace
}  // namespace zovu
