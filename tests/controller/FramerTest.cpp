#include "controller/Framer.h"

#include <gtest/gtest.h>

#include <random>

#include "controller/Responder.h"

namespace {

using namespace std::chrono_literals;
using controller::Bytes;
using controller::Clock;
using Kind = controller::FramerEvent::Kind;

const Bytes kProbe = {0xAA, 0x11, 0x00, 0xEE};
const Bytes kSettings = {0xAA, 0x02, 0x09, 0x00, 0x00, 0x03, 0xE8, 0x01, 0, 0, 0, 0, 0xEE};
const Bytes kSetPassword = {0xAA, 0x13, '1', '2', '3', '4', 0xEE};

std::vector<controller::FramerEvent> FeedAll(const Bytes& bytes) {
  controller::Framer framer;
  std::vector<controller::FramerEvent> events;
  const auto now = Clock::now();
  framer.Feed(bytes, now, events);
  framer.Expire(now + 1s, events);
  return events;
}

std::vector<Kind> Kinds(const std::vector<controller::FramerEvent>& events) {
  std::vector<Kind> kinds;
  for (const auto& event : events) {
    kinds.push_back(event.kind);
  }
  return kinds;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

TEST(Framer, CutsStreamsIntoRequestsMalformedFramesAndJunk) {
  struct Case {
    const char* name;
    Bytes stream;
    std::vector<Kind> kinds;
  } cases[] = {
      {"one request", kProbe, {Kind::Request}},
      {"back to back",
       Join({kSettings, kSetPassword, kProbe}),
       {Kind::Request, Kind::Request, Kind::Request}},
      {"junk before a request", Join({{0x00, 0x55, 0xEE}, kProbe}), {Kind::Junk, Kind::Request}},
      {"unknown code, then a request",
       Join({{0xAA, 0x77, 0x00}, kProbe}),
       {Kind::Malformed, Kind::Request}},
      {"bad end byte, then a request",
       Join({{0xAA, 0x11, 0x00, 0xEF}, kProbe}),
       {Kind::Malformed, Kind::Request}},
      {"bad length, then a request",
       Join({{0xAA, 0x02, 0x08}, kProbe}),
       {Kind::Malformed, Kind::Request}},
      {"payload holds AA and EE", {0xAA, 0x13, 0xAA, 0xEE, 0xAA, 0xEE, 0xEE}, {Kind::Request}},
      {"truncated frame is abandoned", {0xAA, 0x02, 0x09, 0x00}, {Kind::Malformed}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Kinds(FeedAll(c.stream)), c.kinds);
  }
}

TEST(Framer, AbandonsAFrameLeftIdleButNotOneStillArriving) {
  controller::Framer framer;
  std::vector<controller::FramerEvent> events;
  const auto start = Clock::now();
  framer.Feed(Bytes(kSettings.begin(), kSettings.begin() + 5), start, events);
  framer.Feed(Bytes(kSettings.begin() + 5, kSettings.end()), start + 90ms, events);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::Request});
  EXPECT_FALSE(framer.Deadline());

  events.clear();
  framer.Feed(Bytes(kSettings.begin(), kSettings.begin() + 5), start + 1s, events);
  ASSERT_TRUE(framer.Deadline());
  framer.Expire(start + 1s + 50ms, events);
  EXPECT_TRUE(events.empty());
  // The rest comes too late: the stale start is dropped, the rest is no frame.
  framer.Feed(Bytes(kSettings.begin() + 5, kSettings.end()), start + 1s + 150ms, events);
  framer.Feed(kProbe, start + 1s + 160ms, events);
  EXPECT_EQ(Kinds(events), (std::vector<Kind>{Kind::Malformed, Kind::Junk, Kind::Request}));
}

// The test's own idea of a well-formed request and reply, written from the frame tables.
bool IsRequest(const Bytes& f) {
  if (f.size() < 4 || f[0] != 0xAA || f.back() != 0xEE) {
    return false;
  }
  switch (f[1]) {
    case 0x01:
    case 0x10:
    case 0x11:
    case 0x12:
      return f.size() == 4 && f[2] == 0;
    case 0x02:
      return f.size() == 13 && f[2] == 9;
    case 0x03:
      return f[2] % 16 == 0 && f[2] >= 16 && f[2] <= 80 && f.size() == f[2] + 4u;
    case 0x13:
      return f.size() == 7;
  }
  return false;
}

