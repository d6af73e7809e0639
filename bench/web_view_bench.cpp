// The web view at the full line rate: a live scan of the simulated cast on a pseudo-terminal
// (as live_bench), with the live services ticking and the web view serving, first with no
// browser and then with four WebSocket clients following /live, each phase `seconds` long in
// one scan. Figures:
//   - the extra CPU of the web view: the user-interface thread's CPU (where the web view does
//     all its work, its sends included) with the browsers less without them, and the same
//     for the whole process less the counter's and the browsers' own threads;
//   - the latency from an L frame's last byte on the line to the /live message that carries
//     it at each client (median, 95th percentile);
//   - the anchor, measured in the same run: a plain send() of the same number of messages of
//     the same size to four TCP connections on 127.0.0.1.
// Needs no display: build/bench/web_view_bench.

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QWebSocket>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "acquisition/headless_seams.h"
#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "bench_anchors.h"
#include "cast_player.h"
#include "seams/memory_settings_store.h"
#include "web/web_view.h"

namespace {

using namespace vesk;
using vesk::bench::Clock;
using vesk::bench::ProcessCpuSeconds;
using vesk::bench::ThreadCpuSeconds;

// A TCP socket bound to a free port of 127.0.0.1, and that address.
int BoundLoopbackSocket(sockaddr_in& a) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  a = sockaddr_in{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t n = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  return s;
}

int FreeTcpPort() {
  sockaddr_in a;
  ::close(BoundLoopbackSocket(a));
  return ntohs(a.sin_port);
}

// The browsers: WebSocket clients on a thread of their own, noting when each message came and
// the frame count it carries.
struct Browsers {
  struct Message {
    Clock::time_point at;
    std::uint32_t frames;
  };
  std::vector<std::vector<Message>> received;
  std::atomic<int> connected{0};
  std::atomic<bool> stop{false};
  std::uint64_t bytes = 0;
  double cpuSeconds = 0;
  QThread* thread = nullptr;

  void Start(int count, int port) {
    received.resize(count);
    thread = QThread::create([this, count, port] {
      const double cpuStart = ThreadCpuSeconds();
      std::vector<std::unique_ptr<QWebSocket>> sockets;
      for (int i = 0; i < count; ++i) {
        sockets.push_back(std::make_unique<QWebSocket>());
        QWebSocket* s = sockets.back().get();
        QObject::connect(s, &QWebSocket::connected, [this] { ++connected; });
        QObject::connect(s, &QWebSocket::textMessageReceived, [this, i](const QString& text) {
          const auto at = Clock::now();
          const QByteArray utf8 = text.toUtf8();
          bytes += static_cast<std::uint64_t>(utf8.size());
          const char* field = std::strstr(utf8.constData(), "\"l_frames\":");
          if (field != nullptr)
            received[i].push_back({at, static_cast<std::uint32_t>(std::atoi(field + 11))});
        });
        s->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(port)));
      }
      QEventLoop loop;
      QTimer check;
      QObject::connect(&check, &QTimer::timeout, [&] {
        if (stop) loop.quit();
      });
      check.start(50);
      loop.exec();
      cpuSeconds = ThreadCpuSeconds() - cpuStart;
    });
    thread->start();
  }
  void Stop() {
    stop = true;
    thread->wait();
    delete thread;
  }
};

