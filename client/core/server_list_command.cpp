// `vornaxdm --list`: the server list on standard output, without a window.
#include <chrono>

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/connection.h"
#include "client/core/server_list.h"

namespace {

constexpr int COLLECT_MS = 1000;

uint32_t NowMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

struct Target {
  std::string host;
  uint16_t port;
};

// HOST[:PORT] with the port of config.cfg when none is given; false with a
// reason for anything else.
bool ParseTarget(const std::string& text, Target& t, std::string& err) {
  if (text.empty() || text[0] == '-') {
    err += "vornaxdm: --list takes HOST[:PORT] arguments, not \"" + text + "\"\n";
    return false;
  }
  const size_t colon = text.rfind(':');
  t.host = text.substr(0, colon);
  t.port = cfg.server_port;
  if (colon != std::string::npos) {
    const long port = ParsePort(text.substr(colon + 1));
    if (port < 0) {
      err += "vornaxdm: " + text + ": the port must be a number from 1 to 65535\n";
      return false;
    }
    t.port = static_cast<uint16_t>(port);
  }
  if (t.host.empty()) {
    err += "vornaxdm: " + text + ": no server name or address\n";
    return false;
  }
  return true;
}

// Answers for about a second; sooner when only named servers were asked
// and all of them answered.
void Collect(bool lan) {
  const uint32_t start = NowMs();
  ServerListSend(start);
  for (uint32_t waited = 0; waited < COLLECT_MS; waited = NowMs() - start) {
    ServerListWait(static_cast<int>(COLLECT_MS - waited));
    ServerListPoll(NowMs());
    if (!lan && ServerListNamedAnswered()) break;
  }
}

}  // namespace

int RunServerListCommand(const std::vector<std::string>& hosts, std::string& out, std::string& err) {
  LoadConfig(CONFIG_FILE);
  std::vector<Target> targets;
  for (const std::string& h : hosts) {
    Target t;
    if (!ParseTarget(h, t, err)) return 2;
    targets.push_back(t);
  }
  if (!ServerListStart()) {
    err += "vornaxdm: no UDP socket for the server list\n";
    return 1;
  }
  int code = 0;
  for (const Target& t : targets) {
    std::string reason;
    const std::string address = ResolveIPv4(t.host, reason);
    if (address.empty()) {
      err += "vornaxdm: " + t.host + ": its address was not found (" + reason + ")\n";
      code = 1;
      continue;
    }
    ServerListAddNamed(address, t.port);
  }
  const bool lan = hosts.empty();
  if (lan) {
    ServerListAddNamed(cfg.server_address, cfg.server_port);
    std::string problem;
    ServerListUseLan(LanTargetsFromEnvironment(problem));
    if (!problem.empty()) err += "vornaxdm: " + problem + "\n";
  }
  Collect(lan);
  out = ServerListTable();
  ServerListStop();
  return code;
}
