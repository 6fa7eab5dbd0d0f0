// Both versions' layouts, byte by byte against datagrams built by hand, and
// the message buffer: its ends, and what it remembers about short and
// overlong datagrams.
#include "protocol/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "support/wire.h"

namespace {

std::string Written(const MessageBuffer& b) { return std::string(reinterpret_cast<const char*>(b.bytes()), b.length()); }

MessageBuffer Received(const std::string& bytes, bool skip_code = true) {
  MessageBuffer b;
  b.clear();
  std::memcpy(b.receiveArea(), bytes.data(), bytes.size());
  b.received(static_cast<uint16_t>(bytes.size()));
  if (skip_code) b.readByte();
  return b;
}

std::string Quad(uint64_t v) {
  std::string s;
  for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

TEST(Messages, Version28InputIsTheTwelveBytesOfOld) {
  MessageBuffer b;
  b.clear();
  WriteInput28(b, InputFrame{300, 90, ACT_FIRE, 1000, 2000}, 7);
  EXPECT_EQ(Written(b), std::string("\x68\x2C\x01\x5A\x00\x0A\xE8\x03\xD0\x07\x07\x00", 12));
  MessageBuffer r = Received(Written(b));
  InputFrame f;
  uint16_t ack = 0;
  ReadInput28(r, f, ack);
  EXPECT_EQ(f.want_y, 2000);
  EXPECT_EQ(ack, 7);
}

TEST(Messages, Version29ConnectIsPaddedSoTheChallengeIsNeverLarger) {
  MessageBuffer b;
  b.clear();
  ConnectMsg m;
  m.version = PROTOCOL_SESSIONS;
  m.name = ShortStr("Eve");
  m.team = 2;
  m.nonce = 0x0102030405060708ULL;
  WriteConnect(b, m);
  const std::string expected = Datagram().byte(MSG_CONNECT).byte(29).str("Eve").byte(2).raw(Quad(m.nonce)).raw(Quad(0));
  ASSERT_EQ(b.length(), CONNECT29_SIZE);
  EXPECT_EQ(Written(b).substr(0, expected.size()), expected);
  MessageBuffer challenge;
  challenge.clear();
  WriteChallenge(challenge, m.nonce, 99);
  EXPECT_EQ(challenge.length(), CHALLENGE_SIZE);
  EXPECT_LT(CHALLENGE_SIZE, CONNECT29_SIZE);

  ConnectMsg back;
  MessageBuffer r = Received(Written(b));
  ASSERT_TRUE(ReadConnect(r, back));
  EXPECT_EQ(back.nonce, m.nonce);
  EXPECT_EQ(back.name.view(), "Eve");
  MessageBuffer cut = Received(Written(b).substr(0, CONNECT29_SIZE - 1));
  EXPECT_FALSE(ReadConnect(cut, back)) << "a short version-29 connect is refused";
  MessageBuffer old = Received(ConnectMessage("Bob"));
  EXPECT_TRUE(ReadConnect(old, back)) << "a version-28 connect keeps its old shape";
  EXPECT_EQ(back.version, 28);
}

TEST(Messages, Version29InputCarriesTokenSequenceAndEarlierFrames) {
  Input29 m;
  m.log_ack = 5;
  m.sequence = 1000;
  m.count = 2;
  m.frames[0] = InputFrame{10, 90, ACT_NONE, 100, 200};
  m.frames[1] = InputFrame{9, 84, ACT_FIRE, 95, 190};
  MessageBuffer b;
  b.clear();
  WriteInput29(b, 0xAABBCCDDEEFF0011ULL, m);
  const std::string expected = Datagram()
                                   .byte(MSG_INPUT)
                                   .raw(Quad(0xAABBCCDDEEFF0011ULL))
                                   .word(5).word(1000).byte(2)
                                   .word(10).word(90).byte(ACT_NONE).word(100).word(200)
                                   .word(9).word(84).byte(ACT_FIRE).word(95).word(190);
  EXPECT_EQ(Written(b), expected);
  MessageBuffer r = Received(expected);
  EXPECT_EQ(r.readQuad(), 0xAABBCCDDEEFF0011ULL);
  Input29 back;
  ASSERT_TRUE(ReadInput29(r, back));
  EXPECT_EQ(back.frames[1].action, ACT_FIRE);
  MessageBuffer short_one = Received(expected.substr(0, expected.size() - 1));
  short_one.readQuad();
  EXPECT_FALSE(ReadInput29(short_one, back));
  MessageBuffer too_many = Received(Datagram().byte(MSG_INPUT).raw(Quad(1)).word(0).word(0).byte(5));
  too_many.readQuad();
  EXPECT_FALSE(ReadInput29(too_many, back));
}

TEST(Messages, SnapshotPartsMakeTheOldLayoutAndTheNewTail) {
  MessageBuffer b;
  b.clear();
  WriteSnapshotHead(b, WireSession{}, 77);
  WriteSnapshotCountdown(b, 0, 1);
  WriteSnapshotEntry(b, SnapshotEntry{3, PS_SPECTATOR, 4, 9, 1, 1, 1, 1});
  const uint8_t items[] = {1, 4};
  WriteSnapshotItems(b, items, 2);
  WriteSnapshotTail(b, PROTOCOL_VERSION, SnapshotTail{3, 100, 25, 25, 0, 2, 0});
  EXPECT_EQ(Written(b), Datagram().byte('n').word(77).word(0).byte(1).byte(3).byte(1).byte(4).byte(2).byte(1).byte(4)
                            .byte(3).byte(100).byte(25).byte(25).byte(0).byte(2).bytes());

  MessageBuffer v29;
  v29.clear();
  WriteSnapshotHead(v29, WireSession{PROTOCOL_SESSIONS, 42}, 77);
  WriteSnapshotCountdown(v29, 0, 0);
  WriteSnapshotItems(v29, items, 0);
  WriteSnapshotTail(v29, PROTOCOL_SESSIONS, SnapshotTail{3, 100, 25, 25, 0, 2, 513});
  MessageBuffer r = Received(Written(v29));
  EXPECT_EQ(r.readQuad(), 42u);
  uint16_t tick = 0, countdown = 0;
  uint8_t entries = 0;
  ReadSnapshotHead(r, tick, countdown, entries);
  EXPECT_EQ(ReadSnapshotItemCount(r), 0);
  SnapshotTail t;
  ReadSnapshotTail(r, PROTOCOL_SESSIONS, t);
  EXPECT_EQ(t.applied_sequence, 513);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.unread(), 0);
}

// Reads past the end of the datagram give zeros and empty strings, and the
// buffer remembers them.
TEST(MessageBuffer, ReadsPastTheDatagramGiveZerosAndAreRemembered) {
  MessageBuffer b = Received("h", false);
  EXPECT_EQ(b.readByte(), 'h');
  EXPECT_TRUE(b.ok());
  EXPECT_EQ(b.readWord(), 0);
  EXPECT_TRUE(b.bad_read);
  ShortStr s("junk");
  b.readString(s);
  EXPECT_TRUE(s.empty());
  // A string longer than the datagram reads cleared bytes.
  MessageBuffer longer = Received(std::string("\x0a" "abcd", 5), false);
  longer.readString(s);
  ASSERT_EQ(s.len, 10);
  EXPECT_EQ(std::string(s.ch, 4), "abcd");
  for (int i = 4; i < 10; ++i) EXPECT_EQ(s[i], 0);
  EXPECT_EQ(SenderOfCode('h'), Sender::Client);
  EXPECT_EQ(SenderOfCode('n'), Sender::Server);
  EXPECT_EQ(SenderOfCode('z'), Sender::Nobody);
}

// Nothing is written or read past the buffer's last position; a write that
// does not fit is remembered.
TEST(MessageBuffer, WritesAndReadsStopAtTheBuffersEnd) {
  MessageBuffer b;
  b.clear();
  b.pos = 4999;
  b.writeWord(0x1234);
  EXPECT_EQ(b.pos, 5001);
  EXPECT_EQ(b.data[4999], 0x34);
  EXPECT_EQ(b.data[5000], 0x12);
  EXPECT_TRUE(b.ok());

  b.clear();
  b.pos = 5000;
  b.writeWord(0xBEEF);  // one byte of room is not enough for a word
  EXPECT_EQ(b.pos, 5000);
  EXPECT_EQ(b.data[5000], 0);
  EXPECT_TRUE(b.overflowed);
  b.writeByte(7);  // but it is for a byte
  EXPECT_EQ(b.pos, 5001);
  EXPECT_EQ(b.data[5000], 7);
  b.writeByte(8);  // and nothing is written past the end
  EXPECT_EQ(b.pos, 5001);

  b.pos = 4999;
  EXPECT_EQ(b.readWord(), 7 << 8);
  b.pos = 5000;
  EXPECT_EQ(b.readWord(), 0);
  EXPECT_EQ(b.pos, 5000);
  EXPECT_EQ(b.readByte(), 7);
  EXPECT_EQ(b.readByte(), 0);
  EXPECT_EQ(b.pos, 5001);
  b.clear();
  EXPECT_TRUE(b.ok());

  // A string claiming 200 characters with only 10 positions left.
  b.pos = 4990;
  b.data[4990] = 200;
  ShortStr r;
  b.readString(r);
  EXPECT_EQ(r.len, 9);  // 5000 - position after the length byte
  EXPECT_EQ(b.pos, 5000);

  // The length byte always says 5; only what fits is stored; nothing past 5000.
  for (int room : {0, 1, 3, 6, 7}) {
    b.clear();
    b.pos = static_cast<uint16_t>(5001 - room);
    b.writeString(ShortStr("hello"));
    EXPECT_EQ(b.pos, 5001 - room + std::min(room, 6)) << room;
    EXPECT_EQ(b.overflowed, room < 6) << room;  // remembered only when something was cut
    if (room >= 1) {
      EXPECT_EQ(b.data[5001 - room], 5) << room;
    }
  }

  b.clear();
  const ShortStr full(std::string(255, 'x'));
  b.writeString(full);
  EXPECT_EQ(b.length(), 256);
  EXPECT_EQ(b.data[1], 255);
  b.pos = 1;
  b.readString(r);
  EXPECT_EQ(r, full);
}

}  // namespace
