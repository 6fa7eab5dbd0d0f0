// What an operator's monitoring sees of the real server: the one-line probe
// and its exit codes, the metrics page (checked by promtool and scraped by a
// real Prometheus on loopback), the service manager's notify socket, and
// the systemd unit as systemd-analyze reads it.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "support/display.h"
#include "support/http.h"
#include "support/process.h"
#include "support/scripted_client.h"
#include "support/udp_peer.h"

namespace {

constexpr int kPatience = 20000;

std::string Probe(const std::vector<std::string>& args, int& code) {
  std::vector<std::string> all{"--probe"};
  all.insert(all.end(), args.begin(), args.end());
  std::string out;
  code = RunProgram(BinaryPath("vornaxdm_server"), all, out);
  return out;
}

int ProbeExitCode(uint16_t port) {
  int code = -1;
  Probe({"127.0.0.1:" + std::to_string(port), "2"}, code);
  return code;
}

// The value of the sample whose name and labels are exactly `series`, e.g.
// `vornaxdm_players` or `vornaxdm_datagrams_dropped_total{reason="malformed"}`;
// -1 when the page has no such line.
double Sample(const std::string& page, const std::string& series) {
  for (const std::string& line : SplitLines(page))
    if (line.rfind(series + " ", 0) == 0) return std::atof(line.c_str() + series.size() + 1);
  return -1;
}

// The server's metrics port from its "Metrics: http://ADDRESS:PORT/metrics" line.
uint16_t MetricsPort(ChildProcess& server) {
  static const std::regex line("Metrics: http://127\\.0\\.0\\.1:([0-9]+)/metrics");
  std::smatch m;
  WaitFor([&] { return std::regex_search(server.output(), m, line); }, kPatience);
  return m.empty() ? 0 : static_cast<uint16_t>(std::stoi(m[1]));
}

TEST(ServerHealth, TheProbeAnswersInOneLineWithItsExitCodes) {
  TempDir dir;
  ChildProcess server;
  // A control byte in the name must reach the operator's terminal as '?'.
  const uint16_t port = StartServer(server,
                                    {"-port", "0", "-name",
                                     "Health\x01"
                                     "check",
                                     "-maxplayers", "12"},
                                    dir.path());
  ASSERT_NE(port, 0);
  int code = -1;
  const std::string line = Probe({"127.0.0.1:" + std::to_string(port)}, code);
  EXPECT_EQ(code, 0) << line;
  EXPECT_TRUE(std::regex_match(line, std::regex("Health\\?check  map DefMap  players 0/12  ping [0-9]+ ms\n"))) << line;

  // A port where a socket is open but nothing answers: 1 within the time given.
  UdpPeer silent;
  const std::string quiet = Probe({"127.0.0.1:" + std::to_string(silent.port()), "0.3"}, code);
  EXPECT_EQ(code, 1) << quiet;
  EXPECT_NE(quiet.find("did not answer within 0.3 s"), std::string::npos) << quiet;
  EXPECT_EQ(silent.drain('s').size(), 1u);  // asked once in 0.3 s (again only after 0.5 s)

  for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                              {"127.0.0.1"},
                                              {":35700"},
                                              {"127.0.0.1:0"},
                                              {"127.0.0.1:65536"},
                                              {"127.0.0.1:1x"},
                                              {"127.0.0.1:35700", "soon"},
                                              {"127.0.0.1:35700", "-1"},
                                              {"127.0.0.1:35700", "1", "2"}}) {
    const std::string out = Probe(bad, code);
    EXPECT_EQ(code, 2) << out;
    EXPECT_NE(out.find("Usage: vornaxdm_server --probe HOST:PORT [SECONDS]"), std::string::npos) << out;
  }
  // The probe is the server binary itself: it runs where no game library is.
  const std::string libraries = RunCommand("ldd '" + BinaryPath("vornaxdm_server") + "'");
  EXPECT_EQ(libraries.find("SDL"), std::string::npos) << libraries;
  EXPECT_EQ(libraries.find("openal"), std::string::npos) << libraries;
}

