// The control bar's reader: field texts from the document's latest values and the rates
// over the PC clock. (The buttons of each scan state are driven in the main frame test.)

#include "display/control_bar.h"

#include <gtest/gtest.h>

#include <chrono>

#include "gui/view_test_support.h"
#include "instruments/ctd_conversions.h"

namespace vesk {
namespace {

using std::chrono::milliseconds;

class ControlBarReaderTest : public ::testing::Test {
 protected:
  ControlBarReaderTest() {
    t_.store.WriteString("Settings", "AnalogScale", "2.5");
    doc_ = &t_.Make();
  }
  std::string Field(const BarTexts& t, BarField f) { return t[static_cast<int>(f)]; }

  test::TestDoc t_;
  CVESKDoc* doc_ = nullptr;
  ControlBarReader reader_;
  const ControlBarReader::TimePoint t0_{std::chrono::seconds(1000)};
};

TEST_F(ControlBarReaderTest, InstrumentAndEngineeringFields) {
  ScanResults& results = doc_->Results();
  CtdSample ctd;
  ctd.pressure = 1000;
  ctd.temperature = 12.3456;
  ctd.salinity = 34.5678;
  ctd.analog = 2;
  results.SetCtd(ctd);
  HousekeepingTable hk;
  hk.words = {2499, 1, 2, 1000, 8000, 401, 2006};
  hk.flowSpeed = 0.4567;
  hk.counterValue = 12.5;
  results.SetHousekeeping(hk);
  results.AddFrameBins({}, 1000, 900);
  results.AddFrameBins({}, 106.4, 400);
  for (int i = 0; i < 3; ++i) results.CountFrameError();
  const BarTexts t = reader_.Read(*doc_, t0_);
  char depth[32];
  std::snprintf(depth, sizeof depth, "%.2f", PressureToDepth(1000, 45.0));
  const std::pair<BarField, std::string> want[] = {
      {BarField::Depth, depth},         {BarField::Temp, "12.346"},
      {BarField::Salinity, "34.568"},   {BarField::Analog, "5.00"},
      {BarField::Counter, "12.50"},     {BarField::FlowSpeed, "0.457 m/s"},
      {BarField::TotalCount, "1106"},   {BarField::TotalCps, "106"},
      {BarField::WindowCount, "1300"},  {BarField::FrameErrors, "3"},
      {BarField::Latitude, "xx xx xx"}, {BarField::FixAge, "--"},
  };
  for (const auto& [field, text] : want) EXPECT_EQ(Field(t, field), text) << int(field);
}

TEST_F(ControlBarReaderTest, DeltaTimeAndParticleRateFollowThePcClock) {
  struct Step {
    int ms;                // since t0
    std::uint32_t frames;  // L frame count
    std::uint32_t mep;     // particles so far
    const char* delta;
    const char* sample;
    const char* mepCps;
  };
  const Step steps[] = {
      {0, 1, 0, "0.00", "1", "0"},  // first frame: no interval yet
      {500, 2, 0, "0.50", "2", "0"},
      {1500, 4, 0, "0.50", "4", "0"},      // two frames since the last refresh
      {2000, 4, 0, "0.50", "4", "0"},      // nothing new: the interval stays
      {5000, 5, 50, "3.50", "5", "10"},    // 50 particles in 5 s
      {12000, 6, 100, "7.00", "6", "10"},  // from the refresh 10 s before: 100 in 10 s
      {20000, 7, 130, "8.00", "7", "5"},   // from the 5 s refresh: 80 in 15 s
      {20100, 0, 0, "0.00", "0", "0"},     // a new scan starts over
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.ms);
    ScanResults& results = doc_->Results();
    if (s.frames < results.LFrames()) {
      results.Reset();
      reader_.Reset();
    }
    while (results.LFrames() < s.frames) results.CountLFrame();
    while (results.MepParticles() < s.mep) results.CountMepParticle();
    const BarTexts t = reader_.Read(*doc_, t0_ + milliseconds(s.ms));
    EXPECT_EQ(Field(t, BarField::DeltaTime), s.delta);
    EXPECT_EQ(Field(t, BarField::SampleNo), s.sample);
    EXPECT_EQ(Field(t, BarField::MepCounts), std::to_string(s.mep));
    EXPECT_EQ(Field(t, BarField::MepCps), s.mepCps);
  }
}

}  // namespace
}  // namespace vesk
