// Starting the real programs from tests: a child process in its own working
// directory with its output captured to a file, killed when the test ends.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts program with args in dir; stdout and stderr go to output_file.
  // extra_env entries are "NAME=value".
  bool start(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
             const std::string& output_file, const std::vector<std::string>& extra_env = {});
  // Sends SIGTERM, waits up to timeout_ms, then SIGKILL. Returns the exit
  // status as waitpid gives it, or -1 when nothing was running.
  int stop(int timeout_ms = 3000);
  bool running();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// A fresh directory under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& text);
std::string BinaryPath(const std::string& name);  // in the build directory
bool FileExists(const std::string& path);
// Milliseconds since an arbitrary start.
long long NowMs();
