#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

extern char** environ;

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                         const std::string& output_file) {
  std::vector<std::string> argv_store{program}, env_store;
  argv_store.insert(argv_store.end(), args.begin(), args.end());
  for (char** e = environ; *e; ++e) {  // env replaces inherited entries of the same name
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& mine : env)
      replaced |= entry.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
    if (!replaced) env_store.push_back(entry);
  }
  env_store.insert(env_store.end(), env.begin(), env.end());
  std::vector<char*> argv, envp;
  for (auto& a : argv_store) argv.push_back(a.data());
  for (auto& e : env_store) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  int out[2] = {-1, -1};
  if (output_file.empty() && pipe(out) != 0) return false;
  int in[2] = {-1, -1};
  if (input_pipe && pipe2(in, O_CLOEXEC) != 0) return false;
  output_file_ = output_file;
  text_.clear();
  exit_code_ = -1;
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    int fd = output_file.empty() ? out[1] : open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    if (input_pipe) {
      dup2(in[0], STDIN_FILENO);
    } else if (stdin_path.empty()) {
      close(STDIN_FILENO);
    } else {
      dup2(open(stdin_path.c_str(), O_RDWR), STDIN_FILENO);
    }
    for (int other = 3; other < 1024; ++other) close(other);
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (before_exec) before_exec();
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (input_pipe) {
    close(in[0]);
    closeInput();
    input_ = in[1];
  }
  if (output_file.empty()) {
    close(out[1]);
    pipe_ = out[0];
    fcntl(pipe_, F_SETFL, fcntl(pipe_, F_GETFL) | O_NONBLOCK);
  }
  return true;
}

const std::string& ChildProcess::output() {
  if (!output_file_.empty()) return text_ = ReadFile(output_file_);
  char buf[4096];
  ssize_t n;
  while (pipe_ >= 0 && (n = read(pipe_, buf, sizeof buf)) > 0) text_.append(buf, static_cast<size_t>(n));
  return text_;
}

std::vector<std::string> ChildProcess::lines(size_t count, int timeout_ms) {
  const long long deadline = NowMs() + timeout_ms;
  while (output(), static_cast<size_t>(std::count(text_.begin(), text_.end(), '\n')) < count && NowMs() < deadline)
    SleepMs(5);
  std::vector<std::string> out;
  std::istringstream in(text_);
  for (std::string line; std::getline(in, line) && !in.eof();) out.push_back(line);
  return out;
}

bool ChildProcess::input(const std::string& text) {
  // A program that is gone must not take the test down with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  size_t done = 0;
  while (input_ >= 0 && done < text.size()) {
    const ssize_t n = write(input_, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return input_ >= 0;
}

void ChildProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void ChildProcess::closeOutput() {
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
}

int ChildProcess::wait(int timeout_ms) {
  const long long deadline = NowMs() + timeout_ms;
  while (pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (NowMs() >= deadline) {
      return -1;
    } else {
      SleepMs(5);
    }
  }
  return exit_code_;
}

int ChildProcess::stop(int timeout_ms) {
  if (pid_ > 0) {
    signal(SIGTERM);
    if (wait(timeout_ms) == -1) {
      signal(SIGKILL);
      wait(60000);
    }
  }
  closeOutput();
  closeInput();
  return exit_code_;
}

void ChildProcess::signal(int sig) const {
  if (pid_ > 0) kill(pid_, sig);
}

int RunProgram(const std::string& program, const std::vector<std::string>& args, std::string& output,
               const std::vector<std::string>& env, int timeout_ms) {
  ChildProcess child;
  child.env = env;
  if (!child.start(program, args)) return -1;
  const int code = child.wait(timeout_ms);
  output = child.output();
  return code;
}

uint16_t ServerPort(ChildProcess& server, int timeout_ms) {
  static const std::regex port_line("UDP initialized! UDP port: ([0-9]+)");
  const long long deadline = NowMs() + timeout_ms;
  for (std::smatch m;; SleepMs(10)) {
    if (std::regex_search(server.output(), m, port_line)) return static_cast<uint16_t>(std::stoi(m[1]));
    if (NowMs() >= deadline) return 0;
  }
}

uint16_t StartServer(ChildProcess& server, const std::vector<std::string>& args, const std::string& dir) {
  if (!server.start(BinaryPath("vornaxdm_server"), args, dir, dir + "/server.out")) return 0;
  return ServerPort(server);
}

TempDir::TempDir(bool enter) {
  char pattern[] = "/tmp/vornax_test_XXXXXX";
  if (!mkdtemp(pattern)) std::abort();
  path_ = pattern;
  if (enter) {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
}

TempDir::~TempDir() {
  if (!previous_.empty()) std::filesystem::current_path(previous_);
  std::error_code ignored;
  if (!std::getenv("VORNAX_KEEP_TEMP")) std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  return static_cast<bool>(f);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  return WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string BinaryPath(const std::string& name) { return std::string(VORNAX_BINARY_DIR) + "/" + name; }

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    out.push_back(text.substr(start, end - start));
  return out;
}

int CountLines(const std::string& text, const std::string& pattern) {
  const std::regex whole(pattern);
  int n = 0;
  for (const std::string& line : SplitLines(text)) n += std::regex_match(line, whole);
  return n;
}

bool ServerBuilt() { return FileExists(BinaryPath("vornaxdm_server")); }
bool ClientBuilt() { return FileExists(BinaryPath("vornaxdm")); }
bool ProgramsBuilt() { return ServerBuilt() && ClientBuilt(); }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string RleBomb(uint32_t width, uint32_t height) {
  std::string b = "BM";
  auto put = [&b](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
  };
  put(54 + 8 + 2, 4);
  put(0, 4);
  put(54 + 8, 4);  // pixel data after a palette of two colours
  put(40, 4);
  put(width, 4);
  put(height, 4);
  put(1, 2);
  put(8, 2);
  put(1, 4);  // BI_RLE8
  put(2, 4);
  put(2835, 4);
  put(2835, 4);
  put(2, 4);
  put(0, 4);
  put(0x000000, 4);
  put(0xFFFFFF, 4);
  b += std::string("\0\1", 2);  // end of picture
  return b;
}

bool StartGame(ChildProcess& game, const std::string& dir, const std::vector<std::string>& args) {
  game.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "ALSOFT_DRIVERS=null"};
  return game.start(BinaryPath("vornaxdm"), args, dir, dir + "/client.out");
}