bool IsReply(const Bytes& f) {
  if (f.size() < 3 || f[0] != 0xAA || f.back() != 0xEE) {
    return false;
  }
  switch (f[1]) {
    case 0x20:
    case 0x21:
    case 0x24:
      return f.size() == 4 && f[2] == 0;
    case 0x22:
      return f.size() == 13 && f[2] == 9;
    case 0x23:
      return f[2] % 16 == 0 && f[2] <= 240 && f.size() == f[2] + 4u;
    case 0x12:
      return f.size() <= 8;
  }
  return false;
}

// Random bytes mixed with whole and damaged requests, so that some frames do form.
Bytes RandomStream(std::mt19937& random) {
  const Bytes pieces[] = {
      kProbe,
      kSettings,
      kSetPassword,
      {0xAA, 0x01, 0x00, 0xEE},
      {0xAA, 0x10, 0x00, 0xEE},
      {0xAA, 0x03, 0x10, 0x00, 0x05, '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE}};
  Bytes stream;
  const int parts = std::uniform_int_distribution(1, 40)(random);
  for (int i = 0; i < parts; ++i) {
    if (random() % 2 == 0) {
      Bytes piece = pieces[random() % std::size(pieces)];
      if (random() % 3 == 0) {
        piece[random() % piece.size()] = static_cast<std::uint8_t>(random());
      }
      if (random() % 4 == 0) {
        piece.resize(random() % piece.size());
      }
      stream.insert(stream.end(), piece.begin(), piece.end());
    } else {
      const int length = std::uniform_int_distribution(0, 30)(random);
      for (int j = 0; j < length; ++j) {
        stream.push_back(random() % 4 == 0 ? 0xAA : static_cast<std::uint8_t>(random()));
      }
    }
  }
  return stream;
}

TEST(FramerRandomInput, AccountsForEveryByteAndAnswersOnlyRealRequests) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const Bytes stream = RandomStream(random);
    controller::Framer framer;
    controller::Responder responder(controller::GeneratedState(40));
    std::vector<controller::FramerEvent> events;
    auto now = Clock::now();
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t chunk = std::min<std::size_t>(stream.size() - at, 1 + random() % 16);
      framer.Feed(std::span(stream).subspan(at, chunk), now, events);
      at += chunk;
      now += std::chrono::milliseconds(random() % 8 == 0 ? 150 : random() % 5);
    }
    framer.Expire(now + 1s, events);
    std::size_t covered = 0;
    for (const auto& event : events) {
      covered += event.bytes.size();
      if (event.kind != Kind::Request) {
        continue;
      }
      ASSERT_TRUE(IsRequest(event.bytes)) << controller::Hex(event.bytes);
      controller::AnswerKnobs knobs;
      knobs.mergeFirstPhones = random() % 2 == 0;
      for (const auto& reply : responder.Handle(*event.request, knobs).frames) {
        ASSERT_TRUE(IsReply(reply)) << controller::Hex(reply);
      }
    }
    EXPECT_EQ(covered, stream.size()) << "bytes lost or invented";
  }
}

TEST(FramerRandomInput, FindsEveryRequestAmongStrayBytes) {
  const Bytes requests[] = {kProbe, kSettings, kSetPassword, {0xAA, 0x12, 0x00, 0xEE}};
  std::mt19937 random(7);
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    Bytes stream;
    std::vector<Bytes> sent;
    for (int i = 0; i < 10; ++i) {
      const int stray = std::uniform_int_distribution(0, 12)(random);
      for (int j = 0; j < stray; ++j) {
        const auto byte = static_cast<std::uint8_t>(random());
        stream.push_back(byte == 0xAA ? 0x00 : byte);  // stray bytes never start a frame
      }
      sent.push_back(requests[random() % std::size(requests)]);
      stream.insert(stream.end(), sent.back().begin(), sent.back().end());
    }
    std::vector<Bytes> found;
    for (const auto& event : FeedAll(stream)) {
      if (event.kind == Kind::Request) {
        found.push_back(event.bytes);
      }
    }
    EXPECT_EQ(found, sent);
  }
}

}  // namespace