TEST(ServerHealth, TheMetricsPageCountsTheGameAndPassesPromtool) {
  TempDir dir;
  ChildProcess server;
  server.input_pipe = true;  // the console, for a ban
  const uint16_t port = StartServer(server, {"-port", "0", "-bots", "2", "-metrics", "0"}, dir.path());
  ASSERT_NE(port, 0);
  const uint16_t metrics = MetricsPort(server);
  ASSERT_NE(metrics, 0) << server.output();

  ScriptedClient player("Eve", 0, port, ScriptedClient::kStand);
  ASSERT_TRUE(PlayUntil(kPatience, {&player}, [&] { return player.connected() && player.snapshots() > 20; }));
  // Two datagrams no client sends, and a burst of disconnects from one
  // address without a slot: far more than a tick takes from one address.
  UdpPeer stranger;
  stranger.sendTo(port, "");
  stranger.sendTo(port, "zz");
  for (int i = 0; i < 100; ++i) stranger.sendTo(port, "g");
  std::string page;
  ASSERT_TRUE(PlayUntil(kPatience, {&player}, [&] {
    page = HttpGet(metrics, "/metrics").body;
    return Sample(page, "vornaxdm_datagrams_dropped_total{reason=\"malformed\"}") >= 2 &&
           Sample(page, "vornaxdm_datagrams_received_total{code=\"g\"}") >= 100;
  })) << page;
  EXPECT_GE(Sample(page, "vornaxdm_datagrams_dropped_total{reason=\"address_limit\"}"), 1) << page;
  EXPECT_EQ(Sample(page, "vornaxdm_players"), 1) << page;
  EXPECT_EQ(Sample(page, "vornaxdm_bots"), 2) << page;
  EXPECT_EQ(Sample(page, "vornaxdm_half_open_slots"), 0) << page;
  EXPECT_EQ(Sample(page, "vornaxdm_map_info{map=\"DefMap\"}"), 1) << page;
  EXPECT_GE(Sample(page, "vornaxdm_datagrams_received_total{code=\"f\"}"), 1) << page;
  EXPECT_GE(Sample(page, "vornaxdm_datagrams_received_total{code=\"h\"}"), 20) << page;
  EXPECT_GE(Sample(page, "vornaxdm_datagrams_sent_total{code=\"n\"}"), 20) << page;
  EXPECT_GE(Sample(page, "vornaxdm_log_lines_total"), 3) << page;  // banner and a connect
  EXPECT_GT(Sample(page, "vornaxdm_ticks_total"), 20) << page;
  EXPECT_EQ(Sample(page, "vornaxdm_tick_duration_seconds_count"), Sample(page, "vornaxdm_ticks_total")) << page;
  EXPECT_EQ(Sample(page, "vornaxdm_bans"), 0) << page;
  ASSERT_TRUE(server.input("ban 10.9.8.7\n"));
  EXPECT_TRUE(WaitFor([&] { return Sample(HttpGet(metrics, "/metrics").body, "vornaxdm_bans") == 1; }, kPatience));

  EXPECT_EQ(HttpGet(metrics, "/").status, 404);
  EXPECT_EQ(HttpGet(metrics, "/metrics/x").status, 404);
  EXPECT_EQ(HttpExchange(metrics, "POST /metrics HTTP/1.0\r\n\r\n").status, 405);
  EXPECT_EQ(HttpExchange(metrics, "GET /metrics" + std::string(3000, 'x')).status, 400);

  // Clients that connect and say nothing, or half a request, take every
  // connection the page serves: the game goes on (the probe is answered),
  // and the page is served again once they are given up.
  std::vector<int> silent;
  for (int i = 0; i < 6; ++i) silent.push_back(ConnectTcp(metrics));
  (void)send(silent[0], "GET /met", 8, MSG_NOSIGNAL);
  EXPECT_EQ(ProbeExitCode(port), 0);
  EXPECT_TRUE(WaitFor([&] { return HttpGet(metrics, "/metrics", 1000).status == 200; }, kPatience));
  for (int fd : silent) close(fd);
  EXPECT_EQ(server.stop(), 0);

  // The page as Prometheus's own checker reads it.
  if (!OnPath("promtool")) GTEST_SKIP() << "promtool is not installed (tools/install_deps.sh installs prometheus)";
  ASSERT_TRUE(WriteFile(dir / "page.txt", page));
  std::string verdict;
  EXPECT_EQ(RunProgram("/bin/sh", {"-c", "promtool check metrics < '" + dir / "page.txt" + "'"}, verdict), 0)
      << verdict << page;
  EXPECT_EQ(verdict, "") << "promtool had remarks";
}

