// Random, truncated and oversized datagrams from several senders: the server
// never crashes and its counters always equal the slots' own flags.
#include "spine_helpers.h"

#include <memory>
#include <cstring>
#include <random>

namespace spine {
namespace {

class RandomTraffic : public ServerTest {
 protected:
  std::mt19937 rng_{12345};

  uint8_t anyByte() { return static_cast<uint8_t>(rng_()); }

  // Mostly well-formed messages with random fields, some pure noise, some
  // cut short, some far longer than any message.
  Bytes randomDatagram() {
    static const uint8_t codes[] = {MSG_CONNECT, MSG_DISCONNECT, MSG_INPUT, MSG_CHAT, MSG_GAMEINFO, MSG_SNAPSHOT, 0, 255};
    Bytes b;
    switch (rng_() % 6) {
      case 0:
        b = connectMessage(Bytes(rng_() % 40, static_cast<char>(anyByte())), anyByte(),
                           rng_() % 4 ? PROTOCOL_VERSION : anyByte());
        break;
      case 1:
      case 2:
        b = inputMessage(static_cast<uint16_t>(rng_()), static_cast<uint16_t>(rng_()),
                         rng_() % 2 ? ACT_INFO : anyByte(), static_cast<uint16_t>(rng_()),
                         static_cast<uint16_t>(rng_()), static_cast<uint16_t>(SV_LOGI - rng_() % 20));
        break;
      case 3:
        b = chatMessage(Bytes(rng_() % 256, static_cast<char>(anyByte())));
        break;
      case 4:
        b = Bytes(1, static_cast<char>(codes[rng_() % 8]));
        for (size_t n = rng_() % 64; n > 0; --n) b.push_back(static_cast<char>(anyByte()));
        break;
      default:
        b = Bytes(1 + rng_() % 5200, 0);
        for (auto& ch : b) ch = static_cast<char>(anyByte());
        if (rng_() % 2) b[0] = static_cast<char>(codes[rng_() % 8]);
        break;
    }
    if (rng_() % 5 == 0) b.resize(rng_() % (b.size() + 1));  // truncated
    return b;
  }

  void checkInvariants() {
    SlotCounts n = countSlots();
    ASSERT_EQ(SV_CURCLIENTS, n.clients);
    ASSERT_EQ(SV_CURPLAYERS, n.players);
    ASSERT_EQ(SV_BOTC, n.bots);
    ASSERT_LE(SV_CURCLIENTS, MAX_SLOTS);
  }
};

TEST_F(RandomTraffic, RealSocketsFromSeveralSenders) {
  startServer({"-bots", "4"});
  std::vector<std::unique_ptr<UdpPeer>> peers;
  for (int i = 0; i < 6; ++i) peers.push_back(std::make_unique<UdpPeer>());
  for (int tick = 0; tick < 1500; ++tick) {
    for (int k = rng_() % 8; k > 0; --k) {
      Bytes d = randomDatagram();
      if (!d.empty()) peers[rng_() % peers.size()]->send(d);
    }
    if (rng_() % 50 == 0) SV_ADDMSG(line({EV_SERVERINFO}, "noise"));
    GAMECYCLE();
    ASSERT_NO_FATAL_FAILURE(checkInvariants()) << "tick " << tick;
    if (tick % 64 == 0)
      for (auto& p : peers) p->drain();
  }
}

TEST_F(RandomTraffic, DirectDispatchFromManySenders) {
  startServer({"-bots", "2", "-teams", "1"});
  // Loopback only: replies to these senders really go out.
  static const char* addresses[] = {"127.0.0.1", "127.0.0.2", "127.9.9.9", "", "not an address", "1.2.3"};
  for (int round = 0; round < 200000; ++round) {
    Bytes d = randomDatagram();
    NET_CLEARBUFFER();
    std::memcpy(NET_BUF.receiveArea(), d.data(), std::min<size_t>(d.size(), MessageBuffer::kSize));
    NET_HANDLEDATAGRAM(ShortStr(addresses[rng_() % 6]), static_cast<uint16_t>(1 + rng_() % 4));
    if (round % 7 == 0) GAMECYCLE();
    if (round % 997 == 0) SV_SCORELIMITHIT();
    ASSERT_NO_FATAL_FAILURE(checkInvariants()) << "round " << round;
  }
}

}  // namespace
}  // namespace spine
