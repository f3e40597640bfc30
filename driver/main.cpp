#include <chrono>
#include <cstdlib>
#include <new>
#include <string>

#include "driver/run.h"
#include "platform/command_line.h"
#include "platform/system.h"

namespace {

int RunOnThisSystem(int argc, char** argv) {
  using namespace std::chrono_literals;
  zovu::System system = zovu::OpenSystem();
  zovu::ConsoleStreams streams;
  streams.report = system.standardOutput.get();
  streams.reportIsTerminal = system.standardOutputIsTerminal;
  streams.terminalShowsUtf8 = system.terminalShowsUtf8;
  const bool statusLine = system.standardErrorIsTerminal && !system.standardOutputIsPipe;
  streams.status = statusLine ? system.statusOutput.get() : nullptr;
  streams.statusLine = system.statusLine;
  streams.problems = system.standardError.get();
  streams.columns = system.terminalColumns;
  streams.lineEnd = system.lineEnd;
  // A few dozen spinner redraws a second look the same as one per entry, and a
  // keyboard checked every few milliseconds answers ESC just as fast.
  zovu::Console console(streams, 30ms);
  // The program's own file names the configuration file, whatever name it was started by.
  std::string executablePath = system.programPath;
  if (executablePath.empty())
    executablePath = zovu::ProgramFileFromName(argc > 0 ? argv[0] : "zovu");
  const char* threads = std::getenv("ZOVU_THREADS");
  zovu::Environment env{console,
                        *system.fileSystem,
                        *system.keyboard,
                        system.pathStyle,
                        5ms,
                        executablePath,
                        system.blockFiles.get(),
                        system.standardError.get(),
                        threads != nullptr ? threads : ""};
  const zovu::Parameters params = zovu::CommandLineParameters(argc, argv);
  return zovu::RunZovu(params, env);
}

// Memory ran out: the terminal is given back, a problem line says so, and the run ends
// with a problem's status. Nothing here needs memory.
void SayOutOfMemory() {
  zovu::GiveTerminalBack();
  zovu::WriteLineToStandardError(zovu::kOutOfMemoryLine);
}

// Ends the run where memory ran out, on whichever thread: even throwing std::bad_alloc
// needs memory, and without it the run would abort.
void EndForWantOfMemory() {
  SayOutOfMemory();
  std::_Exit(zovu::kExitProblem);
}

}  // namespace

int main(int argc, char** argv) {
  std::set_new_handler(EndForWantOfMemory);
  try {
    return RunOnThisSystem(argc, argv);
  } catch (const std::bad_alloc&) {
    // An allocation refused without asking the handler (an array length past all memory).
    SayOutOfMemory();
    return zovu::kExitProblem;
  }
}