// The anchor: `messages` sends of `size` bytes to each of `connections` TCP connections on
// 127.0.0.1, a thread reading them off; the sending thread's CPU seconds.
double PlainSendCpu(int connections, std::size_t messages, std::size_t size) {
  sockaddr_in a;
  const int listener = BoundLoopbackSocket(a);
  ::listen(listener, connections);
  std::vector<int> senders, readers;
  for (int i = 0; i < connections; ++i) {
    senders.push_back(::socket(AF_INET, SOCK_STREAM, 0));
    ::connect(senders.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    readers.push_back(::accept(listener, nullptr, nullptr));
  }
  std::atomic<bool> done{false};
  std::thread drain([&] {
    std::vector<char> buffer(1 << 16);
    while (!done) {
      for (const int r : readers) ::recv(r, buffer.data(), buffer.size(), MSG_DONTWAIT);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const std::vector<char> message(size, 'x');
  const double start = ThreadCpuSeconds();
  for (std::size_t m = 0; m < messages; ++m) {
    for (const int s : senders) ::send(s, message.data(), message.size(), MSG_NOSIGNAL);
  }
  const double cpu = ThreadCpuSeconds() - start;
  done = true;
  drain.join();
  for (const int s : senders) ::close(s);
  for (const int r : readers) ::close(r);
  ::close(listener);
  return cpu;
}

void BM_WebViewAtLineRate(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const int browserCount = static_cast<int>(state.range(1));
  const int master = bench::OpenMaster();
  char dirPattern[] = "/tmp/vesk-web-XXXXXX";
  const std::string dir = mkdtemp(dirPattern);
  const int port = FreeTcpPort();

  MemorySettingsStore store;
  store.WriteString("Settings", "DataDir", dir);
  store.WriteString("Settings", "SurveyLat", "44.65");
  store.WriteString("PortSettings", "Device_DU", ptsname(master));
  store.WriteInt("WebView", "Enabled", 1);
  store.WriteInt("WebView", "Port", port);
  HeadlessWindows windows;
  ConsoleDialogs dialogs(true, true);
  SystemClock clock;
  CVESKDoc doc(store, windows, dialogs, clock);
  doc.ConnectCounterPort();
  LiveServices services(doc);
  WebView web(LiveSources{doc, services, {}, {}});
  web.Configure();
  QTimer servicesTimer;  // the status timer of the window and the headless runner
  QObject::connect(&servicesTimer, &QTimer::timeout, [&] { services.Tick(); });
  servicesTimer.start(1000);

  std::mutex sentLock;
  std::vector<Clock::time_point> sent;  // the n-th L frame of the scan at [n - 1]
  double mainAlone = 0, mainWith = 0, processAlone = 0, processWith = 0, anchor = 0;
  double followed = 1;  // seconds the browsers were connected
  std::vector<double> latenciesMs;
  std::size_t messages = 0;
  std::uint64_t messageBytes = 0;
  for (auto _ : state) {
    doc.StartAcquisition();
    char sink[256];
    while (read(master, sink, sizeof sink) == 2) break;  // "q" and "a" from the program
    std::atomic<bool> playing{true};
    double writerCpu = 0;
    std::thread writer([&] {
      writerCpu = bench::PlayCast(
          master, 2 * seconds,
          [&](Clock::time_point t) {
            std::lock_guard lock(sentLock);
            sent.push_back(t);
          },
          [] {});
      playing = false;
    });
    auto runFor = [](double s) {
      QEventLoop loop;
      QTimer::singleShot(static_cast<int>(s * 1000), &loop, &QEventLoop::quit);
      loop.exec();
    };
    runFor(1);  // the scan under way
    // The scan alone.
    double mainStart = ThreadCpuSeconds(), processStart = ProcessCpuSeconds();
    runFor(seconds - 2);
    mainAlone = (ThreadCpuSeconds() - mainStart) / (seconds - 2) * 100;
    const double processAloneCpu = ProcessCpuSeconds() - processStart;

    // With the browsers following it.
    Browsers browsers;
    browsers.Start(browserCount, port);
    while (browsers.connected < browserCount) runFor(0.05);
    const auto connectedAt = Clock::now();
    runFor(0.5);
    mainStart = ThreadCpuSeconds();
    processStart = ProcessCpuSeconds();
    const double withSeconds = seconds - 1;
    runFor(withSeconds);
    mainWith = (ThreadCpuSeconds() - mainStart) / withSeconds * 100;
    const double processWithCpu = ProcessCpuSeconds() - processStart;
    while (playing) runFor(0.1);
    writer.join();
    followed = std::chrono::duration<double>(Clock::now() - connectedAt).count();
    browsers.Stop();
    doc.StopScan();
    // The writer played through both phases evenly; the browsers' own thread is not the
    // program's.
    const double writerShare = writerCpu / (2 * seconds);
    processAlone = (processAloneCpu - writerShare * (seconds - 2)) / (seconds - 2) * 100;
    processWith =
        (processWithCpu - writerShare * withSeconds - browsers.cpuSeconds) / withSeconds * 100;

    for (const auto& page : browsers.received) {
      // From the frame after those of the first message (which brings what came before the
      // client connected) on.
      std::size_t next = page.empty() ? 0 : page.front().frames;
      for (const auto& m : page) {
        for (; next < m.frames && next < sent.size(); ++next) {
          if (sent[next] < m.at) {
            latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(m.at - sent[next]).count());
          }
        }
      }
      messages += page.size();
    }
    messageBytes = browsers.bytes;
    const std::size_t perClient = messages / std::max(1, browserCount);
    const std::size_t size = messages > 0 ? messageBytes / messages : 0;
    anchor = PlainSendCpu(browserCount, perClient, size) / followed * 100;
  }
  std::sort(latenciesMs.begin(), latenciesMs.end());
  const double extraMain = mainWith - mainAlone;
  state.counters["ui_thread_cpu_pct_alone"] = mainAlone;
  state.counters["ui_thread_cpu_pct_with_browsers"] = mainWith;
  state.counters["web_extra_cpu_pct"] = extraMain;
  state.counters["process_cpu_pct_alone"] = processAlone;
  state.counters["process_cpu_pct_with_browsers"] = processWith;
  state.counters["anchor_plain_send_cpu_pct"] = anchor;
  state.counters["x_plain_send"] = anchor > 0 ? extraMain / anchor : 0;
  state.counters["messages_per_browser_per_s"] =
      static_cast<double>(messages) / std::max(1, browserCount) / followed;
  state.counters["message_bytes"] = messages > 0 ? static_cast<double>(messageBytes / messages) : 0;
  if (!latenciesMs.empty()) {
    state.counters["latency_median_ms"] = latenciesMs[latenciesMs.size() / 2];
    state.counters["latency_p95_ms"] = latenciesMs[latenciesMs.size() * 95 / 100];
  }
  ::close(master);
  std::filesystem::remove_all(dir);
}

BENCHMARK(BM_WebViewAtLineRate)
    ->Args({30, 4})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
