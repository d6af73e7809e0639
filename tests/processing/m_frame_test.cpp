// M frames: element events decoded from the payload words and written as "M" lines.

#include <gtest/gtest.h>

#include <string>

#include "files/processed_records.h"
#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

std::string DatOf(const Frame& frame) {
  Pipeline p;
  p.Start();
  p.Process(frame);
  return p.Dat();
}

TEST(MFrame, EventDecoding) {
  struct Case {
    const char* name;
    std::array<std::uint16_t, 3> words;
    const char* line;
  };
  const Case cases[] = {
      {"element 34, largest valid D", EventWords({34, 65535, 1000, 4095, false}),
       "M 34 65535 1000 4095 \r\n"},
      {"element high bits", EventWords({63, 1, 2047, 1, false}), "M 63 1 2047 1 \r\n"},
      {"MEP flag", EventWords({5, 77, 12, 100, true}), "M 5 77 12 32868 \r\n"},
      {"W1 exactly 0x8000 has no flag", {0x8000, 0x0003, 9}, "M 0 9 3 0 \r\n"},
      {"W1 0x8001 has the flag", {0x8001, 0x0000, 9}, "M 8 9 0 32768 \r\n"},
      {"W1 0x8008: size 1 with the flag", {0x8008, 0x0000, 9}, "M 0 9 0 32769 \r\n"},
      {"W2 bits 15-14 are not the element", {0x0000, 0xC000 | (2 << 11) | 5, 9}, "M 2 9 5 0 \r\n"},
      {"size is W1 bits 14-3", {0x7FF8, 0x0000, 1}, "M 0 1 0 4095 \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DatOf(MakeMFrameFromWords(c.words)), c.line);
  }
}

TEST(MFrame, PayloadEndsInsideAnEvent) {
  const auto a = EventWords({4, 1000, 20, 300, false});
  const auto b = EventWords({9, 2000, 40, 500, true});
  const auto c = EventWords({18, 3000, 60, 700, false});
  struct Case {
    const char* name;
    Frame frame;
    const char* dat;
  };
  Frame sevenBytes = MakeMFrameFromWords(a);
  sevenBytes.push_back(0x12);
  Frame oneByte{'M', 0x55};
  std::vector<std::uint16_t> twoAndW1W2{a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1]};
  const Case cases[] = {
      {"7 payload bytes: second event partial", sevenBytes,
       "&&& M 4 1000 20 300 \r\nM 4 99999 20 300 \r\n"},
      {"two whole events and W1, W2 of a third", MakeMFrameFromWords(twoAndW1W2),
       "&&& M 4 1000 20 300 \r\nM 9 2000 40 33268 \r\nM 18 99999 60 700 \r\n"},
      {"a single payload byte", oneByte, "&&& M 0 99999 0 0 \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DatOf(c.frame), c.dat);
  }
}

TEST(MFrame, PartialEventStateDoesNotCarryIntoTheNextFrame) {
  Pipeline p;
  p.Start();
  p.Process(MakeMFrame(std::vector<MEvent>{{9, 5, 40, 500, false}}));
  p.Process(Frame{'M', 0x55});
  EXPECT_EQ(p.Dat(), "M 9 5 40 500 \r\n&&& M 0 99999 0 0 \r\n");
}

}  // namespace
}  // namespace vesk::test
