// The jitter buffer of version-29 inputs: every input applied once and in
// order through loss, repeats, reordering and bursts; the depth follows the
// jitter; a number that never comes is passed over.
#include <gtest/gtest.h>

#include <vector>

#include "server/net/input_queue.h"

namespace {

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

TEST(InputQueue, LossOfThreeDatagramsInARowCostsNothing) {
  // Numbers 1..20, one a tick, datagrams 6, 7 and 8 lost: 9 repeats them.
  std::vector<std::vector<uint16_t>> arrivals;
  for (uint16_t n = 1; n <= 20; ++n) arrivals.push_back(n >= 6 && n <= 8 ? std::vector<uint16_t>{} : std::vector<uint16_t>{n});
  EXPECT_EQ(Applied(arrivals), Numbers(1, 20));
}

TEST(InputQueue, ReorderedAndRepeatedDatagramsApplyEachInputOnceInOrder) {
  std::vector<std::vector<uint16_t>> arrivals = {{1}, {3, 2}, {2}, {}, {5, 4}, {6}, {6}, {8}, {7}, {9}, {10}};
  EXPECT_EQ(Applied(arrivals), Numbers(1, 10));
}

TEST(InputQueue, ABurstAfterAStallIsWorkedOffWithoutLosingAny) {
  std::vector<std::vector<uint16_t>> arrivals = {{1}, {2}, {}, {}, {}, {3, 4, 5, 6}, {7}, {8}, {9}};
  const std::vector<uint16_t> applied = Applied(arrivals);
  EXPECT_EQ(applied, Numbers(1, 9));
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
