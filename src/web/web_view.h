#pragma once
// The ship's live view: a read-only web server inside the program (window or headless), off
// by default. It serves the live page (/), its values pushed over a WebSocket (/live) within
// a fraction of a second, the same values as JSON (/api/status, /api/histogram,
// /api/timeseries, /api/profile) and as Prometheus metrics (/metrics). GET and HEAD only;
// hosts outside the allow-list, requests too large and browsers past the limit are refused
// and counted; a browser that stops reading is dropped. Everything runs on the
// user-interface thread from snapshots of the document: the scan never waits for it, and
// nothing over HTTP can start, stop or change anything.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "web/live_json.h"
#include "web/live_snapshot.h"

class QAbstractHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QTcpServer;
class QTcpSocket;
class QWebSocket;

namespace vesk {

class HostFilter;
class SettingsStore;

struct WebViewSettings {
  bool enabled = false;
  std::string bindAddress;  // numeric, or "" / "*" for every interface
  int port = 0;
  std::string allowedHosts;
  int maxClients = 0;  // browsers on /live at once

  void Load(const SettingsStore& store);
};

class WebView : public QObject {
 public:
  static constexpr int kTickMs = 200;                 // between looks at the scan
  static constexpr int kQuietPushMs = 1000;           // a push at least this often
  static constexpr std::size_t kSeriesSamples = 600;  // 10 minutes of the time charts
  static constexpr std::size_t kMaxSeriesSamples = 3600;
  static constexpr qint64 kMaxRequestBytes = 16 * 1024;
  static constexpr qint64 kMaxBacklogBytes = 256 * 1024;  // waiting for one browser
  static constexpr int kSendBufferBytes = 64 * 1024;      // the system's, per connection
  static constexpr int kStallSeconds = 10;  // a browser that took nothing for this long goes
  static constexpr int kMaxConnectionsPerClient = 4;  // HTTP connections beside each browser

  explicit WebView(LiveSources sources, QObject* parent = nullptr);
  ~WebView() override;
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // Reads the WebView settings and starts, restarts or stops the server accordingly; the
  // address it serves (or why it cannot) is told to the user.
  void Configure();
  bool Listening() const;
  // "http://127.0.0.1:55180/", or "" when not listening.
  std::string Address() const;
  const WebCounters& Counters() const { return counters_; }

 private:
  class Http;
  class Guard;
  struct Client;

  void Stop();
  void Answer(const QHttpServerRequest& request, QTcpSocket* socket);
  void AcceptWebSockets();
  // A browser that may follow the scan: its first message is everything the page shows.
  void Follow(std::unique_ptr<QWebSocket> socket);
  void Tick();
  void Push(bool always);
  void Drop(Client* client);
  // Accepted TCP connection: false (and answered) when refused.
  bool Admit(QTcpSocket* socket);
  const std::string& ChartLibrary();

  LiveSnapshotTaker taker_;
  WebViewSettings settings_;
  std::unique_ptr<HostFilter> filter_;
  std::unique_ptr<Http> http_;
  QTcpServer* tcp_ = nullptr;  // owned by http_
  std::vector<std::unique_ptr<Client>> clients_;
  std::vector<QPointer<QWebSocket>> closing_;  // refused, until their close is sent
  int connections_ = 0;                        // TCP connections open, browsers' included
  QTimer timer_;
  std::chrono::steady_clock::time_point lastPush_{};
  std::optional<std::uint64_t> nextSample_;
  std::uint32_t pushedFrames_ = 0;
  std::uint64_t pushedScan_ = 0;
  std::string pushedProfile_ = "null";
  WebCounters counters_;
  std::optional<std::string> chartLibrary_;
};

}  // namespace vesk
