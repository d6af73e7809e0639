// The network publisher at the full 115200 bit/s line rate: one iteration publishes what one
// second of a full line gives (two L frames, the rest M frames of 40 events with a CTD line
// each: the most datagrams a line can carry), so its time per iteration is the share of a core
// it takes. Beside it the physical floor: plain sendto() of the same datagrams on the same kind
// of socket, and the JSON formatting alone.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "control/live_records.h"
#include "control/record_publisher.h"
#include "processing/deframer.h"

namespace {

using namespace vesk;

constexpr double kLineBytesPerSecond = 115200 / 10.0;
const std::string kCtdLine = "  10.512  30.114  12.301  0.700";

// A receiving socket on 127.0.0.1 that nobody reads (the kernel drops what overflows it).
struct Receiver {
  Receiver() {
    fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    address = a;
  }
  ~Receiver() { ::close(fd); }
  int fd = -1;
  sockaddr_in address{};
};

// What one second of a full line holds.
struct LineSecond {
  int lFrames = 2;
  int fillers = 0;  // M frame + C frame pairs
  ExportRow row;
  std::vector<std::uint32_t> events;

  LineSecond() {
    std::vector<std::uint8_t> l(273, 0);
    const std::size_t lWire = EncodeFrame('L', l).size();
    std::vector<std::uint8_t> m(6 * 40, 0x11);
    const std::size_t fillerWire =
        EncodeFrame('M', m).size() +
        EncodeFrame(
            'C', std::span(reinterpret_cast<const std::uint8_t*>(kCtdLine.data()), kCtdLine.size()))
            .size();
    fillers = static_cast<int>((kLineBytesPerSecond - lFrames * lWire) / fillerWire);
    for (int k = 0; k < kExportBinCount; ++k) row.bins[k] = static_cast<std::uint32_t>(k * 7 % 50);
    row.pressure = 10.5;
    row.temperature = 12.3;
    row.conductivity = 30.1;
    row.salinity = 33.2;
    row.analog = 0.7;
    row.flowSpeed = 1.2;
    row.frameTotal = 1750;
    for (int e = 0; e < 40; ++e) {
      events.insert(events.end(), {static_cast<std::uint32_t>(e % 35), 1000u + e, 12u, 300u});
    }
  }
  int Datagrams() const { return lFrames + 2 * fillers; }
};

// An iteration is a second of line: its CPU time is the share of a core (100 us: 0.01 %).
void Report(benchmark::State& state, const LineSecond& second) {
  state.counters["datagrams_per_s"] = second.Datagrams();
}

void BM_PublishLineSecond(benchmark::State& state) {
  Receiver receiver;
  RecordPublisher publisher;
  PublishSettings settings;
  settings.enabled = true;
  settings.port = ntohs(receiver.address.sin_port);
  publisher.Configure(settings);
  LiveRecordSink sink(publisher, [] { return LivePosition{44.65, -63.5, 0.4}; });
  sink.OnScanStart({false, 0, 44.65});
  const LineSecond second;
  ExportRow row = second.row;
  for (auto _ : state) {
    for (int i = 0; i < second.lFrames; ++i) {
      row.lFrameIndex++;
      sink.OnLRecord(row);
    }
    for (int i = 0; i < second.fillers; ++i) {
      sink.OnMEvents(second.events, row.lFrameIndex);
      sink.OnCRecord(kCtdLine, row);
    }
  }
  Report(state, second);
  state.counters["dropped"] = static_cast<double>(publisher.Dropped());
}

// The same datagrams, made once, sent with plain sendto().
void BM_SendtoLineSecond(benchmark::State& state) {
  Receiver receiver;
  const LineSecond second;
  const RecordHeader header{1, UtcNow(), false};
  const RecordScanInfo scan{false, 0, 44.65};
  const LivePosition at{44.65, -63.5, 0.4};
  std::vector<std::string> datagrams;
  for (int i = 0; i < second.lFrames; ++i)
    datagrams.push_back(LRecordJson(header, scan, second.row, at));
  for (int i = 0; i < second.fillers; ++i) {
    datagrams.push_back(MRecordJson(header, second.events, 0));
    datagrams.push_back(CRecordJson(header, scan, kCtdLine, second.row, at));
  }
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  for (auto _ : state) {
    for (const std::string& d : datagrams) {
      ::sendto(fd, d.data(), d.size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&receiver.address), sizeof receiver.address);
    }
  }
  ::close(fd);
  Report(state, second);
}

// The JSON of a line-second without sending it.
void BM_FormatLineSecond(benchmark::State& state) {
  const LineSecond second;
  const RecordScanInfo scan{false, 0, 44.65};
  const LivePosition at{44.65, -63.5, 0.4};
  std::uint64_t seq = 0;
  for (auto _ : state) {
    for (int i = 0; i < second.lFrames; ++i) {
      benchmark::DoNotOptimize(LRecordJson({seq++, UtcNow(), false}, scan, second.row, at));
    }
    for (int i = 0; i < second.fillers; ++i) {
      benchmark::DoNotOptimize(MRecordJson({seq++, UtcNow(), false}, second.events, 0));
      benchmark::DoNotOptimize(
          CRecordJson({seq++, UtcNow(), false}, scan, kCtdLine, second.row, at));
    }
  }
  Report(state, second);
}

BENCHMARK(BM_PublishLineSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SendtoLineSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FormatLineSecond)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
