// NMEA sentences received on the auxiliary port: groups, splits, logging options, viewer.

#include <gtest/gtest.h>

#include "acquisition/window_messages.h"
#include "test_support/pipeline.h"

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

class NmeaCaptureTest : public ::testing::Test {
 protected:
  NmeaCaptureTest() {
    p.store.Write(keys::kSurveyLat, "30.0");
    p.store.Write(keys::kSentenceToParse, "$GPGGA");
    p.store.Write(keys::kLatPos, 3);
    p.store.Write(keys::kLatNsPos, 4);
    p.store.Write(keys::kLongPos, 5);
    p.store.Write(keys::kLongEwPos, 6);
    p.store.Write(keys::kTimePos, 2);
  }
  void Capture(const char* first, const char* second = "", const char* end = "\r\n") {
    p.store.WriteString("NavSettings", "NmeaStart1", first);
    p.store.WriteString("NavSettings", "NmeaStart2", second);
    p.store.WriteString("NavSettings", "NmeaEnd1", end);
    p.store.WriteString("NavSettings", "NmeaEnd2", end);
  }
  CVESKDoc& Start() { return p.Start(); }
  test::Pipeline p;
};

TEST_F(NmeaCaptureTest, OneIdentifierWritesEachSentence) {
  Capture("$GPGGA");
  CVESKDoc& doc = Start();
  doc.OnNmeaText(std::string(kGga) + kGga2);
  EXPECT_EQ(p.Dat(), std::string(kGga) + kGga2);
  EXPECT_EQ(doc.navDisplay.time, "12:35:20");
  EXPECT_EQ(doc.navDisplay.latitude, "48\xB0 07' 02\" N");
  EXPECT_TRUE(doc.nmea.Buffer().empty());
}

TEST_F(NmeaCaptureTest, GroupIsWrittenWhenItsLastSentenceArrives) {
  Capture("$GPGGA", "$GPRMC");
  CVESKDoc& doc = Start();
  doc.OnNmeaText(kGga);
  doc.OnNmeaText("$GPRMC,123519,A,4807.038,N,01131.000");
  EXPECT_EQ(test::ReadFile(p.DatPath()), "");
  doc.OnNmeaText(",E,022.4,084.4,230394,003.1,W*6A\r\n");
  EXPECT_EQ(p.Dat(), std::string(kGga) + kRmc);
}

TEST_F(NmeaCaptureTest, StreamSplitAnywhereGivesTheSameGroups) {
  Capture("$GPGGA", "$GPRMC");
  const std::string stream = std::string("noise before\r\n") + kGga + "$GPGSV,1,1,00*79\r\n" +
                             kRmc + "$$\r\n" + kGga2 + "junk $GPZDA" + kRmc2;
  const std::string expected = std::string(kGga) + kRmc + kGga2 + kRmc2;
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    CVESKDoc& doc = Start();
    doc.OnNmeaText(stream.substr(0, cut));
    doc.OnNmeaText(stream.substr(cut));
    ASSERT_EQ(p.Dat(), expected) << "cut at " << cut;
    EXPECT_TRUE(doc.nmea.Buffer().empty());
    EXPECT_EQ(doc.navDisplay.time, "12:35:20");
  }
  CVESKDoc& doc = Start();
  for (char c : stream) doc.OnNmeaText(std::string(1, c));
  EXPECT_EQ(p.Dat(), expected);
}

TEST_F(NmeaCaptureTest, RepeatedIdentifierEndsAnIncompleteGroup) {
  Capture("$GPGGA", "$GPRMC");  // the RMC sentences never come
  CVESKDoc& doc = Start();
  doc.OnNmeaText(kGga);
  doc.OnNmeaText(kGga2);
  doc.OnNmeaText(kGga);
  EXPECT_EQ(p.Dat(), std::string(kGga) + kGga2);
  EXPECT_EQ(doc.nmea.Buffer(), kGga);  // waits for its RMC
}

