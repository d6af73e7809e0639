// $ frames (NMEA sentences) and C frames (instrument lines) into .dat records.

#include <gtest/gtest.h>

#include <string>

#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

TEST(DollarFrame, WhichSentencesAreWritten) {
  struct Case {
    const char* name;
    const char* configured;  // SentenceToParse
    std::string payload;     // after the type byte
    std::string dat;
  };
  const Case cases[] = {
      {"10 bytes ignored", "", "$GPGGA,12", ""},
      {"11 bytes handled", "", "$GPGGA,123", "$GPGGA,123\r\n"},
      {"configured header", "$GPGGA", "$GPGGA,1,2,3,4", "$GPGGA,1,2,3,4\r\n"},
      {"other header with $", "$GPGGA", "$GPRMC,1,2,3,4", "$GPRMC,1,2,3,4\r\n"},
      {"no $ at the start", "", "GPGGA,1,2,3,4", ""},
      {"no $ at the start, header configured", "$GPGGA", "XGPGGA,1,2,3", ""},
      {"sentence with its own line end", "", "$GPZDA,1,2,3\r\n", "$GPZDA,1,2,3\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline p;
    p.store.WriteString("NavSettings", "SentenceToParse", c.configured);
    p.Start();
    p.Process(MakeTextFrame('$', c.payload));
    EXPECT_EQ(p.Dat(), c.dat);
  }
}

TEST(DollarFrame, LogInitialNmeaOnlyWritesTheFirstSentence) {
  for (const int only : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "LogInitialNmeaOnly " << only);
    Pipeline p;
    p.store.Write(keys::kLogInitialNmeaOnly, only);
    p.Start();
    p.Process(MakeTextFrame('$', "$GPGGA,first,1"));
    p.Process(MakeTextFrame('$', "$GPRMC,second,2"));
    p.Process(MakeTextFrame('$', "$GPGGA,third,3"));
    EXPECT_EQ(p.Dat(), only ? "$GPGGA,first,1\r\n"
                            : "$GPGGA,first,1\r\n$GPRMC,second,2\r\n$GPGGA,third,3\r\n");
  }
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

TEST(CFrame, EmptyFrameIsIgnoredAndALineIsLogged) {
  Pipeline p;
  p.Start();
  p.Process(Frame{'C'});
  EXPECT_EQ(p.ctd->line, "");
  p.Process(MakeTextFrame('C', "12.345 6.789 10.11"));
  const std::string dat = p.Dat();
  ASSERT_GE(dat.size(), 4u);
  EXPECT_EQ(dat.substr(0, 2), "C ");
  EXPECT_EQ(dat.substr(dat.size() - 2), "\r\n");
  EXPECT_EQ(dat.find("\r\n"), dat.size() - 2);  // one record line
}

TEST(OtherFrames, UnknownTypeByteIsIgnored) {
  Pipeline p;
  p.Start();
  p.Process(MakeTextFrame('S', "auxiliary instrument data"));
  p.Process(Frame{});
  EXPECT_EQ(p.results.FrameErrors(), 0u);
  EXPECT_EQ(p.Dat(), "");
}

}  // namespace
}  // namespace vesk::test
