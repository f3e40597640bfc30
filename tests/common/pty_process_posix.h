#pragma once

#include <sys/types.h>
#include <termios.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zovu::testing {

// How the program meets the terminal. Unless it leads the session itself, it runs as a
// job in a process group of its own, started by a session leader that waits for it as a
// job control shell would, so that the terminal can stop it.
enum class PtyJob {
  kForeground,  // the terminal's foreground process group
  kBackground,  // a background job: the session leader keeps the foreground
  // Standard input and outputs on the terminal, but no controlling terminal at all.
  kNoControllingTerminal,
  // The program leads the session itself, in the foreground. No process of the session
  // is its parent, so its process group is orphaned: stop signals do not stop it.
  kSessionLeader,
};

struct PtyOptions {
  // The program to run with args, found on PATH: the zovu binary under test when empty.
  std::string program;
  std::vector<std::string> args;
  std::filesystem::path dir;
  std::string typedAhead;  // written to the terminal before the program starts
  bool echo = true;        // the terminal echoes what is typed when the program starts
  PtyJob job = PtyJob::kForeground;
  // Holds the program under ptrace before it starts, for StopAfterSettingsChange.
  bool traced = false;
  unsigned short columns = 80;
  // Standard output into a pipe that the test reads (PipedOutput) instead of the terminal.
  bool outputToPipe = false;
  // No standard output at all.
  bool outputClosed = false;
  // A limit on the program's address space in bytes (ulimit -v), or 0 for none.
  unsigned long long memoryLimit = 0;
};

// The exit status reported for a background job that the terminal stopped; it is killed
// then, since no one would continue it.
inline constexpr int kStoppedInBackground = 254;

// The zovu binary under test, run on a fresh pseudo-terminal with its standard input,
// output and error on the terminal. The test writes to the terminal's keyboard side and
// reads everything the program shows. Every wait is bounded: a program that hangs is
// killed, and the wait reports failure.
class PtyProcess {
 public:
  explicit PtyProcess(const PtyOptions& options);
  ~PtyProcess();
  PtyProcess(const PtyProcess&) = delete;
  PtyProcess& operator=(const PtyProcess&) = delete;

  // The terminal's settings as one string that compares whole (as "stty -g" does).
  std::string Settings() const;
  // The settings when the program was started.
  const std::string& SettingsAtStart() const { return settingsAtStart_; }
  struct termios Attributes() const;
  // Puts back the settings the terminal had at the start, as a shell does for itself
  // when its job stops.
  void ResetSettings();
  // Gives the terminal settings, as another program on it would.
  void SetAttributes(const struct termios& settings);

  // Types bytes on the keyboard.
  void Type(std::string_view bytes);
  // Sends signal to the program.
  void Signal(int signal);

  // Traced runs: lets the program run until a call that changes the terminal's settings
  // has returned, and keeps it stopped there. False if it ended first, or timed out, or
  // began to write to standard output first (the report, once the search is over): it
  // is then let go untraced.
  bool StopAfterSettingsChange();
  // Queues signal (0 for none) while the program is still stopped there, then stops
  // tracing it, so the signal arrives at that very point of the program.
  void ReleaseWithSignal(int signal);

  // Reads output until the program is stopped by a signal. False if it ended instead.
  bool WaitUntilStopped();
  // Reads output until the program, stopped, has been continued. False if it ended.
  bool WaitUntilContinued();
  // Reads output until it contains text. False if the program ended without it.
  bool WaitForOutput(std::string_view text);
  // Reads output until the program ends, and returns its exit status (the exit code, or
  // 128 + the signal that ended it). A program still running at the deadline is killed.
  int Finish();

  const std::string& Output() const { return output_; }
  // What the program wrote into the pipe of outputToPipe.
  const std::string& PipedOutput() const { return pipedOutput_; }
  bool TimedOut() const { return timedOut_; }

 private:
  template <typename Done>
  bool Pump(Done done);
  void ReadAvailable();
  void ReadEvents();
  void ReapSelfLed();
  void Record(int waitStatus);
  void Kill();

  int master_ = -1;
  int slave_ = -1;
  int events_ = -1;       // wait statuses of the program, from the session leader
  int pipe_ = -1;         // the reading end of outputToPipe's pipe
  pid_t leader_ = -1;     // the session leader
  pid_t pid_ = -1;        // the program
  bool selfLed_ = false;  // the program is the session leader
  bool leaderReaped_ = false;
  bool tracing_ = false;
  bool exited_ = false;
  bool stopped_ = false;
  bool timedOut_ = false;
  int exitStatus_ = -1;
  std::string output_;
  std::string pipedOutput_;
  std::string settingsAtStart_;
  struct termios attributesAtStart_ {};
};

struct PtyResult {
  int exitStatus = -1;
  std::string output;
  std::string settingsBefore;
  std::string settingsAfter;
  bool timedOut = false;
};

// Runs zovu on a pseudo-terminal to its end.
PtyResult RunZovuOnPty(const PtyOptions& options);

}  // namespace zovu::testing
