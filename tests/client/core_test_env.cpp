#include "core_test_env.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/core/client_state.h"
#include "client/core/frame.h"
#include "client/core/labels.h"
#include "client/core/session.h"
#include "client/core/world.h"
#include "client/presentation/platform_headless.h"

std::string EventLine(std::initializer_list<uint8_t> codes, const std::string& text) {
  std::string line;
  for (uint8_t c : codes) line.push_back(static_cast<char>(c));
  return line + text;
}

void Deliver(const std::string& bytes, const std::string& sender) {
  client_buf.clear();
  std::memcpy(client_buf.receiveArea(), bytes.data(), std::min<size_t>(bytes.size(), MessageBuffer::kSize));
  HandleDatagram(sender);
}

std::string Snapshot(uint16_t tick, const std::vector<SnapEntry>& entries, const std::vector<uint8_t>& items,
                     OwnBlock own, uint16_t countdown) {
  Datagram d;
  d.byte('n').word(tick).word(countdown).byte(static_cast<uint8_t>(entries.size()));
  for (const SnapEntry& e : entries) {
    d.byte(e.slot).byte(e.state).byte(e.ping);
    if (e.state >= 2) d.byte(e.frags);
    if (e.state >= 3) d.word(e.x).word(e.y).word(e.dir);
    if (e.state >= 4) d.byte(e.gun);
  }
  d.byte(static_cast<uint8_t>(items.size()));
  for (uint8_t i : items) d.byte(i);
  d.byte(own.slot).byte(own.health).byte(own.armor).byte(own.ammo1).byte(own.ammo2).byte(own.gun);
  return d.bytes();
}

std::string MapText(const std::vector<std::string>& rows, const std::string& header) {
  std::string text = header;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) text += '\r';
    text += rows[i];
  }
  return text;
}

void LoadMap(const std::string& text) {
  std::memset(map_text, 0, sizeof map_text);
  std::memcpy(map_text + 1, text.data(), std::min<size_t>(text.size(), MAP_TEXT_SIZE - 1));
  ClearMap();
  DecodeMap();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

void CoreTest::SetUp() {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  old_cwd_ = cwd;
  std::string templ = (std::filesystem::temp_directory_path() / "vnxcore.XXXXXX").string();
  ASSERT_NE(::mkdtemp(templ.data()), nullptr);
  dir_ = templ;
  ASSERT_EQ(::chdir(dir_.c_str()), 0);
  CloseNetwork();
  HeadlessReset();
  ResetClientState();
  ResetLabels();
  timer1_enabled = false;
}

void CoreTest::TearDown() {
  CloseNetwork();
  ASSERT_EQ(::chdir(old_cwd_.c_str()), 0);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void SleepMs(int ms) { ::usleep(static_cast<useconds_t>(ms) * 1000); }

FakePeer::FakePeer() {
  fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) ADD_FAILURE() << "bind";
  socklen_t len = sizeof a;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
}

FakePeer::~FakePeer() { ::close(fd_); }

std::string FakePeer::Receive(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return "";
  char data[6000];
  sockaddr_in from{};
  socklen_t from_len = sizeof from;
  const ssize_t n = ::recvfrom(fd_, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
  if (n >= 0) sender_port_ = ntohs(from.sin_port);
  return n > 0 ? std::string(data, static_cast<size_t>(n)) : "";
}

std::vector<std::string> FakePeer::Drain() {
  std::vector<std::string> all;
  for (std::string d = Receive(0); !d.empty(); d = Receive(0)) all.push_back(d);
  return all;
}

void FakePeer::SendTo(uint16_t port, const std::string& bytes) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

std::string ChildProgram::PathOf(const std::string& name) { return std::string(VORNAX_BINARY_DIR) + "/" + name; }

bool ChildProgram::Start(const std::string& name, const std::vector<std::string>& args,
                         const std::string& output_file) {
  const std::string program = PathOf(name);
  if (!FileExists(program)) return false;
  pid_ = ::fork();
  if (pid_ == 0) {
    const int out = ::open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    const int null_in = ::open("/dev/null", O_RDONLY);
    if (null_in >= 0) ::dup2(null_in, 0);
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::setenv("ALSOFT_DRIVERS", "null", 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid_ > 0;
}

int ChildProgram::Wait(int seconds) {
  if (pid_ <= 0) return -1;
  for (int waited = 0; waited < seconds * 50; ++waited) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    SleepMs(20);
  }
  Kill();
  return -1;
}

void ChildProgram::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    SleepMs(20);
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}
