// The deframer: wire bytes in, frames and aborted frames out, however the bytes are cut.

#include "processing/deframer.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support/frame_builder.h"

namespace vesk::test {
namespace {

std::string AsText(const Frame& f) {
  return std::string(f.begin(), f.end());
}

struct FramingCase {
  const char* name;
  std::string wire;
  std::vector<std::string> frames;
  std::string aborted;  // type bytes of the discarded frames
};

std::vector<FramingCase> FramingCases() {
  return {
      {"two escaped tildes then terminator", "~C~~~~~*", {"C~~"}, ""},
      {"star after an escaped tilde is payload", "~C~~*~*", {"C~*"}, ""},
      {"empty frame", "~L~*", {"L"}, ""},
      {"other letter after tilde starts nothing", "~Sabc~*~Xdef~*", {}, ""},
      {"double tilde then type outside starts a frame", "~~Mab~*", {"Mab"}, ""},
      {"terminator outside a frame is nothing", "~*~*ab~*", {}, ""},
      {"bytes before the first frame ignored", "noise*~ ~~ x~\r\n~Cok~*", {"Cok"}, ""},
      {"tilde and type inside a frame aborts and starts nothing", "~Cab~Mxy~*", {}, "C"},
      {"aborted L frame reported as L", "~Lab~Lcd~*~Cok~*", {"Cok"}, "L"},
      {"bad escape aborts", "~Mab~x~*~Cok~*", {"Cok"}, "M"},
      {"frame right after an abort needs its own tilde", "~Mab~xL1~*~L2~*", {"L2"}, "M"},
      {"third tilde starts a new escape", "~Ca~~~b~*", {}, "C"},
      {"partial frame at the end is held", "~Cok~*~Lpartial", {"Cok"}, ""},
  };
}

TEST(Deframer, WireToFrames) {
  for (const FramingCase& c : FramingCases()) {
    SCOPED_TRACE(c.name);
    const DeframeResult r = Deframe(ToBytes(c.wire));
    std::vector<std::string> frames;
    for (const auto& f : r.frames) frames.push_back(AsText(f));
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(std::string(r.aborted.begin(), r.aborted.end()), c.aborted);
  }
}

// All the edge cases and a mixed stream, one after the other.
Bytes EdgeCaseStream() {
  Bytes stream;
  for (const auto& c : FramingCases()) AppendText(stream, c.wire);
  AppendText(stream, "~*");  // close the held partial frame of the last case
  const Bytes mixed = MixedStream(6, 3, 5);
  stream.insert(stream.end(), mixed.begin(), mixed.end());
  return stream;
}

TEST(Deframer, SplitAtEveryOffsetGivesTheSameFrames) {
  const Bytes stream = EdgeCaseStream();
  const DeframeResult whole = Deframe(stream);
  ASSERT_GT(whole.frames.size(), 30u);
  ASSERT_FALSE(whole.aborted.empty());
  for (std::size_t cut = 1; cut < stream.size(); ++cut) {
    const std::size_t cuts[] = {cut};
    ASSERT_EQ(DeframeChunked(stream, cuts), whole) << "cut at " << cut;
  }
}

TEST(Deframer, WireFormRoundTripsEveryByteValue) {
  Bytes payload(1024);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7);
  Frame frame{'C'};
  frame.insert(frame.end(), payload.begin(), payload.end());
  const DeframeResult r = Deframe(Wire(frame));
  ASSERT_EQ(r.frames.size(), 1u);
  EXPECT_EQ(r.frames[0], frame);
  // The program's own encoder gives the same wire form.
  EXPECT_EQ(EncodeFrame('C', payload), Wire(frame));
}

// A frame of `length` bytes (type included) of payload 'a', then a short C frame.
Bytes LongFrameStream(std::size_t length, bool escapedTildeLast = false) {
  Bytes s = ToBytes("~L");
  s.resize(length + 1, 'a');
  if (escapedTildeLast) {
    s.back() = 0x7E;
    s.push_back(0x7E);
  }
  AppendText(s, "~*~Cok~*");
  return s;
}

TEST(Deframer, FrameLengthLimit) {
  struct Case {
    std::size_t length;
    bool escapedLast;
    std::size_t bigFrames;
    std::string aborted;
  };
  const Case cases[] = {
      {65535, false, 1, ""},  {65536, false, 1, ""}, {65536, true, 1, ""},
      {65537, false, 0, "L"}, {65537, true, 0, "L"}, {200000, false, 0, "L"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "length " << c.length << " escaped " << c.escapedLast);
    const Bytes s = LongFrameStream(c.length, c.escapedLast);
    const DeframeResult whole = Deframe(s);
    ASSERT_EQ(whole.frames.size(), c.bigFrames + 1);
    if (c.bigFrames == 1) {
      EXPECT_EQ(whole.frames[0].size(), c.length);
    }
    EXPECT_EQ(AsText(whole.frames.back()), "Cok");
    EXPECT_EQ(std::string(whole.aborted.begin(), whole.aborted.end()), c.aborted);
    for (std::size_t cut :
         {std::size_t{1}, std::size_t{4096}, c.length - 1, c.length, c.length + 1, c.length + 2}) {
      const std::size_t cuts[] = {cut};
      EXPECT_EQ(DeframeChunked(s, cuts), whole) << "cut at " << cut;
    }
  }
}

TEST(Deframer, ResetForgetsAPartialFrame) {
  Deframer d;
  std::vector<std::string> frames;
  auto onFrame = [&](std::span<const std::uint8_t> f) { frames.emplace_back(f.begin(), f.end()); };
  auto onAbort = [](std::uint8_t) {};
  const Bytes a = ToBytes("~Cpartial~");
  d.Feed(a.data(), a.size(), onFrame, onAbort);
  EXPECT_TRUE(d.InFrame());
  d.Reset();
  EXPECT_FALSE(d.InFrame());
  const Bytes b = ToBytes("*~Cok~*");
  d.Feed(b.data(), b.size(), onFrame, onAbort);
  EXPECT_EQ(frames, std::vector<std::string>{"Cok"});
}

}  // namespace
}  // namespace vesk::test
