#pragma once

#include <string>

#include "common/run_process.h"

namespace zovu::testing {

// Reads a child's output and error pipes into result until both are closed, then closes
// them; -1 stands for a pipe that is not read.
void DrainPipes(int outFd, int errFd, ProcessResult& result);

// A copy of the program file under test that every user may run, for runs as another
// user: the build tree may lie in a directory only its owner can enter.
std::string ProgramForOtherUsers();

}  // namespace zovu::testing