TEST_F(NmeaCaptureTest, SingleCharacterTermination) {
  Capture("$GPGGA", "", "\n");
  CVESKDoc& doc = Start();
  doc.OnNmeaText("$GPGGA,1\n$GPGGA,2\r$GPGGA,3\n");
  EXPECT_EQ(p.Dat(), "$GPGGA,1\n$GPGGA,2\r$GPGGA,3\n");
}

TEST_F(NmeaCaptureTest, EmptyEntriesCountAsDelivered) {
  p.store.WriteString("NavSettings", "NmeaStart3", "$GPRMC");
  CVESKDoc& doc = Start();
  doc.OnNmeaText(std::string(kGga) + kRmc);
  EXPECT_EQ(p.Dat(), kRmc);
}

TEST_F(NmeaCaptureTest, OnlyTheFirstGroupWithLogInitialNmeaOnly) {
  Capture("$GPGGA");
  p.store.Write(keys::kLogInitialNmeaOnly, 1);
  CVESKDoc& doc = Start();
  doc.OnNmeaText(std::string(kGga) + kGga2 + kGga);
  EXPECT_EQ(p.Dat(), kGga);
  EXPECT_EQ(doc.navDisplay.time, "12:35:19");  // still shown
}

TEST_F(NmeaCaptureTest, NotLoggingNothingIsWrittenButTheViewerGetsEachGroup) {
  Capture("$GPGGA", "$GPRMC");
  CVESKDoc& doc = Start();
  doc.logging = false;
  doc.navViewerOpen = true;
  doc.OnNmeaText(std::string(kGga) + kRmc + kGga2 + kRmc2 + kGga);
  EXPECT_EQ(p.Dat(), "");
  EXPECT_EQ(doc.navDisplay.time, "12:35:19");  // the last GGA is parsed as it comes
  EXPECT_EQ(doc.nmea.Buffer(), kGga);          // and waits for its RMC
  const auto viewer = doc.navViewer.Since(0).lines;
  ASSERT_EQ(viewer.size(), 4u);
  EXPECT_EQ(viewer[0] + "\r\n", kGga);
  EXPECT_EQ(viewer[3] + "\r\n", kRmc2);
  EXPECT_EQ(p.windows.Count(Uwm::NavViewerUpdate), 1);  // not read in between
}

TEST_F(NmeaCaptureTest, CorruptedSentenceIsLoggedButNotShown) {
  Capture("$GPGGA");
  CVESKDoc& doc = Start();
  doc.OnNmeaText(kGga);
  const std::string bad = "$GPGGA,183519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  doc.OnNmeaText(bad);
  EXPECT_EQ(doc.navDisplay.time, "12:35:19");
  EXPECT_EQ(p.Dat(), kGga + bad);
}

TEST_F(NmeaCaptureTest, ReceiveBufferStaysBounded) {
  Capture("$GPGGA");
  CVESKDoc& doc = Start();
  const std::string noise(100000, 'x');
  doc.OnNmeaText(noise);
  EXPECT_TRUE(doc.nmea.Buffer().empty());
  doc.OnNmeaText("$GPGGA,");
  for (int i = 0; i < 3; ++i) doc.OnNmeaText(noise);  // a sentence that never ends
  EXPECT_LE(doc.nmea.Buffer().size(), NmeaCapture::kMaxBuffer);
  doc.OnNmeaText(kGga);  // the line recovers
  EXPECT_EQ(p.Dat(), kGga);
}

TEST_F(NmeaCaptureTest, WriteErrorIsReportedOnce) {
  Capture("$GPGGA");
  CVESKDoc& doc = Start();
  ASSERT_TRUE(doc.datFile.Create("/dev/full"));
  const int before = p.dialogs.MessageCount();
  for (int i = 0; i < 3; ++i) doc.OnNmeaText(kGga);
  ASSERT_EQ(p.dialogs.MessageCount(), before + 1);
  EXPECT_EQ(p.dialogs.Messages().back().rfind(
                "Error writing GPS/NMEA Sentence to log file.\n\nCause:", 0),
            0u);
}

}  // namespace
}  // namespace vesk
