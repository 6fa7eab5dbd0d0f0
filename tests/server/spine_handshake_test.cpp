// Version 29 through real UDP on loopback: the stateless challenge, the
// welcome with its token, the token in every datagram both ways, a proven
// connect before unproven ones, and -legacy 0. The jitter buffer of its
// inputs: every input applied once and in order through loss, repeats,
// reordering and bursts; the depth follows the jitter; a number that never
// comes is passed over.
#include <vector>

#include "protocol/messages.h"
#include "server/net/cookie.h"
#include "server/net/guard.h"
#include "server/net/input_queue.h"
#include "server_test.h"

namespace {

constexpr uint64_t kNonce = 0x1122334455667788ULL;

class Handshake : public RunningServer {
 protected:
  // The cookie of the challenge that answers a connect without one; 0 when none came.
  static uint64_t challenge(const Peer& peer, uint64_t nonce = kNonce) {
    peer.send(Connect29Message("Eve", nonce));
    GAMECYCLE();
    for (const auto& d : peer.drain())
      if (d.size() == CHALLENGE_SIZE && d[0] == MSG_CHALLENGE && Field(d, 1, 8) == nonce) return Field(d, 9, 8);
    return 0;
  }
  // The token of the welcome that answers a connect with this cookie; 0 when none came.
  static uint64_t welcome(const Peer& peer, uint64_t cookie, const std::string& name = "Eve", uint64_t nonce = kNonce) {
    peer.send(Connect29Message(name, nonce, cookie));
    GAMECYCLE();
    uint64_t token = 0;
    for (const auto& d : peer.drain())
      if (d.size() == WELCOME_SIZE && d[0] == MSG_WELCOME && Field(d, 1, 8) == nonce) token = Field(d, 9, 8);
    return token;
  }
  static uint64_t join(const Peer& peer, const std::string& name = "Eve", uint64_t nonce = kNonce) {
    return welcome(peer, challenge(peer, nonce), name, nonce);
  }
};

TEST(Cookie, SipHashGivesTheReferenceValues) {
  uint8_t key[16], message[15];
  for (uint8_t i = 0; i < 16; ++i) key[i] = i;
  for (uint8_t i = 0; i < 15; ++i) message[i] = i;
  EXPECT_EQ(SipHash24(key, message, 0), 0x726fdb47dd0e0e31ULL);
  EXPECT_EQ(SipHash24(key, message, 15), 0xa129ca6149be45e5ULL);
}

TEST_F(Handshake, AChallengeSmallerThanTheConnectThenAWelcomeAndEverythingSentWithTheToken) {
  const uint16_t lines = SV_LOGI;
  Peer eve;
  const uint64_t cookie = challenge(eve);
  ASSERT_NE(cookie, 0u);
  EXPECT_LT(CHALLENGE_SIZE, Connect29Message("Eve", kNonce).size());
  EXPECT_EQ(SV_CURCLIENTS, 0);  // nothing kept, nothing logged
  EXPECT_EQ(SV_LOGI, lines);
  // A connect cut short of its padding is no connect.
  eve.send(Connect29Message("Eve", kNonce, cookie).substr(0, CONNECT29_SIZE - 1));
  GAMECYCLE();
  EXPECT_TRUE(eve.drain().empty());
  EXPECT_EQ(SV_CURCLIENTS, 0);
  const uint64_t token = welcome(eve, cookie);
  ASSERT_NE(token, 0u);
  EXPECT_EQ(LogLine(), Line({EV_CONNECT, 1, 0}, "Eve"));
  // The same attempt again is welcomed again, nothing more.
  EXPECT_EQ(welcome(eve, cookie), token);
  EXPECT_EQ(SV_LOGI, lines + 1);
  // Snapshots: code, token, tick, the common part, a tail with the input applied.
  eve.send(Input29Message(token, 5, 90));
  GAMECYCLE();
  eve.send(Input29Message(token, 4, 10));  // older than the one applied
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].dir, 90);
  const auto snapshots = eve.drain(MSG_SNAPSHOT);
  ASSERT_FALSE(snapshots.empty());
  const std::string& s = snapshots.back();
  EXPECT_EQ(Field(s, 1, 8), token);
  EXPECT_EQ(Field(s, 9, 2), SV_PINGVAR);
  EXPECT_EQ(s[13], 1);  // one entry: slot 1
  EXPECT_EQ(s[14], 1);
  EXPECT_EQ(Field(s, s.size() - SNAPSHOT_TAIL29_SIZE, 1), 1u);
  EXPECT_EQ(Field(s, s.size() - 2, 2), 5u);
  // Game information and log batches carry the token too.
  eve.send(Input29Message(token, 6, 90, ACT_INFO));
  ticks(16);  // lines not acknowledged come again after 15 ticks
  bool info = false, log = false;
  for (const auto& d : eve.drain()) {
    if (d[0] == MSG_GAMEINFO) info = Field(d, 1, 8) == token;
    if (d[0] == MSG_LOG) log = Field(d, 1, 8) == token && Field(d, 9, 2) == SV_LOGI;
  }
  EXPECT_TRUE(info);
  EXPECT_TRUE(log);
  ExpectInvariants();
}

