// Beyond the files, through the whole program (`vesk --headless` on a pseudo-terminal, real
// UDP on 127.0.0.1): the records published on the network are those of the .dat, the marks
// of the remote control are in the .mrk, the published stream and the exports, and every
// alarm is raised once by its cause and cleared when the cause goes away.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/headless_support.h"
#include "files/mark_log.h"
#include "test_support/frame_builder.h"
#include "test_support/pty.h"
#include "test_support/run_process.h"
#include "test_support/udp.h"

namespace vesk {
namespace {

using Json = nlohmann::json;
using test::Occurrences;
using test::ReadFile;
using test::WaitUntil;

// Whole-program runs keep their log files out of the developer's own state directory.
class StateHomeForRuns : public ::testing::Environment {
 public:
  void SetUp() override { ::setenv("XDG_STATE_HOME", dir_.Path().c_str(), 1); }
  const test::TempDir dir_;
};
const ::testing::Environment* const kStateHome =
    ::testing::AddGlobalTestEnvironment(new StateHomeForRuns);

constexpr const char* kGgaSettings =
    "[NavSettings]\nSentenceToParse=$GPGGA\nTimePos=2\nLatPos=3\nLatNSPos=4\nLongPos=5\n"
    "LongEWPos=6\n";

std::string PublishSettings(int port) {
  return "[Publish]\nEnabled=1\nAddress=127.0.0.1\nPort=" + std::to_string(port) + "\n";
}

// The records of these datagrams of this type (all of them: "").
std::vector<Json> OfType(const std::vector<std::string>& datagrams, const std::string& type) {
  std::vector<Json> out;
  for (const std::string& d : datagrams) {
    Json record = Json::parse(d);
    if (type.empty() || record["type"] == type) out.push_back(std::move(record));
  }
  return out;
}

// What the .dat holds: the bins of each L record, the C lines, the number of M lines.
struct DatRecords {
  std::vector<std::vector<unsigned>> bins;
  std::vector<std::string> ctdLines;
  std::size_t mLines = 0;
};

DatRecords ReadDat(const std::string& path) {
  DatRecords d;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("L1", 0) == 0) d.bins.emplace_back();
    std::istringstream numbers(line.substr(2));
    for (unsigned v; line[0] == 'L' && line[1] >= '1' && line[1] <= '4' && numbers >> v;) {
      d.bins.back().push_back(v);
    }
    if (line.rfind("C ", 0) == 0) d.ctdLines.push_back(line.substr(2, line.size() - 3));
    d.mLines += line.rfind("M ", 0) == 0 || line.rfind("&&& M ", 0) == 0;
  }
  return d;
}

class LiveRun : public HeadlessRun {
 protected:
  test::UdpListener listener_;
};