TEST(ServerHealth, ARealPrometheusScrapesALiveServer) {
  if (!OnPath("prometheus")) GTEST_SKIP() << "prometheus is not installed (tools/install_deps.sh installs it)";
  TempDir dir;
  ChildProcess server;
  ASSERT_NE(StartServer(server, {"-port", "0", "-metrics", "127.0.0.1:0"}, dir.path()), 0);
  const uint16_t metrics = MetricsPort(server);
  ASSERT_NE(metrics, 0) << server.output();
  ASSERT_TRUE(WriteFile(dir / "prometheus.yml",
                        "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                        "scrape_configs:\n  - job_name: vornaxdm\n    static_configs:\n"
                        "      - targets: ['127.0.0.1:" +
                            std::to_string(metrics) + "']\n"));
  const uint16_t web = FreeTcpPort();
  ChildProcess prometheus;
  ASSERT_TRUE(
      prometheus.start("/usr/bin/env",
                       {"prometheus", "--config.file=" + dir / "prometheus.yml", "--storage.tsdb.path=" + dir / "data",
                        "--web.listen-address=127.0.0.1:" + std::to_string(web)},
                       dir.path(), dir / "prometheus.out"));
  constexpr int kScrapePatience = 90000;
  std::string up;
  EXPECT_TRUE(WaitFor(
      [&] {
        up = HttpGet(web, "/api/v1/query?query=up%7Bjob%3D%22vornaxdm%22%7D", 2000).body;
        return up.find("\"1\"]") != std::string::npos;
      },
      kScrapePatience))
      << up << ReadFile(dir / "prometheus.out");
  std::string ticks;
  EXPECT_TRUE(WaitFor(
      [&] {
        ticks = HttpGet(web, "/api/v1/query?query=vornaxdm_ticks_total", 2000).body;
        return ticks.find("\"__name__\":\"vornaxdm_ticks_total\"") != std::string::npos;
      },
      kScrapePatience))
      << ticks;
  prometheus.stop(10000);
  EXPECT_EQ(server.stop(), 0);
}

// A datagram socket standing in for the service manager's notify socket.
class NotifySocket {
 public:
  // A path in dir, or with abstract set an abstract name ("@..." in NOTIFY_SOCKET).
  NotifySocket(const std::string& path, bool abstract) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    path.copy(at.sun_path + (abstract ? 1 : 0), sizeof at.sun_path - 2);
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&at), length) == 0;
    name_ = abstract ? "@" + path : path;
  }
  ~NotifySocket() { close(fd_); }
  bool ok() const { return ok_; }
  std::string variable() const { return "NOTIFY_SOCKET=" + name_; }
  // Every message that came, in order, one a line.
  const std::string& heard() {
    char buf[256];
    ssize_t n;
    while ((n = recv(fd_, buf, sizeof buf, MSG_DONTWAIT)) > 0)
      heard_ += std::string(buf, static_cast<size_t>(n)) + "\n";
    return heard_;
  }

 private:
  int fd_ = -1;
  bool ok_ = false;
  std::string name_, heard_;
};

TEST(ServerHealth, TheServiceManagerHearsReadyKeepAlivesAndStopping) {
  TempDir dir;
  NotifySocket manager(dir / "notify", false);
  ASSERT_TRUE(manager.ok());
  ChildProcess server;
  server.env = {manager.variable(), "WATCHDOG_USEC=3000000"};
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"), {"-port", "0"}, dir.path(), dir / "server.out"));
  ASSERT_TRUE(WaitFor([&] { return manager.heard().find("READY=1") != std::string::npos; }, kPatience));
  // Ready means bound and answering.
  const uint16_t port = ServerPort(server);
  EXPECT_EQ(ProbeExitCode(port), 0);
  EXPECT_TRUE(WaitFor([&] { return Occurrences(manager.heard(), "WATCHDOG=1") >= 2; }, kPatience)) << manager.heard();
  EXPECT_EQ(manager.heard().rfind("READY=1\nWATCHDOG=1\n", 0), 0u) << manager.heard();
  EXPECT_EQ(server.stop(), 0);
  EXPECT_EQ(manager.heard().substr(manager.heard().size() - 11), "STOPPING=1\n") << manager.heard();

  // An abstract socket name; no keep-alives when none are asked for.
  NotifySocket abstract("vornax-notify-" + std::to_string(getpid()), true);
  ASSERT_TRUE(abstract.ok());
  ChildProcess second;
  second.env = {abstract.variable(), "WATCHDOG_USEC="};
  ASSERT_TRUE(second.start(BinaryPath("vornaxdm_server"), {"-port", "0"}, dir.path(), dir / "second.out"));
  ASSERT_TRUE(WaitFor([&] { return abstract.heard().find("READY=1") != std::string::npos; }, kPatience));
  ASSERT_NE(ServerPort(second), 0);
  EXPECT_EQ(second.stop(), 0);
  EXPECT_EQ(abstract.heard(), "READY=1\nSTOPPING=1\n");
}

