// The published records: their JSON, and the publisher on real UDP sockets on 127.0.0.1,
// which never waits and counts what the socket refuses.

#include "control/live_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/record_publisher.h"
#include "test_support/run_process.h"
#include "test_support/udp.h"

namespace vesk {
namespace {

// The L records' fields are read back from a whole run's published stream; these are the
// edges a run does not meet.
TEST(LiveRecords, MissingValuesAndBadTextStayValidJson) {
  const RecordHeader header{7, 1781524803.25, false};
  // Without a fix or CTD: nulls; a line that is not UTF-8 keeps its place.
  ExportRow ctd;
  ctd.lFrameIndex = 3;
  const RecordHeader playback{8, 1781524804, true};
  EXPECT_EQ(CRecordJson(playback, RecordScanInfo{true, 4, 45.0}, "12.3 \xB0", ctd, {}),
            R"({"type":"C","seq":8,"utc":"2026-06-15T12:00:04Z","source":"playback",)"
            R"("l_frame_index":3,"line":"12.3 )"
            "\xEF\xBF\xBD"
            R"(","pressure_dbar":null,"depth_m":null,"temperature_degC":null,)"
            R"("conductivity_S_per_m":null,"salinity_psu":null,"analog_instrument_units":null})");

  // Two events, one flagged, the last one partial.
  const std::vector<std::uint32_t> events = {3, 120, 5, 0x8010, 4, kPartialEventStamp, 6, 0x20};
  EXPECT_EQ(MRecordJson(header, events, 12),
            R"({"type":"M","seq":7,"utc":"2026-06-15T12:00:03.250Z","source":"live",)"
            R"("l_frame_index":12,"events":2,"mep_flagged":1,"partial":true})");
  const Mark mark{2, 1781524803.25, 40, kMissing, kMissing, "net in"};
  EXPECT_EQ(MarkRecordJson(header, mark),
            R"({"type":"mark","seq":7,"utc":"2026-06-15T12:00:03.250Z","source":"live",)"
            R"("mark":2,"l_frame_index":40,"latitude_deg_north":null,"longitude_deg_east":null,)"
            R"("note":"net in"})");
}

TEST(LiveRecords, ThePublisherSendsWhatIsChosenAndCountsWhatIsRefused) {
  test::UdpListener listener;
  RecordPublisher publisher;
  PublishSettings settings;
  settings.port = listener.Port();
  settings.types =
      static_cast<unsigned>(PublishedType::M) | static_cast<unsigned>(PublishedType::C);
  ASSERT_TRUE(publisher.Configure(settings));  // off by default: nothing opened, nothing sent
  EXPECT_FALSE(publisher.Enabled());
  EXPECT_FALSE(publisher.Send("x"));
  settings.enabled = true;
  ASSERT_TRUE(publisher.Configure(settings)) << publisher.Error();
  LiveRecordSink sink(publisher, [] { return LivePosition{}; });
  sink.OnScanStart({});
  ExportRow row;
  sink.OnLRecord(row);  // not chosen
  sink.OnCRecord("line", row);
  const std::vector<std::uint32_t> events = {1, 2, 3, 4};
  sink.OnMEvents(events, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return listener.Received().size() == 2; }, 2));
  const std::vector<std::string> got = listener.Received();
  EXPECT_EQ(got[0].rfind(R"({"type":"C","seq":0,)", 0), 0u) << got[0];
  EXPECT_EQ(got[1].rfind(R"({"type":"M","seq":1,)", 0), 0u) << got[1];
  // A datagram the socket refuses is dropped and counted, never waited for.
  EXPECT_FALSE(publisher.Send(std::string(70000, 'x')));
  EXPECT_EQ(publisher.Sent(), 2u);
  EXPECT_EQ(publisher.Dropped(), 1u);
  EXPECT_EQ(publisher.LastError(), "Message too long");

  // What cannot be used turns publishing off and says why.
  settings.port = 0;
  EXPECT_FALSE(publisher.Configure(settings));
  EXPECT_EQ(publisher.Error(), "the port 0 is not one of 1 to 65535");
  EXPECT_FALSE(publisher.Enabled());
  settings.port = listener.Port();
  settings.address = "";
  EXPECT_FALSE(publisher.Configure(settings));
  EXPECT_EQ(publisher.Error().rfind("the address \"\" cannot be used: ", 0), 0u)
      << publisher.Error();
}

}  // namespace
}  // namespace vesk
