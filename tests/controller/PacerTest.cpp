#include "controller/Pacer.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using controller::Bytes;
using controller::Clock;

struct Delivery {
  Clock::time_point at;
  std::size_t count;
};

// Runs the pacer as the link does: wake at NextWake, take what is due.
std::vector<Delivery> Drain(controller::Pacer& pacer) {
  std::vector<Delivery> deliveries;
  for (int guard = 0; guard < 100000 && !pacer.Empty(); ++guard) {
    const auto now = *pacer.NextWake();
    const auto due = pacer.Due(now);
    if (!due.empty()) {
      deliveries.push_back({now, due.size()});
      pacer.Consume(due.size());
    }
  }
  EXPECT_TRUE(pacer.Empty());
  return deliveries;
}

TEST(Pacer, KeepsTheByteTimeOfTheLineInSmallGroups) {
  controller::Pacer pacer(9600);
  const auto start = Clock::now();
  pacer.Queue(Bytes(244, 0x55), start, 110ms);
  const auto deliveries = Drain(pacer);
  std::size_t total = 0;
  Clock::duration widest{};
  for (std::size_t i = 0; i < deliveries.size(); ++i) {
    total += deliveries[i].count;
    if (i > 0) {
      widest = std::max(widest, deliveries[i].at - deliveries[i - 1].at);
    }
  }
  EXPECT_EQ(total, 244u);
  EXPECT_LE(widest, 6ms);
  // Byte 243 starts 243 byte times after byte 0; the last one is on the line about 254 ms in.
  const auto last = deliveries.back().at - start + pacer.ByteTime();
  EXPECT_GT(last, 250ms);
  EXPECT_LT(last, 257ms);
}

TEST(Pacer, KeepsTheGapBetweenBurstsAndHonoursTheEarliestStart) {
  controller::Pacer pacer(9600);
  const auto start = Clock::now();
  pacer.Queue(Bytes(4, 0x01), start, 110ms);
  pacer.Queue(Bytes(4, 0x02), start, 110ms);     // asked at once: waits for the quiet gap
  pacer.Queue(Bytes(4, 0x03), start + 2s, 0ms);  // asked for later: starts then
  const auto deliveries = Drain(pacer);
  ASSERT_GE(deliveries.size(), 3u);
  const auto firstEnd = start + 4 * pacer.ByteTime();
  const auto secondStart = std::find_if(deliveries.begin(), deliveries.end(),
                                        [&](const Delivery& d) { return d.at > firstEnd; });
  ASSERT_NE(secondStart, deliveries.end());
  EXPECT_GE(secondStart->at - firstEnd, 110ms);
  EXPECT_GE(deliveries.back().at, start + 2s);
}

TEST(Pacer, NothingIsDueBeforeTheStart) {
  controller::Pacer pacer(115200);
  const auto start = Clock::now() + 1s;
  pacer.Queue(Bytes(10, 0x00), start, 0ms);
  EXPECT_TRUE(pacer.Due(start - 1ms).empty());
  EXPECT_EQ(pacer.Due(start).size(), 1u);
  EXPECT_EQ(pacer.Due(start + 10 * pacer.ByteTime()).size(), 10u);
}

}  // namespace
