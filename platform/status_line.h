#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <string_view>

namespace zovu {

// What the status line on the terminal shows, handed to the platform for the moments when
// the program cannot draw it itself: a signal that ends the process blanks it first, one
// that continues a stopped process draws it again, and a run that ran out of memory blanks
// it on its way out.
class StatusLine {
 public:
  virtual ~StatusLine() = default;
  // The line is shown: redraw draws it whole from its first column, blank blanks it and
  // leaves the cursor in its first column.
  virtual void Shown(std::string_view redraw, std::string_view blank) = 0;
  // The line is blank.
  virtual void Blanked() = 0;
};

// The status line kept in fixed storage, where a signal handler on any thread can read it
// without locks or allocation: the line is written into the version not on show, which
// then goes on show in one atomic step.
class StatusLineRecord final : public StatusLine {
 public:
  // Room for the widest blanking (255 columns) and a status text with its spinner.
  static constexpr std::size_t kMaxBytes = 320;

  struct Version {
    char redraw[kMaxBytes];
    std::size_t redrawSize;
    char blank[kMaxBytes];
    std::size_t blankSize;
  };

  void Shown(std::string_view redraw, std::string_view blank) override {
    Version& version = versions_[next_];
    version.redrawSize = Copy(redraw, version.redraw);
    version.blankSize = Copy(blank, version.blank);
    current_.store(&version, std::memory_order_release);
    next_ = 1 - next_;
  }
  void Blanked() override { current_.store(nullptr, std::memory_order_release); }

  // The line as shown now, or null when it is blank.
  const Version* Current() const { return current_.load(std::memory_order_acquire); }

 private:
  static std::size_t Copy(std::string_view text, char* to) {
    const std::size_t size = std::min(text.size(), kMaxBytes);
    std::copy_n(text.data(), size, to);
    return size;
  }

  Version versions_[2]{};
  std::atomic<const Version*> current_{nullptr};
  int next_ = 0;
};

}  // namespace zovu
