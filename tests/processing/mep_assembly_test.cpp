// The multi-element particle assembly: element events in, shadowgram rows and the particle
// count out.

#include "processing/mep_assembly.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

struct Ev {
  std::uint32_t e, s, d;
  bool mep = false;
};
using Events = std::vector<Ev>;

std::vector<std::uint32_t> Words(const Events& events) {
  std::vector<std::uint32_t> out;
  for (const Ev& ev : events) out.insert(out.end(), {ev.e, ev.s, ev.d, ev.mep ? 0x8123u : 0x123u});
  return out;
}

// Each row as its shaded element numbers ("5 6 7"), "-" for an empty row.
std::vector<std::string> Rows(const Pipeline& p) {
  std::vector<std::string> out;
  for (const GridRow& row : p.GridRows()) {
    std::string text;
    for (int e = 0; e < kGridElements; ++e) {
      if (!row.test(e)) continue;
      if (!text.empty()) text += ' ';
      text += std::to_string(e);
    }
    out.push_back(text.empty() ? "-" : text);
  }
  return out;
}

using R = std::vector<std::string>;

class Assembly : public ::testing::Test {
 protected:
  Pipeline p;
  MepAssembly mep{p.results};
  void Frame(const Events& events, bool usable = true) { mep.Consume(Words(events), usable); }
};

TEST_F(Assembly, ParticleAcrossElementsAndFrames) {
  Frame({{10, 1000, 3, true}, {11, 1001, 3}});
  Frame({{12, 1002, 3}, {13, 1003, 1}, {9, 998, 2}});
  EXPECT_EQ(Rows(p), R{});
  EXPECT_EQ(mep.HeldRows(), 7u);
  Frame({{20, 5, 1, true}});
  EXPECT_EQ(Rows(p), (R{"-", "-", "9", "9", "10", "10 11", "10 11 12", "11 12 13", "12"}));
  mep.Finish();
  EXPECT_EQ(Rows(p).back(), "20");
  EXPECT_EQ(p.results.MepParticles(), 2u);
}

struct Case {
  const char* name;
  std::vector<Events> frames;
  R rows;
  std::uint32_t particles;
  int scale = 1;
  int maxMepLength = 1000;
};

