// The simulated SBE 19 sends hex words that the program's own decoder turns back into the
// simulated cast.

#include <gtest/gtest.h>

#include "acquisition/headless_seams.h"
#include "instruments/ctd_decoder.h"
#include "seams/memory_settings_store.h"
#include "sim/cast_generator.h"

namespace vesk {
namespace {

TEST(Sbe19Simulation, ProgramDecodesTheCastWithinAHundredth) {
  for (int analog : {0, 2, 4}) {
    CastOptions o;
    o.ctdModel = 4;
    o.sbeAnalogChannels = analog;
    o.maxDepth = 100;
    CastGenerator gen(o);
    MemorySettingsStore store;
    StoreSimSbe19Calibration(o.sbe19, analog, store);
    ConsoleDialogs dialogs(true, true);
    CtdDecoder decoder(store, dialogs);
    decoder.LoadScanSettings(4, false, o.latitude);
    decoder.StartScan();
    for (double t = 0; t < 260; t += 1.3) {
      const CastState s = gen.StateAt(t);
      const std::string word = gen.CtdLine(s, 1.5);
      ASSERT_EQ(word.size(), 12u + 3u * analog);
      decoder.line = word;
      decoder.sample.salinity = 0;  // computed afresh for this line
      decoder.DecodeCtdLine();
      const CtdSample& got = decoder.sample;
      EXPECT_NEAR(got.temperature, s.temperature, 0.01) << word << " at " << t;
      EXPECT_NEAR(got.conductivity, s.conductivity, 0.01) << word << " at " << t;
      EXPECT_NEAR(got.pressure, s.pressure, 0.01) << word << " at " << t;
      EXPECT_NEAR(got.salinity, s.salinity, 0.02) << word << " at " << t;
    }
  }
}

}  // namespace
}  // namespace vesk
