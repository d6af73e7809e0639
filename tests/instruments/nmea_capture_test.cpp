// NMEA sentences received on the auxiliary port: groups, splits, the position texts.

#include "instruments/nmea_capture.h"

#include <gtest/gtest.h>

#include "instruments/nav_display.h"
#include "seams/memory_settings_store.h"

namespace vesk {
namespace {

constexpr const char* kGga =
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
constexpr const char* kGga2 =
    "$GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4D\r\n";
constexpr const char* kRmc =
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
constexpr const char* kRmc2 =
    "$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*60\r\n";

// Takes what the capture hands on: the position parsed as the scan does, the groups in order.
struct RecordingSink : NmeaCaptureSink {
  void PositionSentence(std::string_view sentence) override {
    ParsePositionSentence(sentence, nav, display);
  }
  void Group(const std::string& group) override { groups += group; }
  NavSettings nav;
  NavDisplay display;
  std::string groups;
};

class NmeaCaptureTest : public ::testing::Test {
 protected:
  NmeaCaptureTest() {
    store.Write(keys::kSentenceToParse, "$GPGGA");
    store.Write(keys::kLatPos, 3);
    store.Write(keys::kLatNsPos, 4);
    store.Write(keys::kLongPos, 5);
    store.Write(keys::kLongEwPos, 6);
    store.Write(keys::kTimePos, 2);
  }
  void Capture(const char* first, const char* second = "", const char* end = "\r\n") {
    store.WriteString("NavSettings", "NmeaStart1", first);
    store.WriteString("NavSettings", "NmeaStart2", second);
    store.WriteString("NavSettings", "NmeaEnd1", end);
    store.WriteString("NavSettings", "NmeaEnd2", end);
  }
  void Start() {
    sink = RecordingSink{};
    sink.nav.Load(store);
    nmea.Reset();
  }
  void Feed(std::string_view text) { nmea.OnNmeaText(text, sink.nav, sink); }
  MemorySettingsStore store;
  NmeaCapture nmea;
  RecordingSink sink;
};

TEST_F(NmeaCaptureTest, GroupIsWrittenWhenItsLastSentenceArrives) {
  Capture("$GPGGA", "$GPRMC");
  Start();
  Feed(kGga);
  Feed("$GPRMC,123519,A,4807.038,N,01131.000");
  EXPECT_EQ(sink.groups, "");
  Feed(",E,022.4,084.4,230394,003.1,W*6A\r\n");
  EXPECT_EQ(sink.groups, std::string(kGga) + kRmc);
}

TEST_F(NmeaCaptureTest, StreamSplitAnywhereGivesTheSameGroups) {
  Capture("$GPGGA", "$GPRMC");
  const std::string stream = std::string("noise before\r\n") + kGga + "$GPGSV,1,1,00*79\r\n" +
                             kRmc + "$$\r\n" + kGga2 + "junk $GPZDA" + kRmc2;
  const std::string expected = std::string(kGga) + kRmc + kGga2 + kRmc2;
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    Start();
    Feed(stream.substr(0, cut));
    Feed(stream.substr(cut));
    ASSERT_EQ(sink.groups, expected) << "cut at " << cut;
    EXPECT_TRUE(nmea.Buffer().empty());
    EXPECT_EQ(sink.display.time, "12:35:20");
  }
  Start();
  for (char c : stream) Feed(std::string(1, c));
  EXPECT_EQ(sink.groups, expected);
}

TEST_F(NmeaCaptureTest, RepeatedIdentifierEndsAnIncompleteGroup) {
  Capture("$GPGGA", "$GPRMC");  // the RMC sentences never come
  Start();
  Feed(kGga);
  Feed(kGga2);
  Feed(kGga);
  EXPECT_EQ(sink.groups, std::string(kGga) + kGga2);
  EXPECT_EQ(nmea.Buffer(), kGga);  // waits for its RMC
}

TEST_F(NmeaCaptureTest, SingleCharacterTermination) {
  Capture("$GPGGA", "", "\n");
  Start();
  Feed("$GPGGA,1\n$GPGGA,2\r$GPGGA,3\n");
  EXPECT_EQ(sink.groups, "$GPGGA,1\n$GPGGA,2\r$GPGGA,3\n");
}

TEST_F(NmeaCaptureTest, EmptyEntriesCountAsDelivered) {
  store.WriteString("NavSettings", "NmeaStart3", "$GPRMC");
  Start();
  Feed(std::string(kGga) + kRmc);
  EXPECT_EQ(sink.groups, kRmc);
}

TEST_F(NmeaCaptureTest, CorruptedSentenceIsLoggedButNotShown) {
  Capture("$GPGGA");
  Start();
  Feed(kGga);
  const std::string bad = "$GPGGA,183519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  Feed(bad);
  EXPECT_EQ(sink.display.time, "12:35:19");
  EXPECT_EQ(sink.groups, kGga + bad);
}

TEST_F(NmeaCaptureTest, ReceiveBufferStaysBounded) {
  Capture("$GPGGA");
  Start();
  const std::string noise(100000, 'x');
  Feed(noise);
  EXPECT_TRUE(nmea.Buffer().empty());
  Feed("$GPGGA,");
  for (int i = 0; i < 3; ++i) Feed(noise);  // a sentence that never ends
  EXPECT_LE(nmea.Buffer().size(), NmeaCapture::kMaxBuffer);
  Feed(kGga);  // the line recovers
  EXPECT_EQ(sink.groups, kGga);
}

}  // namespace
}  // namespace vesk