TEST_F(LiveRun, PublishedRecordsAndMarksAreThoseOfTheRecording) {
  timeScale_ = 4;  // a cast four times its pace: more records in a short run
  optionSettings_ = "ExportCsv=1\n";
  StartCounter(71);
  StartVesk({"--log"}, std::string(kGgaSettings) + PublishSettings(listener_.Port()));
  ASSERT_TRUE(Status("logging", 15)) << Err();
  ASSERT_TRUE(Status("fix 0 s") || Status("fix 1 s")) << vesk_->Out();
  const char* notes[] = {"CTD down", "", "net \"big\", slow"};
  for (const char* note : notes) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    Remote(6, note);
  }
  ASSERT_TRUE(Says("Mark 3 at L frame")) << Err();
  ASSERT_EQ(StopAndQuit(), 0) << Err();
  EXPECT_TRUE(WaitUntil([&] { return !listener_.Received().empty(); }, 2));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last datagrams
  const std::vector<std::string> records = listener_.Received();

  // One sequence over every datagram, none lost.
  const std::vector<Json> all = OfType(records, "");
  for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i]["seq"], i);
  EXPECT_NE(LastStatus().find("dropped 0"), std::string::npos) << LastStatus();

  const std::string dat = test::Recordings(dataDir_, ".dat").at(0);
  const DatRecords expected = ReadDat(dat);
  const std::vector<Json> l = OfType(records, "L");
  ASSERT_GT(l.size(), 20u);
  ASSERT_EQ(l.size(), expected.bins.size());
  for (std::size_t i = 0; i < l.size(); ++i) {
    ASSERT_EQ(l[i]["bins"].get<std::vector<unsigned>>(), expected.bins[i]) << "L record " << i;
    EXPECT_EQ(l[i]["l_frame_index"], i);
  }
  EXPECT_NEAR(l.back()["latitude_deg_north"].get<double>(), 44.65, 0.05);
  EXPECT_NEAR(l.back()["longitude_deg_east"].get<double>(), -63.50, 0.05);
  EXPECT_GT(l.back()["depth_m"].get<double>(), 0.0);
  const std::vector<Json> c = OfType(records, "C");
  ASSERT_EQ(c.size(), expected.ctdLines.size());
  for (std::size_t i = 0; i < c.size(); ++i) EXPECT_EQ(c[i]["line"], expected.ctdLines[i]);
  std::size_t events = 0;
  for (const Json& m : OfType(records, "M")) events += m["events"].get<std::size_t>();
  EXPECT_GT(events, 0u);
  EXPECT_EQ(events, expected.mLines);

  // The marks: in the .mrk beside the .dat, on the network, and in both exports.
  const std::string mrk = ReadFile(MarksPath(dat));
  const std::vector<Json> marks = OfType(records, "mark");
  ASSERT_EQ(marks.size(), 3u);
  EXPECT_EQ(Occurrences(mrk, "\r\n"), 4) << mrk;  // the column names, a row a mark
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(marks[i]["note"], notes[i]);
    const auto index = marks[i]["l_frame_index"].get<unsigned>();
    EXPECT_LE(index, l.size());
    EXPECT_NE(mrk.find("\r\n" + std::to_string(i + 1) + "," + marks[i]["utc"].get<std::string>() +
                       "," + std::to_string(index) + ",44.6"),
              std::string::npos)
        << mrk;
  }
  const std::string stem = dat.substr(0, dat.size() - 4);
  EXPECT_EQ(ReadFile(stem + "_marks.csv"), mrk);  // the scan's own CSV export
  const auto batch = test::RunProcess(
      VESK_PROCESS_PATH, {"--settings", dir_ / "vesk.ini", "--format", "csv,netcdf", "--output",
                          dir_ / "replay.dat", stem + ".bin"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  EXPECT_EQ(ReadFile(dir_ / "replay_marks.csv"), mrk);
  const auto dump = test::RunProcess("/usr/bin/ncdump", {"-v", "mark,note", dir_ / "replay.nc"});
  ASSERT_EQ(dump.exitCode, 0) << dump.err;
  // The marks, and the recording's own header as the program wrote it read back into the
  // attributes.
  for (const char* text : {"\"CTD down\"", "mark = 1, 2, 3", ":survey_latitude = 44.5 ;"}) {
    EXPECT_NE(dump.out.find(text), std::string::npos) << text << " not in " << dump.out;
  }
}

// The counter is played by the test, so each cause can be made and taken away at will.
class AlarmRun : public LiveRun {
 protected:
  struct Causes {
    std::atomic<bool> flowStopped{false}, laserOut{false}, badFrames{false}, gpsSilent{false},
        silent{false};
  };

  // Ten L frames a second (every other one cut short while frames are bad) and a GGA
  // sentence every half second, as the causes say; idle text while silent.
  void PlayCounter() {
    player_ = std::thread([this] {
      for (int i = 0; !done_; ++i) {
        std::string bytes;
        if (causes_.silent) {
          bytes = "STATUS: IDLE\r\n";
        } else {
          test::LFrameFields f;
          f.bins[3] = static_cast<std::uint16_t>(i % 7);
          f.housekeeping = {1, 2, 3, 100, 1000, 5, 2000};
          if (causes_.flowStopped) f.housekeeping[3] = 0;
          if (causes_.laserOut) f.housekeeping[6] = 100;
          if (causes_.badFrames && i % 2 == 0) f.length = 273;
          const test::Bytes wire = test::Wire(test::MakeLFrame(f));
          bytes.assign(wire.begin(), wire.end());
          if (!causes_.gpsSilent && i % 5 == 0) {
            const test::Bytes gga = test::Wire(test::MakeTextFrame(
                '$', WithNmeaChecksum("$GPGGA,120000,4439.000,N,06330.000,W,1,08,0.9,5.0,M,,M,,")));
            bytes.append(gga.begin(), gga.end());
          }
        }
        counter_.Send(bytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
  }
  // The player ends before the device it writes to.
  ~AlarmRun() override {
    done_ = true;
    if (player_.joinable()) player_.join();
  }
  // Waits for the status line to show exactly these alarms.
  bool Alarms(const std::string& shown) { return Status("alarms " + shown + "  ", 12); }
  void SetFreeDisk(const std::string& bytes) { test::WriteFile(freeBytes_, bytes); }

  test::Pty counter_{link_};  // the counter's device, which the test plays
  Causes causes_;
  std::atomic<bool> done_{false};
  std::thread player_;
  const std::string freeBytes_ = dir_ / "free-bytes";
};

// The free disk space is faked through statvfs, but not under a sanitizer (whose runtime must
// come first).
#ifdef VESK_DISK_SPACE_SHIM
constexpr bool kDiskFaked = true;
#else
constexpr bool kDiskFaked = false;
#endif

TEST_F(AlarmRun, EachAlarmIsRaisedOnceAndClearedWithItsCause) {
  SetFreeDisk("10000000000");
#ifdef VESK_DISK_SPACE_SHIM
  env_["LD_PRELOAD"] = VESK_DISK_SPACE_SHIM;
  env_["VESK_FAKE_FREE_BYTES_FILE"] = freeBytes_;
#endif
  const std::string state = dir_ / "state";
  env_["XDG_STATE_HOME"] = state;
  PlayCounter();
  StartVesk({"--log"}, std::string(kGgaSettings) + PublishSettings(listener_.Port()) +
                           "[Alarms]\nNoDataSeconds=2\nMinFlowSpeed=0.5\nMaxFrameErrorPercent=20\n"
                           "FrameErrorWindowSeconds=2\nGpsStaleSeconds=2\nHoldSeconds=1\n");
  ASSERT_TRUE(Status("logging", 15)) << Err();
  ASSERT_TRUE(Alarms("none")) << vesk_->Out();

  causes_.flowStopped = causes_.laserOut = causes_.gpsSilent = true;
  ASSERT_TRUE(Alarms("FLOW,LASER,GPS")) << vesk_->Out();
  causes_.flowStopped = causes_.laserOut = causes_.gpsSilent = false;
  causes_.badFrames = true;
  SetFreeDisk("50000000");  // 50 MB, below the 150 MB of the default limit
  ASSERT_TRUE(Alarms(kDiskFaked ? "FRAMES,DISK" : "FRAMES")) << vesk_->Out();
  causes_.badFrames = false;
  SetFreeDisk("10000000000");
  ASSERT_TRUE(Alarms("none")) << vesk_->Out();
  // A counter that falls silent but for its idle text (its GPS with it), and comes back.
  causes_.silent = true;
  ASSERT_TRUE(Alarms("NO DATA,GPS")) << vesk_->Out();
  causes_.silent = false;
  ASSERT_TRUE(Alarms("none")) << vesk_->Out();
  ASSERT_EQ(StopAndQuit(), 0) << Err();

  const std::string err = Err();
  // Each published as raised and then cleared, once a cause (the GPS twice), none other.
  const std::string once = "raised cleared ";
  std::map<std::string, std::string> expected = {
      {"no_counter_data", once}, {"flow_low", once},         {"laser_monitor", once},
      {"frame_errors", once},    {"gps_stale", once + once},
  };
  if (kDiskFaked) expected["disk_low"] = once;
  std::map<std::string, std::string> states;
  for (const Json& a : OfType(listener_.Received(), "alarm")) {
    states[a["alarm"]] += a["state"].get<std::string>() + " ";
  }
  EXPECT_EQ(states, expected);
  EXPECT_EQ(Occurrences(err, "ALARM: "), kDiskFaked ? 7 : 6) << err;  // each told once
  EXPECT_EQ(Occurrences(err, "Alarm cleared:"), kDiskFaked ? 7 : 6) << err;
  // The messages are in the log file too.
  const std::string log = ReadFile(state + "/VESK/vesk.log");
  EXPECT_EQ(Occurrences(log, "ALARM: laser monitor 100 is outside 1000 to 4000"), 1) << log;
  EXPECT_NE(log.find("Alarm cleared: data from the counter again"), std::string::npos) << log;
  // The idle text is bytes without a frame; errors are a rate, never a share of the L frames.
  EXPECT_NE(log.find("but no frame has been complete for "), std::string::npos) << log;
  EXPECT_NE(log.find(" a second) beside "), std::string::npos) << log;
}

}  // namespace
}  // namespace vesk
