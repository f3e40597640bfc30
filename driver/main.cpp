#include <chrono>
#include <cstdlib>
#include <string>

#include "driver/run.h"
#include "platform/command_line.h"
#include "platform/system.h"

int main(int argc, char** argv) {
  using namespace std::chrono_literals;
  zovu::System system = zovu::OpenSystem();
  zovu::ConsoleStreams streams;
  streams.report = system.standardOutput.get();
  streams.reportIsTerminal = system.standardOutputIsTerminal;
  streams.status = system.standardErrorIsTerminal ? system.standardError.get() : nullptr;
  streams.problems = system.standardError.get();
  streams.columns = system.terminalColumns;
  streams.lineEnd = system.lineEnd;
  // A few dozen spinner redraws a second look the same as one per entry, and a
  // keyboard checked every few milliseconds answers ESC just as fast.
  zovu::Console console(streams, 30ms);
  // The program's own file names the configuration file, whatever name it was started by.
  std::string executablePath = system.programPath;
  if (executablePath.empty()) executablePath = zovu::ProgramFileFromName(argc > 0 ? argv[0] : "zovu");
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
