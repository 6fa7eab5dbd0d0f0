// Random, truncated and oversized datagrams from several senders: the server
// never crashes and its world holds together after every tick.
#include <cstring>
#include <memory>
#include <random>

#include "server_test.h"

namespace {

class RandomTraffic : public ServerTest {
 protected:
  std::mt19937 rng_{12345};

  char anyByte() { return static_cast<char>(rng_()); }

  // Mostly well-formed messages with random fields, some pure noise, some
  // cut short, some far longer than any message.
  std::string randomDatagram() {
    static const uint8_t codes[] = {MSG_CONNECT, MSG_DISCONNECT, MSG_INPUT, MSG_CHAT, MSG_GAMEINFO, MSG_SNAPSHOT, 0, 255};
    std::string b;
    switch (rng_() % 6) {
      case 0:
        b = ConnectMessage(std::string(rng_() % 40, anyByte()), static_cast<uint8_t>(rng_()),
                           rng_() % 4 ? PROTOCOL_VERSION : static_cast<uint8_t>(rng_()));
        break;
      case 1:
      case 2:
        b = InputMessage(static_cast<uint16_t>(rng_()), static_cast<uint16_t>(rng_()),
                         rng_() % 2 ? ACT_INFO : static_cast<uint8_t>(rng_()), static_cast<uint16_t>(rng_()),
                         static_cast<uint16_t>(rng_()), static_cast<uint16_t>(SV_LOGI - rng_() % 20));
        break;
      case 3:
        b = ChatMessage(std::string(rng_() % 256, anyByte()));
        break;
      default:
        b.resize(rng_() % 2 ? 1 + rng_() % 64 : 1 + rng_() % 5200);
        for (auto& ch : b) ch = anyByte();
        if (rng_() % 2) b[0] = static_cast<char>(codes[rng_() % 8]);
        break;
    }
    if (rng_() % 5 == 0) b.resize(rng_() % (b.size() + 1));  // truncated
    return b;
  }
};

TEST_F(RandomTraffic, RealSocketsFromSeveralSenders) {
  startServer({"-bots", "4"});
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < 6; ++i) peers.push_back(std::make_unique<Peer>());
  for (int tick = 0; tick < 1500; ++tick) {
    for (int k = rng_() % 8; k > 0; --k) {
      const std::string d = randomDatagram();
      if (!d.empty()) peers[rng_() % peers.size()]->send(d);
    }
    if (rng_() % 50 == 0) AddLine(Line({EV_SERVERINFO}, "noise"));
    GAMECYCLE();
    ASSERT_EQ(WorldFault(), "") << "tick " << tick;
    if (tick % 64 == 0)
      for (auto& p : peers) p->drain();
  }
}

TEST_F(RandomTraffic, DirectDispatchFromManySenders) {
  startServer({"-bots", "2", "-teams", "1"});
  // Loopback only: replies to these senders really go out.
  static const char* addresses[] = {"127.0.0.1", "127.0.0.2", "127.9.9.9", "", "not an address", "1.2.3"};
  for (int round = 0; round < 200000; ++round) {
    const std::string d = randomDatagram();
    NET_CLEARBUFFER();
    std::memcpy(NET_BUF.receiveArea(), d.data(), std::min<size_t>(d.size(), MessageBuffer::kSize));
    NET_HANDLEDATAGRAM(ShortStr(addresses[rng_() % 6]), static_cast<uint16_t>(1 + rng_() % 4),
                       static_cast<uint16_t>(std::min<size_t>(d.size(), MessageBuffer::kSize)));
    if (round % 7 == 0) GAMECYCLE();
    if (round % 997 == 0) SV_SCORELIMITHIT();
    ASSERT_EQ(WorldFault(), "") << "round " << round;
  }
}

}  // namespace
