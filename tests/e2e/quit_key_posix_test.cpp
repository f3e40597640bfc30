// ctrl-\ (SIGQUIT) during a search: the program ends, and the terminal gets its
// settings back, as after ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "common/pty_process_posix.h"
#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

TEST(QuitKey, EndsTheSearchAndGivesTheTerminalSettingsBack) {
  if (WindowsBinaryUnderTest()) GTEST_SKIP() << "SIGQUIT and pseudo-terminals are POSIX";
  TempDir tree;
  for (int i = 0; i < 300; ++i) tree.File("files/f" + std::to_string(i) + ".txt");
  // The quit signal's default action writes a core file; none is wanted here.
  const rlimit noCore{0, 0};
  ASSERT_EQ(::setrlimit(RLIMIT_CORE, &noCore), 0);
  PtyOptions options;
  options.args = {"files/"};
  options.dir = tree.path();
  options.traced = true;
  PtyProcess process(options);
  ASSERT_TRUE(process.StopAfterSettingsChange());
  ASSERT_NE(process.Settings(), process.SettingsAtStart());
  process.ReleaseWithSignal(SIGQUIT);
  EXPECT_EQ(process.Finish(), 128 + SIGQUIT);
  EXPECT_EQ(process.Output(), "Working  ");
  EXPECT_EQ(process.Settings(), process.SettingsAtStart());
}

}  // namespace
}  // namespace zovu::testing
