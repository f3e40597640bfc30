#pragma once

namespace zovu {

// What a name leads to, as the system reports it.
enum class FileKind { kRegular, kPipe, kDirectory, kDevice, kOther };

// A list file is read to its end, so only a regular file or a pipe is read as one: a
// device may never end (/dev/zero), wait for a person (a terminal, the console) or
// work hardware (a serial port, a printer), and a directory or a socket holds no text.
inline bool ReadableAsList(FileKind kind) {
  return kind == FileKind::kRegular || kind == FileKind::kPipe;
}

}  // namespace zovu