TEST_F(Assembly, KnownSequences) {
  const Case cases[] = {
      {"D of 0 shades one row", {{{9, 10, 0, true}}}, {"-", "-", "9"}, 1},
      {"time stamps modulo 65536",
       {{{5, 65535, 3, true}, {6, 0, 2}}, {{7, 0, 1}}},
       {"-", "-", "5", "5 6 7", "5 6"},
       1},
      {"step above 32000 starts over without a gap",
       {{{3, 100, 2, true}, {4, 32101, 1}}},
       {"-", "-", "3", "3", "4"},
       1},
      {"an element that began earlier goes in front",
       {{{3, 100, 1, true}, {4, 98, 2}}},
       {"-", "-", "4", "4", "3"},
       1},
      {"earlier across the wrap", {{{3, 0, 1, true}, {4, 65535, 1}}}, {"-", "-", "4", "3"}, 1},
      {"more than 32000 before the origin starts over",
       {{{3, 40000, 1, true}, {4, 7999, 1}}},
       {"-", "-", "3", "4"},
       1},
      {"negative offsets with scaling round down",
       {{{3, 100, 1, true}, {4, 97, 1}}},
       {"-", "-", "4", "-", "3"},
       1,
       2},
      {"D above MaxMepLength is cut", {{{8, 0, 50, true}}}, {"-", "-", "8", "8", "8"}, 1, 1, 3},
      {"MaxMepLength 0 still shades one row", {{{8, 0, 50, true}}}, {"-", "-", "8"}, 1, 1, 0},
      {"element 35 and above rejected", {{{35, 10, 1, true}, {63, 10, 1}, {34, 10, 1}}}, {"34"}, 0},
      {"a rejected element inside a particle",
       {{{33, 10, 1, true}, {40, 11, 1}, {34, 11, 1}}},
       {"-", "-", "33", "34"},
       1},
      {"the partial last event (S 99999) is not placed",
       {{{2, 10, 1, true}, {3, 99999, 4}}},
       {"-", "-", "2"},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline local;
    {
      MepAssembly m(local.results);
      m.SetSettings(c.maxMepLength, c.scale);
      for (const Events& f : c.frames) m.Consume(Words(f), true);
    }  // the end of the scan writes out the rest
    EXPECT_EQ(Rows(local), c.rows);
    EXPECT_EQ(local.results.MepParticles(), c.particles);
  }
}

TEST_F(Assembly, ParticleIsConfinedToMaxMepLengthAroundItsOrigin) {
  // Offsets up to 32000 stay in the particle, but draw only within 1000 ticks of the origin.
  Frame({{3, 100, 1, true}, {4, 1099, 5}, {5, 32100, 1}, {6, 65000, 800}, {7, 64000, 1}});
  mep.Finish();
  const R rows = Rows(p);
  // Element 6 starts 636 ticks before the origin; 7 lies 1636 before it and is cut.
  ASSERT_EQ(rows.size(), 2u + 636u + 1001u);
  EXPECT_EQ(rows[2], "6");
  EXPECT_EQ(rows[2 + 636], "3 6");
  EXPECT_EQ(rows[2 + 636 + 163], "6");
  EXPECT_EQ(rows[2 + 636 + 164], "-");
  EXPECT_EQ(rows[2 + 636 + 999], "4");
  EXPECT_EQ(rows.back(), "4");  // 1099 + 5 ticks cut at 1000
  EXPECT_EQ(p.results.MepParticles(), 1u);
}

TEST_F(Assembly, RandomTimeStampsStayBounded) {
  std::uint32_t x = 12345;
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  std::size_t events = 0;
  for (int f = 0; f < 200; ++f) {
    Events frame;
    for (int i = 0; i < 20; ++i, ++events)
      frame.push_back({next() % 35, next() & 0xFFFF, next() % 1000, next() % 16 == 0});
    Frame(frame);
  }
  mep.Finish();
  // Each particle or run holds at most 2 x 1000 + 1 rows and its separator.
  EXPECT_LT(p.GridRows().size(), events * 2003);
  EXPECT_LT(p.GridRows().size(), 4000000u);
}

TEST_F(Assembly, UnusableFrameWritesOutAndClosesTheParticle) {
  Frame({{5, 100, 3, true}});
  Frame({{6, 101, 2, true}}, false);  // dropped: no rows, no count
  EXPECT_EQ(Rows(p), (R{"-", "-", "5", "5", "5"}));
  Frame({{7, 102, 1}});  // no particle open: a run of its own
  mep.Finish();
  EXPECT_EQ(Rows(p), (R{"-", "-", "5", "5", "5", "7"}));
  EXPECT_EQ(p.results.MepParticles(), 1u);
}

// Through the frame processor: M frame bytes in, rows out; unusable frames add nothing.
TEST(AssemblyFromFrames, OnlyUsableFramesReachTheGrid) {
  Pipeline p;
  p.Start();
  const MEvent worked[] = {{5, 100, 3, 10, true}, {6, 101, 2, 10, false}, {7, 101, 1, 10, false}};
  const MEvent bad[] = {{40, 200, 3, 10, true}};        // element above 34: frame invalid
  const MEvent tooLong[] = {{4, 200, 1001, 10, true}};  // D above 1000: frame invalid
  const MEvent next[] = {{1, 300, 1, 10, true}};
  p.Process(MakeMFrame(worked));
  p.Process(MakeMFrame(bad));  // closes the particle
  p.Process(MakeMFrame(tooLong));
  p.Change([](ScanSettings& s) { s.gridPaused = true; });
  p.Process(MakeMFrame(next));
  EXPECT_EQ(Rows(p), (R{"-", "-", "5", "5 6 7", "5 6"}));
  EXPECT_EQ(p.results.MepParticles(), 1u);
  p.Change([](ScanSettings& s) { s.gridPaused = false; });
  p.Process(MakeMFrame(next));
  EXPECT_EQ(p.results.MepParticles(), 2u);  // counted at once; its rows are held
  EXPECT_EQ(Rows(p).size(), 5u);
}

}  // namespace
}  // namespace vesk::test
