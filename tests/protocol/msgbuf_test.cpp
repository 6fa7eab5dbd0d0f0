#include "protocol/msgbuf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

MessageBuffer Received(const std::string& bytes) {
  MessageBuffer b;
  b.clear();
  std::memcpy(b.receiveArea(), bytes.data(), bytes.size());
  return b;
}

TEST(MessageBuffer, ShortDatagramReadsZerosAndEmptyStrings) {
  MessageBuffer b = Received("h");
  EXPECT_EQ(b.readByte(), 'h');
  EXPECT_EQ(b.readWord(), 0);
  ShortStr s("junk");
  b.readString(s);
  EXPECT_TRUE(s.empty());
}

TEST(MessageBuffer, StringLongerThanDatagramReadsClearedBytes) {
  MessageBuffer b = Received(std::string("\x0a" "abcd", 5));
  ShortStr s;
  b.readString(s);
  ASSERT_EQ(s.len, 10);
  EXPECT_EQ(std::string(s.ch, 4), "abcd");
  for (int i = 4; i < 10; ++i) EXPECT_EQ(s[i], 0);
}

TEST(MessageBuffer, WordAtTheLastTwoPositionsOnly) {
  MessageBuffer b;
  b.clear();
  b.pos = 4999;
  b.writeWord(0x1234);
  EXPECT_EQ(b.pos, 5001);
  EXPECT_EQ(b.data[4999], 0x34);
  EXPECT_EQ(b.data[5000], 0x12);

  b.clear();
  b.pos = 5000;
  b.writeWord(0xBEEF);  // one byte of room is not enough for a word
  EXPECT_EQ(b.pos, 5000);
  EXPECT_EQ(b.data[5000], 0);
  b.writeByte(7);       // but it is for a byte
  EXPECT_EQ(b.pos, 5001);
  EXPECT_EQ(b.data[5000], 7);
  b.writeByte(8);       // and nothing is written past the end
  EXPECT_EQ(b.pos, 5001);

  b.pos = 4999;
  EXPECT_EQ(b.readWord(), 7 << 8);
  b.pos = 5000;
  EXPECT_EQ(b.readWord(), 0);
  EXPECT_EQ(b.pos, 5000);
  EXPECT_EQ(b.readByte(), 7);
  EXPECT_EQ(b.readByte(), 0);
  EXPECT_EQ(b.pos, 5001);
}

TEST(MessageBuffer, FullLengthStringRoundTrip) {
  MessageBuffer b;
  b.clear();
  ShortStr s(std::string(255, 'x'));
  b.writeString(s);
  EXPECT_EQ(b.length(), 256);
  EXPECT_EQ(b.data[1], 255);
  b.pos = 1;
  ShortStr r;
  b.readString(r);
  EXPECT_EQ(r, s);
}

TEST(MessageBuffer, StringWrittenWithZeroOneAndManyBytesOfRoom) {
  ShortStr s("hello");
  for (int room : {0, 1, 3, 6, 7}) {
    MessageBuffer b;
    b.clear();
    b.pos = static_cast<uint16_t>(5001 - room);
    b.writeString(s);
    // The length byte always says 5; only what fits is stored; nothing past 5000.
    EXPECT_EQ(b.pos, 5001 - room + std::min(room, 6)) << room;
    if (room >= 1) {
      EXPECT_EQ(b.data[5001 - room], 5) << room;
    }
  }
}

TEST(MessageBuffer, StringCutAtBufferEnd) {
  MessageBuffer b;
  b.clear();
  b.pos = 4990;
  b.data[4990] = 200;  // claims 200 characters with only 10 positions left
  ShortStr r;
  b.readString(r);
  EXPECT_EQ(r.len, 9);  // 5000 - position after the length byte
  EXPECT_EQ(b.pos, 5000);
}

}  // namespace
