#include "e2e/relay.h"

#include <arpa/inet.h>
#include <poll.h>

#include <algorithm>

#include "support/process.h"

LossyRelay::LossyRelay(uint16_t server_port, int clients, RelayFaults faults, uint32_t seed, RelayTap tap)
    : LossyRelay(server_port, clients, faults, seed, RelayTaps{std::move(tap), nullptr, nullptr}) {}

LossyRelay::LossyRelay(uint16_t server_port, int clients, RelayFaults faults, uint32_t seed, RelayTaps taps)
    : server_port_(server_port),
      faults_(faults),
      tap_(std::move(taps.arrived)),
      delivered_tap_(std::move(taps.delivered)),
      drop_(std::move(taps.drop)),
      rng_(seed),
      client_addr_(clients),
      client_known_(clients, false) {
  for (int i = 0; i < clients; ++i) links_.push_back(std::make_unique<UdpPeer>());
  pending_.reserve(4096);
  thread_ = std::thread([this] { run(); });
}

LossyRelay::~LossyRelay() {
  stop_ = true;
  thread_.join();
}

void LossyRelay::run() {
  std::vector<pollfd> fds(links_.size());
  for (size_t i = 0; i < links_.size(); ++i) fds[i] = {links_[i]->fd(), POLLIN, 0};
  while (!stop_) {
    poll(fds.data(), fds.size(), 1);
    for (size_t i = 0; i < links_.size(); ++i) pump(static_cast<int>(i));
    sendDue(NowMs());
  }
}

void LossyRelay::pump(int link) {
  uint8_t buf[6000];
  sockaddr_in from{};
  int n;
  while ((n = links_[link]->receiveInto(buf, sizeof buf, 0, &from)) >= 0) {
    bool from_server = ntohs(from.sin_port) == server_port_;
    if (!from_server) {
      client_addr_[link] = from;
      client_known_[link] = true;
    }
    if (tap_) tap_(link, !from_server, buf, n);
    if (drop_ && drop_(link, !from_server, buf, n)) {
      ++counts_.dropped;
      continue;
    }
    schedule(link, !from_server, buf, n);
  }
}

void LossyRelay::schedule(int link, bool to_server, const uint8_t* data, int len) {
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  std::uniform_int_distribution<int> delay(0, faults_.max_delay_ms);
  std::uniform_int_distribution<int> jitter(-faults_.jitter_ms, faults_.jitter_ms);
  const double loss = !to_server && faults_.loss_to_client >= 0 ? faults_.loss_to_client : faults_.loss;
  if (chance(rng_) < loss) {
    ++counts_.dropped;
    return;
  }
  int copies = 1;
  if (chance(rng_) < faults_.duplicate) {
    copies = 2;
    ++counts_.duplicated;
  }
  const int held = faults_.hold > 0 && chance(rng_) < faults_.hold ? faults_.hold_ms : 0;
  for (int c = 0; c < copies; ++c) {
    const int wait = std::max(0, faults_.delay_ms + jitter(rng_)) + held + delay(rng_);
    pending_.push_back({NowMs() + wait, link, to_server, std::vector<uint8_t>(data, data + len)});
  }
}

void LossyRelay::sendDue(long long now) {
  auto due = std::stable_partition(pending_.begin(), pending_.end(),
                                   [now](const Pending& p) { return p.due_ms > now; });
  for (auto it = due; it != pending_.end(); ++it) {
    const UdpPeer& s = *links_[it->link];
    if (it->to_server) {
      s.sendTo(LoopbackAddress(server_port_), it->data.data(), it->data.size());
    } else if (client_known_[it->link]) {
      s.sendTo(client_addr_[it->link], it->data.data(), it->data.size());
    }
    if (delivered_tap_) delivered_tap_(it->link, it->to_server, it->data.data(), static_cast<int>(it->data.size()));
    ++counts_.forwarded;
  }
  pending_.erase(due, pending_.end());
}
