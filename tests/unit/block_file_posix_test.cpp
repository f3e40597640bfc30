// A FIFO of the configuration file's name is no place for the block, and opening it
// must not wait for a writer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/temp_dir.h"
#include "platform/posix/posix_block_file.h"

namespace zovu {
namespace {

TEST(PosixBlockFile, RefusesAFifo) {
  testing::TempDir dir;
  testing::CurrentDirScope inside(dir.path());
  ASSERT_EQ(::mkfifo("zovu.cfg", 0644), 0);
  PosixBlockFileOpener opener;
  EXPECT_EQ(opener.Open("zovu.cfg"), nullptr);
  EXPECT_TRUE(std::filesystem::is_fifo(dir.path() / "zovu.cfg"));
}

}  // namespace
}  // namespace zovu