TEST(ServerHealth, TheSystemdUnitVerifies) {
  if (!OnPath("systemd-analyze")) GTEST_SKIP() << "systemd-analyze is not installed (package systemd)";
  TempDir dir;
  std::string unit = ReadFile(std::string(VORNAX_SOURCE_DIR) + "/dist/vornaxdm-server@.service");
  for (const char* wanted :
       {"Type=notify\n", "EnvironmentFile=/etc/vornaxdm/%i.conf\n", "DynamicUser=yes\n",
        "StateDirectory=", "LogsDirectory=", "RuntimeDirectory=", "ProtectSystem=strict\n", "NoNewPrivileges=yes\n",
        "RestrictAddressFamilies=AF_INET AF_UNIX\n", "WatchdogSec=", "-control ${RUNTIME_DIRECTORY}/"})
    EXPECT_NE(unit.find(wanted), std::string::npos) << wanted;
  // The binary ExecStart names must exist: the one just built stands in.
  const std::string installed = "ExecStart=/usr/bin/vornaxdm_server ";
  ASSERT_NE(unit.find(installed), std::string::npos);
  unit.replace(unit.find(installed), installed.size(), "ExecStart=" + BinaryPath("vornaxdm_server") + " ");
  ASSERT_TRUE(WriteFile(dir / "vornaxdm-server@.service", unit));
  std::string remarks;
  EXPECT_EQ(RunProgram("/usr/bin/env", {"systemd-analyze", "verify", "--man=no", dir / "vornaxdm-server@game1.service"},
                       remarks),
            0)
      << remarks;
  EXPECT_EQ(remarks, "");

  // The server takes every option ExecStart gives it, as systemd expands them.
  const size_t exec = unit.find("ExecStart=") + 10;
  std::string line = unit.substr(exec, unit.find('\n', exec) - exec);
  const std::pair<std::string, std::string> expansions[] = {{"${VORNAXDM_NAME}", "Game"},
                                                            {"$VORNAXDM_OPTIONS", "-port 0"},
                                                            {"${LOGS_DIRECTORY}", dir.path()},
                                                            {"${RUNTIME_DIRECTORY}", dir.path()},
                                                            {"%i", "game1"}};
  for (const auto& [from, to] : expansions)
    for (size_t at = line.find(from); at != std::string::npos; at = line.find(from)) line.replace(at, from.size(), to);
  std::vector<std::string> words;
  for (size_t at = 0, end; at < line.size(); at = end + 1) {
    end = std::min(line.find(' ', at), line.size());
    words.push_back(line.substr(at, end - at));
  }
  ChildProcess server;
  ASSERT_TRUE(
      server.start(words[0], std::vector<std::string>(words.begin() + 1, words.end()), dir.path(), dir / "server.out"));
  const uint16_t port = ServerPort(server);
  ASSERT_NE(port, 0) << ReadFile(dir / "server.out");
  EXPECT_EQ(ProbeExitCode(port), 0);
  EXPECT_TRUE(FileExists(dir / "control"));
  EXPECT_EQ(server.stop(), 0);
  EXPECT_EQ(ReadFile(dir / "server.out").find("vornaxdm_server:"), std::string::npos) << ReadFile(dir / "server.out");
  EXPECT_NE(ReadFile(dir / "game1.log").find("start: \"Game\", port "), std::string::npos);
}

}  // namespace
