// Whole programs and files for tests: child processes with their output
// captured, temporary directories, reading and writing files.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A program started by a test, its standard output and error going to a file
// or, without one, to a pipe the test reads. Stopped when the object goes.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Set before start(): "NAME=value" entries that replace inherited ones,
  // the file standard input reads ("": it is closed), code run in the child.
  std::vector<std::string> env;
  std::string stdin_path = "/dev/null";
  std::function<void()> before_exec;
  // Set before start(): standard input is a pipe the test writes with input().
  bool input_pipe = false;

  bool start(const std::string& program, const std::vector<std::string>& args, const std::string& dir = ".",
             const std::string& output_file = "");
  // Everything the program has written so far.
  const std::string& output();
  // The complete lines written so far, after waiting up to timeout_ms for count of them.
  std::vector<std::string> lines(size_t count, int timeout_ms = 5000);
  // The test stops reading the pipe.
  void closeOutput();
  // Writes to the program's input pipe; false when it could not.
  bool input(const std::string& text);
  // The program's input reaches its end.
  void closeInput();
  // The exit code (128 + the signal when killed), or -1 when the program has
  // not ended within timeout_ms or never ran.
  int wait(int timeout_ms);
  // SIGTERM, SIGKILL after timeout_ms; the exit code as wait() gives it.
  int stop(int timeout_ms = 3000);
  void signal(int sig) const;
  bool running() { return wait(0) == -1 && pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int exit_code_ = -1;
  int pipe_ = -1;
  int input_ = -1;
  std::string output_file_, text_;
};

// Runs a program to its end (at most timeout_ms) in the working directory,
// env as ChildProcess takes it; its exit code (-1 when it did not end) and,
// in output, standard output and error together.
int RunProgram(const std::string& program, const std::vector<std::string>& args, std::string& output,
               const std::vector<std::string>& env = {}, int timeout_ms = 30000);

// The port of the server's "UDP initialized! UDP port: N" line, waiting up to
// timeout_ms for it; 0 when it did not come.
uint16_t ServerPort(ChildProcess& server, int timeout_ms = 3000);
// Starts the real server in dir, its output in dir/server.out; its port, or 0.
uint16_t StartServer(ChildProcess& server, const std::vector<std::string>& args, const std::string& dir = ".");

// Whether the build made the server, the game, or both.
bool ServerBuilt();
bool ClientBuilt();
bool ProgramsBuilt();

// Starts the real game in dir without a screen or sound card
// (SDL_VIDEODRIVER=dummy, ALSOFT_DRIVERS=null), its output in dir/client.out.
bool StartGame(ChildProcess& game, const std::string& dir, const std::vector<std::string>& args);

// A fresh directory under /tmp, removed with everything in it at the end
// (kept when VORNAX_KEEP_TEMP is set). Entered: the working directory until then.
class TempDir {
 public:
  explicit TempDir(bool enter = false);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_, previous_;
};

std::string ReadFile(const std::string& path);
// The complete lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);
// How many complete lines of a text the regular expression matches whole.
int CountLines(const std::string& text, const std::string& pattern);
// Whether text holds part anywhere, and how often (overlapping runs count).
bool Has(const std::string& text, const std::string& part);
int Occurrences(const std::string& text, const std::string& part);
// An 8-bit run-length BMP of the given size whose data ends at once: 64
// bytes that stand for width x height pixels.
std::string RleBomb(uint32_t width, uint32_t height);
// Creates the missing directories on the way.
bool WriteFile(const std::string& path, const std::string& bytes);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
std::string BinaryPath(const std::string& name);  // in the build directory
long long NowMs();                                // since an arbitrary start
void SleepMs(int ms);

// Waits up to timeout_ms for pred to hold, looking every 20 ms; false when
// it never did.
template <typename Pred>
bool WaitFor(Pred pred, int timeout_ms) {
  const long long deadline = NowMs() + timeout_ms;
  while (!pred()) {
    if (NowMs() >= deadline) return false;
    SleepMs(20);
  }
  return true;
}
