// $ frames (NMEA sentences) and C frames (instrument lines) into .dat records.

#include <gtest/gtest.h>

#include <string>

#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

TEST(DollarFrame, LogInitialNmeaOnlyWritesTheFirstSentence) {
  Pipeline p;
  p.store.Write(keys::kLogInitialNmeaOnly, 1);
  p.Start();
  p.Process(MakeTextFrame('$', "$GPGGA,first,1"));
  p.Process(MakeTextFrame('$', "$GPRMC,second,2"));
  EXPECT_EQ(p.Dat(), "$GPGGA,first,1\r\n");
}

TEST(DollarFrame, LogInitialNmeaOnlyRetriesAfterAFailedWrite) {
  Pipeline p;
  p.store.Write(keys::kLogInitialNmeaOnly, 1);
  p.Start();
  ASSERT_TRUE(p.dat.Create("/dev/full"));
  p.Process(MakeTextFrame('$', "$GPGGA,lost,1"));
  EXPECT_TRUE(p.gate.Allows(true));  // the lost sentence was not the first written
  ASSERT_TRUE(p.dat.Create(p.DatPath()));
  p.Process(MakeTextFrame('$', "$GPGGA,kept,2"));
  p.Process(MakeTextFrame('$', "$GPGGA,skipped,3"));
  EXPECT_EQ(p.Dat(), "$GPGGA,kept,2\r\n");
}

TEST(DollarFrame, NavViewerHistoryGetsEveryLongEnoughSentence) {
  Pipeline p;
  p.Start();
  p.Process(MakeTextFrame('$', "$GPGGA,12"));  // 10 bytes: nothing
  EXPECT_EQ(p.listener.viewerLines, 0);
  p.Process(MakeTextFrame('$', "not nmea at all"));
  p.Process(MakeTextFrame('$', "$GPGGA,1,2,3"));
  // One notice until the viewer has read.
  EXPECT_EQ(p.listener.viewerLines, 1);
  EXPECT_EQ(p.results.Viewer().Since(0).lines,
            (std::vector<std::string>{"not nmea at all", "$GPGGA,1,2,3"}));
  p.Process(MakeTextFrame('$', "$GPGGA,4,5,6"));
  EXPECT_EQ(p.listener.viewerLines, 2);  // read in between: a new notice
  EXPECT_EQ(p.results.Viewer().Total(), 3u);
}

}  // namespace
}  // namespace vesk::test