TEST_F(Handshake, ACookieOfAnotherSenderNonceOrTimeTakesNoSlot) {
  Peer eve, other;
  const uint64_t cookie = challenge(eve);
  for (const auto& [peer, nonce, value] : {std::tuple{&other, kNonce, cookie}, std::tuple{&eve, kNonce + 1, cookie},
                                          std::tuple{&eve, kNonce, cookie ^ 1}}) {
    peer->send(Connect29Message("Forged", nonce, value));
    GAMECYCLE();
    EXPECT_EQ(peer->drain().size(), 1u);  // a new challenge
    EXPECT_EQ(SV_CURCLIENTS, 0);
  }
  // A cookie is good for the rest of its two seconds and the two after them.
  ticks(2 * GUARD_SECOND);
  const uint64_t old = challenge(eve);
  ticks(static_cast<int>(2 * GUARD_SECOND * 2 - GUARD_CYCLE % (2 * GUARD_SECOND)));
  EXPECT_EQ(welcome(eve, old), 0u);
  EXPECT_EQ(SV_CURCLIENTS, 0);
  const uint64_t fresh = challenge(eve);
  ticks(static_cast<int>(2 * GUARD_SECOND));
  EXPECT_NE(welcome(eve, fresh), 0u);
}

TEST_F(Handshake, WithoutItsTokenNothingFromTheSessionsAddressCounts) {
  Peer victim;
  const uint64_t token = join(victim, "Victim");
  ASSERT_NE(token, 0u);
  victim.send(Input29Message(token, 1, 45));
  GAMECYCLE();
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.idle = 100;
  const uint16_t lines = SV_LOGI;
  for (const std::string& forged :
       {Input29Message(token + 1, 9, 270, ACT_SPECJOIN), InputMessage(0, 270, ACT_SPECJOIN, 0, 0, 0),
        Chat29Message(token ^ 0xFF00, "I am cheating, ban me"), ChatMessage("I am cheating"),
        Disconnect29Message(0), std::string("g"), std::string("h")})
    victim.send(forged);
  GAMECYCLE();
  EXPECT_EQ(slotOf(victim), 1);
  EXPECT_EQ(c.dir, 45);
  EXPECT_EQ(c.joined, 0);
  EXPECT_EQ(c.idle, 101);  // not even the time-out was put off
  EXPECT_EQ(SV_LOGI, lines);
  for (const auto& d : victim.drain()) EXPECT_EQ(d[0], MSG_SNAPSHOT);
  // With the token: chat, then disconnect.
  victim.send(Chat29Message(token, "hello"));
  GAMECYCLE();
  EXPECT_EQ(LogLine(), Line({EV_CHAT, 1}, "hello"));
  victim.send(Disconnect29Message(token));
  GAMECYCLE();
  EXPECT_EQ(LogLine(), Line({EV_DISCONNECT, 1}));
  // Without a slot an input is answered "not connected", in version 29 with its token echoed.
  victim.drain();
  victim.send(Input29Message(token, 2, 0));
  victim.send(InputMessage(0, 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(victim.drain(), (std::vector<std::string>{Datagram().byte(MSG_NOTCONNECTED).quad(token), "o"}));
}

TEST_F(Handshake, AProvenConnectTakesAHalfOpenSlotOrItsSendersOldSlot) {
  restart(manyClients());
  auto players = connectPeers(MAX_SLOTS - 1);
  Peer half_open, proven;
  half_open.send(ConnectMessage("Unproven"));
  GAMECYCLE();
  ASSERT_EQ(SV_CURCLIENTS, MAX_SLOTS);
  ASSERT_NE(join(proven, "Proven"), 0u);  // the half-open slot was a tick old
  EXPECT_EQ(slotOf(half_open), 0);
  EXPECT_EQ(slotOf(proven), MAX_SLOTS);
  // A sender that proves its address with 29 ends the version-28 session it had there.
  ASSERT_NE(join(*players[0], "Again", kNonce + 7), 0u);
  EXPECT_EQ(LogLine(1), Line({EV_DISCONNECT, 1}));
  EXPECT_EQ(LogLine(0), Line({EV_CONNECT, 1, 0}, "Again"));
  EXPECT_EQ(SV_CLIENTSLIST[1].version, PROTOCOL_SESSIONS);
  ExpectInvariants();
}

TEST_F(Handshake, StrangersGetOnlyRefusalsAndWithLegacyOffVersion28IsRefusedWith29) {
  Peer old_client, stranger, other;
  old_client.send(ConnectMessage("Old", 0, 27));
  for (uint8_t code : {MSG_INPUT, MSG_DISCONNECT, MSG_CHAT, MSG_SNAPSHOT, uint8_t(0), uint8_t(255)})
    stranger.send(std::string(1, static_cast<char>(code)));
  GAMECYCLE();
  EXPECT_EQ(old_client.drain(), std::vector<std::string>{"p\x1c"});
  EXPECT_EQ(stranger.drain(), std::vector<std::string>{"o"});  // input only
  EXPECT_EQ(SV_CURCLIENTS, 0);
  restart({"-legacy", "0"});
  old_client.send(ConnectMessage("Old"));
  other.send(ConnectMessage("Other", 0, 27));
  GAMECYCLE();
  EXPECT_EQ(old_client.drain(), std::vector<std::string>{"p\x1d"});
  EXPECT_EQ(other.drain(), std::vector<std::string>{"p\x1d"});
  EXPECT_EQ(SV_CURCLIENTS, 0);
  Peer eve;
  EXPECT_NE(join(eve), 0u);
}

// A client's datagram: number `newest` and the up to three before it (a
// client numbers from 1), each input marked by its number in want_x.
Input29 Datagram29(uint16_t newest, uint8_t count = INPUTS_PER_DATAGRAM) {
  if (newest >= 1 && newest < count) count = static_cast<uint8_t>(newest);
  Input29 m;
  m.sequence = newest;
  m.count = count;
  for (uint8_t k = 0; k < count; ++k) m.frames[k].want_x = static_cast<uint16_t>(newest - k);
  return m;
}

// One tick: what it applies, by number.
std::vector<uint16_t> Take(InputQueue& q, uint32_t tick) {
  InputFrame out[4];
  const int n = INPUT_QUEUETAKE(q, tick, out, 4);
  std::vector<uint16_t> numbers;
  for (int i = 0; i < n; ++i) numbers.push_back(out[i].want_x);
  return numbers;
}

// Feeds datagrams by tick of arrival, takes one tick after each tick, and
// returns every number applied, in order.
std::vector<uint16_t> Applied(const std::vector<std::vector<uint16_t>>& arrivals, uint32_t first_tick = 100) {
  InputQueue q;
  INPUT_QUEUERESET(q);
  std::vector<uint16_t> applied;
  for (size_t t = 0; t < arrivals.size() + 8; ++t) {
    const uint32_t tick = first_tick + static_cast<uint32_t>(t);
    if (t < arrivals.size())
      for (uint16_t newest : arrivals[t]) INPUT_QUEUESTORE(q, Datagram29(newest), tick);
    for (uint16_t n : Take(q, tick)) applied.push_back(n);
  }
  return applied;
}

std::vector<uint16_t> Numbers(uint16_t from, uint16_t to) {
  std::vector<uint16_t> v;
  for (uint16_t n = from; n != static_cast<uint16_t>(to + 1); ++n) v.push_back(n);
  return v;
}

TEST(InputQueue, LossRepeatsReorderingAndBurstsApplyEachInputOnceInOrder) {
  // Numbers 1..20, one a tick, datagrams 6, 7 and 8 lost: 9 repeats them.
  std::vector<std::vector<uint16_t>> lossy;
  for (uint16_t n = 1; n <= 20; ++n) lossy.push_back(n >= 6 && n <= 8 ? std::vector<uint16_t>{} : std::vector<uint16_t>{n});
  EXPECT_EQ(Applied(lossy), Numbers(1, 20));
  EXPECT_EQ(Applied({{1}, {3, 2}, {2}, {}, {5, 4}, {6}, {6}, {8}, {7}, {9}, {10}}), Numbers(1, 10));
  EXPECT_EQ(Applied({{1}, {2}, {}, {}, {}, {3, 4, 5, 6}, {7}, {8}, {9}}), Numbers(1, 9)) << "a burst after a stall";
}

TEST(InputQueue, AnInputThatNeverComesIsPassedOverAndALateOneIsDropped) {
  InputQueue q;
  INPUT_QUEUERESET(q);
  INPUT_QUEUESTORE(q, Datagram29(1, 1), 0);
  EXPECT_EQ(Take(q, 0), std::vector<uint16_t>{1});
  // Number 2 is lost in every copy: the datagrams that carry it are lost.
  INPUT_QUEUESTORE(q, Datagram29(6, 1), 1);
  INPUT_QUEUESTORE(q, Datagram29(7, 1), 2);
  std::vector<uint16_t> applied;
  for (uint32_t t = 1; t < 12; ++t)
    for (uint16_t n : Take(q, t)) applied.push_back(n);
  EXPECT_EQ(applied.front(), 6) << "3..5 never came either; 6 follows";
  INPUT_QUEUESTORE(q, Datagram29(2, 1), 12);
  EXPECT_TRUE(Take(q, 12).empty()) << "an input behind one applied is not applied";
  EXPECT_EQ(INPUT_QUEUELASTAPPLIED(q), 7);
}

TEST(InputQueue, DepthFollowsJitterAndNumbersWrap) {
  InputQueue q;
  INPUT_QUEUERESET(q);
  // One input a tick from number 65500 on; every third datagram two ticks
  // late, so it is overtaken: the depth becomes 2 and nothing is passed over.
  std::vector<std::vector<uint16_t>> by_tick(130);
  for (int i = 0; i < 100; ++i) by_tick[i + (i % 3 == 1 ? 2 : 0)].push_back(static_cast<uint16_t>(65500 + i));
  std::vector<uint16_t> applied;
  for (uint32_t t = 0; t < by_tick.size(); ++t) {
    for (uint16_t n : by_tick[t]) INPUT_QUEUESTORE(q, Datagram29(n, 1), t);
    for (uint16_t n : Take(q, t)) applied.push_back(n);
  }
  EXPECT_EQ(applied, Numbers(65500, 63)) << "every input once, in order, across the wrap";
  EXPECT_EQ(q.depth, 2);
  // A steady link again: the depth comes down once the old lateness is forgotten.
  for (uint32_t t = 130; t < 130 + INPUT_LATENESS_MEMORY + 4; ++t) {
    INPUT_QUEUESTORE(q, Datagram29(static_cast<uint16_t>(65500 + t - 30), 1), t);
    Take(q, t);
  }
  EXPECT_EQ(q.depth, 0);
}

}  // namespace
