#include "e2e/process.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                         const std::string& output_file, const std::vector<std::string>& extra_env) {
  std::vector<std::string> argv_store{program};
  argv_store.insert(argv_store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_store) argv.push_back(a.data());
  argv.push_back(nullptr);
  // extra_env replaces inherited variables of the same name.
  auto overridden = [&extra_env](const std::string& entry) {
    for (const std::string& e : extra_env)
      if (entry.compare(0, e.find('=') + 1, e, 0, e.find('=') + 1) == 0) return true;
    return false;
  };
  std::vector<std::string> env_store;
  for (char** e = environ; *e; ++e)
    if (!overridden(*e)) env_store.emplace_back(*e);
  env_store.insert(env_store.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> envp;
  for (auto& e : env_store) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    int out = open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = open("/dev/null", O_RDONLY);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    if (in >= 0) dup2(in, 0);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  return true;
}

bool ChildProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

int ChildProcess::stop(int timeout_ms) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int waited = 0; waited < timeout_ms; waited += 10) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return status;
}

TempDir::TempDir() {
  char templ[] = "/tmp/vornax_e2e_XXXXXX";
  const char* made = mkdtemp(templ);
  path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
  if (std::getenv("VORNAX_KEEP_TEMP")) return;  // for looking at what a test left behind
  std::error_code ec;
  if (path_ != "/tmp") std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  return static_cast<bool>(f);
}

std::string BinaryPath(const std::string& name) { return std::string(VORNAX_BINARY_DIR) + "/" + name; }

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
