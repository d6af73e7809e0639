// The cast products on constructed depth tracks: where profiles begin and end, which frames
// they use, the Poisson interval and the slope of the size spectrum.

#include "processing/cast_products.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "seams/memory_settings_store.h"

namespace vesk {
namespace {

constexpr double kNaN = kMissing;

// A track: the given depths, then straight legs to each stop in 1 m steps.
std::vector<double> Track(std::vector<double> start, std::initializer_list<double> stops) {
  for (double stop : stops) {
    for (double z = start.back(); z != stop;) start.push_back(z += stop > z ? 1 : -1);
  }
  return start;
}

std::vector<double> Gap(std::vector<double> track, std::size_t frame) {
  track[frame] = kNaN;
  return track;
}

// "down 0-20 18/0/3 b18": direction, first-last frame, used/loop edited/no flow, depth bins.
std::string Describe(const ProfileRecord& p) {
  return std::string(DirectionName(p.direction)) + " " + std::to_string(p.firstLFrame) + "-" +
         std::to_string(p.lastLFrame) + " " + std::to_string(p.framesUsed) + "/" +
         std::to_string(p.loopEdited) + "/" + std::to_string(p.noFlow) + " b" +
         std::to_string(p.bins.size());
}

TEST(CastProducts, ProfilesOfDepthTracks) {
  struct Case {
    const char* name;
    std::vector<double> depths;
    std::set<int> noFlow;  // frames with flow speed 0
    bool loopEdit;
    const char* profiles;
  };
  const Case cases[] = {
      {"soak then descent: starts at the first frame at the shallowest",
       Track({2.0, 2.2, 1.8, 2.1, 1.8, 2.0}, {30}),
       {},
       true,
       "down 2-33 30/2/0 b30"},
      {"heave loops under the hysteresis are loop edited",
       Track({0}, {5, 3, 8, 6, 20}),
       {},
       true,
       "down 0-28 23/6/0 b21"},
      {"heave loops kept without loop editing",
       Track({0}, {5, 3, 8, 6, 20}),
       {},
       false,
       "down 0-28 29/0/0 b21"},
      {"a yo-yo's short undulation is no profile",
       Track({0}, {20, 15, 40}),
       {},
       true,
       "down 0-20 21/0/0 b21; down 26-50 25/0/0 b25"},
      {"frames without depth are in none",
       Gap(Track({kNaN, kNaN, 5}, {16}), 8),
       {},
       true,
       "down 2-13 11/0/0 b11"},
      {"flow drop-outs are not used", Track({0}, {20}), {3, 4, 10}, true, "down 0-20 18/0/3 b18"},
      {"the data end inside a turn: the profile ends at its deepest frame",
       Track({0}, {20, 18}),
       {},
       true,
       "down 0-20 21/0/0 b21"},
      {"down and up: exactly the least extent kept, up from the frame after the deepest",
       Track({0}, {10, -1}),
       {},
       true,
       "down 0-10 11/0/0 b11; up 11-21 11/0/0 b11"},
      {"a cast first seen going up starts at the deepest frame",
       Track({30, 30.5, 30}, {10}),
       {},
       true,
       "up 1-22 22/0/0 b21"},
  };
  for (const Case& c : cases) {
    ProfileSettings settings;
    settings.loopEdit = c.loopEdit;
    CastProducts products(settings, 0.0049);
    ExportRow row;
    row.bins[8] = 1;  // one particle a frame
    std::string seen;
    auto take = [&](const std::shared_ptr<const ProfileRecord>& p) {
      if (p == nullptr) return;
      seen += (seen.empty() ? "" : "; ") + Describe(*p);
      EXPECT_EQ(p->number, products.Numbered()) << c.name;
      EXPECT_EQ(p->count, p->framesUsed) << c.name;
      EXPECT_NEAR(p->volume, p->framesUsed * 0.0049 * 0.5, 1e-12) << c.name;
      std::uint32_t inBins = 0;
      for (std::size_t i = 0; i < p->bins.size(); ++i) {
        inBins += p->bins[i].framesUsed;
        if (i > 0) {
          EXPECT_LT(p->bins[i - 1].depth, p->bins[i].depth) << c.name;
        }
      }
      EXPECT_EQ(inBins, p->framesUsed) << c.name;
    };
    for (std::size_t i = 0; i < c.depths.size(); ++i) {
      row.lFrameIndex = static_cast<std::uint32_t>(i);
      row.depth = c.depths[i];
      row.flowSpeed = c.noFlow.count(static_cast<int>(i)) != 0 ? 0 : 1.0;
      take(products.Feed(row));
    }
    take(products.Finish());
    EXPECT_EQ(seen, c.profiles) << c.name;
  }
}

TEST(CastProducts, VolumesAddUpInTheFramesOrder) {
  // Without loop editing the frames after the deepest one join the descent when it goes on;
  // their volumes must add up as if they had come one by one (floating-point sums depend on
  // the order), whatever their sizes.
  ProfileSettings settings;
  settings.loopEdit = false;
  CastProducts products(settings, 0.0049);
  ExportRow row;
  const double depths[] = {0, 5, 10, 9.6, 9.6, 9.6, 12, 15};
  const double flows[] = {1, 1, 1, 2e-16, 2e-16, 2e-16, 1, 1};
  double profile = 0, bin9 = 0;
  for (std::size_t i = 0; i < std::size(depths); ++i) {
    row.lFrameIndex = static_cast<std::uint32_t>(i);
    row.depth = depths[i];
    row.flowSpeed = flows[i];
    products.Feed(row);
    profile += 0.0049 * flows[i] * 0.5;
    if (std::floor(depths[i]) == 9) bin9 += 0.0049 * flows[i] * 0.5;
  }
  const auto p = products.Finish();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->volume, profile);
  ASSERT_EQ(p->bins.size(), 6u);  // 0 5 9 10 12 15
  EXPECT_EQ(p->bins[2].volume, bin9);
}

TEST(CastProducts, LiveSnapshotFollowsTheCast) {
  CastProducts products(ProfileSettings{}, 0.0049);
  ExportRow row;
  row.flowSpeed = 1;
  row.bins[20] = 4;
  const std::vector<double> track = Track({0}, {12, 6});
  for (std::size_t i = 0; i < track.size(); ++i) {
    row.lFrameIndex = static_cast<std::uint32_t>(i);
    row.depth = track[i];
    products.Feed(row);
  }
  const CastSnapshot s = products.Snapshot(20, 20);
  EXPECT_EQ(s.status.direction, CastDirection::kUp);
  EXPECT_EQ(s.status.profile, 2);
  EXPECT_EQ(s.status.depthBin, 6.5);
  ASSERT_EQ(s.previous.size(), 13u);  // the descent 0..12
  EXPECT_EQ(s.current.size(), 6u);    // 11..6
  EXPECT_NEAR(s.previous[0].concentration, 4 / (0.0049 * 0.5), 1e-9);
  EXPECT_LT(s.previous[0].ciLow, s.previous[0].concentration);
  EXPECT_TRUE(products.Snapshot(0, 19).current[0].concentration == 0);
}

TEST(CastProducts, PoissonIntervalOfKnownCounts) {
  // n = 0 and the lower limit of n = 1 have closed forms (chi2 of 2 degrees of freedom); the
  // others are the published exact limits.
  EXPECT_EQ(PoissonInterval95(0).low, 0);
  EXPECT_NEAR(PoissonInterval95(0).high, -std::log(0.025), 1e-12);
  EXPECT_NEAR(PoissonInterval95(1).low, -std::log(0.975), 1e-12);
  EXPECT_NEAR(PoissonInterval95(1).high, 5.5716, 1e-4);
  EXPECT_NEAR(PoissonInterval95(10).low, 4.7954, 1e-4);
  EXPECT_NEAR(PoissonInterval95(10).high, 18.3904, 1e-4);
  EXPECT_NEAR(PoissonInterval95(100).low, 81.3639, 1e-4);
  EXPECT_NEAR(PoissonInterval95(100).high, 121.6268, 1e-4);
  // The quantiles to the last digit: chi2 quantiles worked out in 50 digits, rounded to double
  // (a double-precision evaluation misses each of these by a unit in the last place).
  EXPECT_EQ(PoissonInterval95(2).high * 2, 14.44937533544792);
  EXPECT_EQ(PoissonInterval95(3).low * 2, 1.2373442457912025);
  EXPECT_EQ(PoissonInterval95(8).low * 2, 6.9076643534970028);
  EXPECT_EQ(PoissonInterval95(10).high * 2, 36.780712084035557);
}

TEST(CastProducts, SpectrumSlope) {
  // Counts that make NBSS = 10^9 x v^-1 / volume (large, so rounding them moves nothing).
  auto powerLaw = [](int from, int to) {
    SizeCounts counts{};
    for (int k = from; k <= to; ++k) {
      counts[k] = static_cast<std::uint64_t>(
          std::llround(1e9 * SizeBinBiovolumeWidth(k) / SizeBinBiovolume(k) / SizeBinBiovolume(k)));
    }
    return counts;
  };
  struct Case {
    const char* name;
    SizeCounts counts;
    int bins;  // fitted; fewer than 3: no slope
  };
  SizeCounts peakLater = powerLaw(7, 127);
  for (int k = 7; k < 20; ++k) peakLater[k] /= 1000;
  SizeCounts twoGaps = powerLaw(7, 127);
  twoGaps[30] = twoGaps[31] = 0;
  twoGaps[60] = twoGaps[61] = twoGaps[62] = 0;
  const Case cases[] = {
      {"every bin inside 105..1920 um", powerLaw(0, 127), 121},
      {"from the largest NBSS on", peakLater, 108},
      {"two empty bins go on, three end it", twoGaps, 51},
      {"two bins: no slope", powerLaw(7, 8), 2},
  };
  const SizeSpectrum spectrum(105, 1920);
  for (const Case& c : cases) {
    const SpectrumFit fit = spectrum.Fit(c.counts, 2.0);
    EXPECT_EQ(fit.bins, c.bins) << c.name;
    if (c.bins < 3) {
      EXPECT_TRUE(std::isnan(fit.slope) && std::isnan(fit.intercept)) << c.name;
    } else {
      EXPECT_NEAR(fit.slope, -1, 1e-6) << c.name;
      EXPECT_NEAR(fit.intercept, 9 - std::log10(2.0), 1e-6) << c.name;
    }
  }
  EXPECT_TRUE(std::isnan(spectrum.Fit(powerLaw(0, 127), 0).slope)) << "no volume";
}

TEST(CastProducts, SettingsThatMakeNoSense) {
  struct Case {
    const char* key;
    const char* value;
    bool refused;
  };
  const Case cases[] = {
      {"DepthBin", "0", true},        {"DepthBin", "0.25", false},
      {"TurnHysteresis", "-1", true}, {"MinExtent", "0", false},
      {"MinExtent", "-0.5", true},    {"FrameInterval", "0", true},
      {"FrameInterval", "1 s", true}, {"SpectrumMinUm", "1920", true},
      {"SpectrumMaxUm", "nan", true}, {"SpectrumMaxUm", " 2000 ", false},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    store.WriteString("Profiles", c.key, c.value);
    const std::string problem = ProfileSettings::Read(store).Problem();
    EXPECT_EQ(!problem.empty(), c.refused) << c.key << "=" << c.value << ": " << problem;
    if (c.refused) {
      EXPECT_NE(problem.find(c.key), std::string::npos) << problem;
    }
  }
  MemorySettingsStore store;
  ProfileSettings changed;
  changed.depthBin = 0.5;
  changed.loopEdit = false;
  changed.Write(store);
  const ProfileSettings back = ProfileSettings::Read(store);
  EXPECT_EQ(back.depthBin, 0.5);
  EXPECT_FALSE(back.loopEdit);
  EXPECT_EQ(back.turnHysteresis, 3.0);
}

}  // namespace
}  // namespace vesk
