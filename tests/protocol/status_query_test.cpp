// The status query's shared format: what is written reads back, and nothing
// short, long, foreign or malformed is taken.
#include "protocol/status_query.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

ServerStatus FullServer() {
  ServerStatus s;
  s.token = 0xDEADBEEF;
  s.name.assign(std::string(255, 'n'));
  s.map.assign(std::string(255, 'm'));
  s.version.assign(std::string(255, 'v'));
  s.team_play = 1;
  s.score_limit = 255;
  s.players = 24;
  s.max_players = 24;
  s.countdown_seconds = 15;
  s.protocol = PROTOCOL_VERSION;
  s.entry_count = MAX_SLOTS;
  for (int i = 0; i < MAX_SLOTS; ++i) {
    s.entries[i].name.assign(std::string(40, static_cast<char>('A' + i)));
    s.entries[i].team = static_cast<uint8_t>(i % 4);
    s.entries[i].frags = static_cast<uint8_t>(i);
    s.entries[i].ping_ms = static_cast<uint16_t>(1000 + i);
    s.entries[i].bot = static_cast<uint8_t>(i & 1);
  }
  return s;
}

TEST(StatusFormat, TheLongestAnswerIsCutToItsLimitsAndReadsBack) {
  uint8_t bytes[STATUS_ANSWER_LIMIT];
  const size_t length = WriteStatusAnswer(FullServer(), bytes);
  EXPECT_EQ(length, STATUS_ANSWER_LIMIT);
  ServerStatus back;
  ASSERT_TRUE(ReadStatusAnswer(bytes, length, back));
  EXPECT_EQ(back.token, 0xDEADBEEFu);
  EXPECT_EQ(back.name.len, STATUS_NAME_LIMIT);
  EXPECT_EQ(back.map.len, STATUS_MAP_LIMIT);
  EXPECT_EQ(back.version.len, STATUS_VERSION_LIMIT);
  EXPECT_EQ(back.countdown_seconds, 15);
  ASSERT_EQ(back.entry_count, MAX_SLOTS);
  EXPECT_EQ(std::string(back.entries[23].name.ch), std::string(STATUS_PLAYER_NAME_LIMIT, 'X'));
  EXPECT_EQ(back.entries[23].ping_ms, 1023);
  EXPECT_EQ(back.entries[23].bot, 1);
  EXPECT_EQ(back.entries[22].team, 2);
}

TEST(StatusFormat, CutOrLengthenedOrForeignAnswersAreRefused) {
  uint8_t bytes[STATUS_ANSWER_LIMIT + 8] = {};
  ServerStatus s = FullServer();
  s.entry_count = 3;
  const size_t length = WriteStatusAnswer(s, bytes);
  ServerStatus back;
  for (size_t cut = 0; cut < length; ++cut) EXPECT_FALSE(ReadStatusAnswer(bytes, cut, back)) << cut;
  EXPECT_FALSE(ReadStatusAnswer(bytes, length + 1, back)) << "a byte too many";
  for (size_t at : {0, 1, 4, 5}) {
    bytes[at] ^= 0x20;
    EXPECT_FALSE(ReadStatusAnswer(bytes, length, back)) << at;
    bytes[at] ^= 0x20;
  }
  // A count of 25 entries.
  ServerStatus empty;
  const size_t short_length = WriteStatusAnswer(empty, bytes);
  bytes[short_length - 1] = MAX_SLOTS + 1;
  EXPECT_FALSE(ReadStatusAnswer(bytes, short_length, back));
  bytes[short_length - 1] = 0;
  EXPECT_TRUE(ReadStatusAnswer(bytes, short_length, back));
}

TEST(StatusFormat, RandomBytesAreReadSafely) {
  std::mt19937 random(15);
  uint8_t valid[STATUS_ANSWER_LIMIT];
  const size_t length = WriteStatusAnswer(FullServer(), valid);
  ServerStatus back;
  for (int run = 0; run < 20000; ++run) {
    std::vector<uint8_t> bytes(valid, valid + length);
    bytes.resize(random() % (length + 1));
    for (int flips = 1 + random() % 4; flips > 0 && !bytes.empty(); --flips) bytes[random() % bytes.size()] = random();
    if (ReadStatusAnswer(bytes.data(), bytes.size(), back)) {
      EXPECT_LE(back.entry_count, MAX_SLOTS);
      uint8_t again[STATUS_ANSWER_LIMIT];
      EXPECT_EQ(WriteStatusAnswer(back, again), bytes.size());
    }
  }
}

TEST(StatusFormat, AQueryIsWholeOnlyAtItsFullSize) {
  uint8_t query[STATUS_QUERY_SIZE];
  WriteStatusQuery(0x0A0B0C0D, query);
  EXPECT_EQ(query[0], 's');
  EXPECT_EQ(query[STATUS_QUERY_SIZE - 1], 0);
  uint32_t token = 0;
  EXPECT_TRUE(ReadStatusQuery(query, STATUS_QUERY_SIZE, STATUS_QUERY_SIZE, token));
  EXPECT_EQ(token, 0x0A0B0C0Du);
  // Only the first bytes may be at hand: the real length decides.
  EXPECT_TRUE(ReadStatusQuery(query, STATUS_HEADER_SIZE, STATUS_QUERY_SIZE + 100, token));
  EXPECT_FALSE(ReadStatusQuery(query, STATUS_QUERY_SIZE, STATUS_QUERY_SIZE - 1, token));
  EXPECT_FALSE(ReadStatusQuery(query, STATUS_HEADER_SIZE - 1, STATUS_QUERY_SIZE, token));
  query[5] = STATUS_FORMAT + 1;
  EXPECT_FALSE(ReadStatusQuery(query, STATUS_QUERY_SIZE, STATUS_QUERY_SIZE, token));
}

}  // namespace
