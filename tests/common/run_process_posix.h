#pragma once

#include <sys/types.h>

#include <string>

#include "common/run_process.h"

namespace zovu::testing {

// Reads the child's output and error pipes until both are closed, closes them, and waits
// for the child to end; -1 stands for a pipe that is not read.
ProcessResult FinishChild(pid_t pid, int outFd, int errFd);

// A copy of the program file under test that every user may run, for runs as another
// user: the build tree may lie in a directory only its owner can enter.
std::string ProgramForOtherUsers();

}  // namespace zovu::testing
