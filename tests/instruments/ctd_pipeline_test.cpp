// CTD frames in the live pipeline: the time charts show depth computed from the pressure.

#include <gtest/gtest.h>

#include "test_support/pipeline.h"

namespace vesk {
namespace {

TEST(CtdPipeline, TimeChartDepthComesFromPressureAndSurveyLatitude) {
  struct Case {
    int model;
    const char* line;
    double depth;
  };
  const Case cases[] = {
      {1, "10 4.2914 10000 0", 9712.653},  // SBE 911plus: T C P
      {0, "5000 42.914 15 0", 4908.560},   // Micro CTD: P C T
      {3, "500 2", 495.998},               // pressure sensor
  };
  for (const Case& c : cases) {
    test::Pipeline p;
    p.store.Write(keys::kSurveyLat, "30");
    p.store.Write(keys::kModelCtd, c.model);
    p.Start();
    p.Process(test::MakeTextFrame('C', c.line));
    p.Process(test::MakeLFrame({}));
    p.Process(test::MakeLFrame({}));
    EXPECT_NEAR(p.results.LatestSample()[kChDepth], c.depth, 1e-3) << c.line;
  }
}

}  // namespace
}  // namespace vesk
