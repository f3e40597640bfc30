#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/directory_tree.h"
#include "platform/path_style.h"

namespace zovu {

// A remembered current directory that the walk can come back to, even if its path
// was renamed meanwhile where the system allows that.
class DirectoryMark {
 public:
  virtual ~DirectoryMark() = default;
};

// A text file read line by line.
class LineReader {
 public:
  virtual ~LineReader() = default;
  virtual bool AtEnd() = 0;
  // The next line without its line end.
  virtual std::string ReadLine() = 0;
  // True once reading failed; AtEnd is then true as well.
  virtual bool ReadFailed() const { return false; }
  // Why reading failed, in the system's words.
  virtual std::string ReadProblem() const { return {}; }
  // Asked before each further piece of a long read; once it answers true, reading gives up
  // (AtEnd is then true) and Interrupted tells so.
  void InterruptWhen(std::function<bool()> requested) { interruptWhen_ = std::move(requested); }
  bool Interrupted() const { return interrupted_; }

 protected:
  bool InterruptRequested() {
    if (!interrupted_ && interruptWhen_) interrupted_ = interruptWhen_();
    return interrupted_;
  }

 private:
  std::function<bool()> interruptWhen_;
  bool interrupted_ = false;
};

// Marks of current directories, which the lines of a list file change between them on
// systems with drives. A walk itself never changes the current directory.
class DriveMarks {
 public:
  virtual ~DriveMarks() = default;
  // The current directory, or on systems with drives the current directory of the
  // drive that path names.
  virtual std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view path) = 0;
  virtual std::unique_ptr<DirectoryMark> MarkCurrentDirectory() = 0;
  // Makes a marked directory current again.
  virtual bool ReturnTo(const DirectoryMark& mark) = 0;
};

// A text file opened for reading, or why it could not be.
struct OpenedTextFile {
  std::unique_ptr<LineReader> reader;  // null when it was not opened
  std::string problem;                 // why not, in the system's words
};

// Text files read line by line: the list files.
class TextFiles {
 public:
  virtual ~TextFiles() = default;
  virtual OpenedTextFile OpenTextFile(std::string_view path) = 0;
};

// All the file services a search needs, from one system; each part of the search takes
// only the ones it uses.
class FileSystem : public PathExpander,
                   public DirectoryTree,
                   public DriveMarks,
                   public TextFiles {};

}  // namespace zovu
