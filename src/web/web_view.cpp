#include "web/web_view.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "acquisition/vesk_doc.h"
#include "seams/settings_store.h"
#include "web/host_filter.h"

namespace vesk {
namespace {

using Status = QHttpServerResponder::StatusCode;
using Method = QHttpServerRequest::Method;

constexpr const char* kRequestBytes = "veskRequestBytes";
constexpr const char* kLivePath = "/live";
constexpr const char* kJson = "application/json";
constexpr const char* kPlain = "text/plain; charset=utf-8";
constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";
constexpr const char* kPageSecurity =
    "default-src 'self'; connect-src 'self'; img-src 'self' data:; style-src 'self'; "
    "frame-ancestors 'none'";

// What the web view tells the user and the refused browsers.
constexpr const char* kServing = "Web view: ";
constexpr const char* kNotServing = "Web view not available: ";
constexpr const char* kHostRefused =
    "This computer is not allowed to see the VESK web view (WebView/AllowedHosts).\n";
constexpr const char* kMethodRefused = "The VESK web view answers GET and HEAD only.\n";
constexpr const char* kTooLarge = "The request is too large for the VESK web view.\n";
constexpr const char* kTooManyConnections =
    "The VESK web view has too many connections open; try again later.\n";
constexpr const char* kNotFound = "No such page in the VESK web view.\n";
constexpr const char* kBadSeconds =
    "seconds= wants a whole number of seconds (at most 3600 are kept; 600 without it).\n";
constexpr const char* kNoChartLibrary =
    "The plotting library is not installed (Debian package libjs-chart.js).\n";
constexpr const char* kOtherSite = "VESK: the live values are for the page of this server only";
// A WebSocket close reason is at most 123 bytes.
constexpr const char* kTooManyBrowsers = "VESK: %d browsers are connected already (MaxClients)";

// A short answer written straight to a connection the HTTP server never sees (or that it
// must not read on), then closed.
void Refuse(QTcpSocket* socket, int status, const char* reason, const char* text) {
  QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
  const QByteArray body(text);
  socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  socket->disconnectFromHost();
}

struct Asset {
  const char* path;
  const char* resource;
  const char* type;
};
constexpr Asset kAssets[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
    {"/live.js", ":/web/live.js", "text/javascript; charset=utf-8"},
    {"/live.css", ":/web/live.css", "text/css; charset=utf-8"},
    {"/favicon.png", ":/web/vesk-48.png", "image/png"},
};

QByteArray Resource(const char* name) {
  QFile file(QString::fromLatin1(name));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

void WebViewSettings::Load(const SettingsStore& store) {
  enabled = store.Read(keys::kWebEnabled) != 0;
  bindAddress = store.Read(keys::kWebBindAddress);
  port = store.Read(keys::kWebPort);
  allowedHosts = store.Read(keys::kWebAllowedHosts);
  maxClients = std::max(1, store.Read(keys::kWebMaxClients));
}

// Qt's HTTP server with our one handler for every path and method.
class WebView::Http : public QAbstractHttpServer {
 public:
  explicit Http(WebView& view) : view_(view) {}

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
    view_.Answer(request, socket);
    return true;
  }
  void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

 private:
  friend class WebView;
  WebView& view_;
};

// The listening socket: every connection is admitted (or refused) before Qt's HTTP server
// reads a byte of it.
class WebView::Guard : public QTcpServer {
 public:
  Guard(WebView& view, QObject* parent) : QTcpServer(parent), view_(view) {}

 protected:
  void incomingConnection(qintptr descriptor) override {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
      delete socket;
      return;
    }
    if (view_.Admit(socket)) addPendingConnection(socket);
  }

 private:
  WebView& view_;
};

struct WebView::Client {
  std::unique_ptr<QWebSocket> socket;
  std::chrono::steady_clock::time_point progress;  // when it last took bytes (or had none)
};

WebView::WebView(LiveSources sources, QObject* parent)
    : QObject(parent), taker_(std::move(sources)) {
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

WebView::~WebView() {
  Stop();
}

bool WebView::Listening() const {
  return tcp_ != nullptr && tcp_->isListening();
}

std::string WebView::Address() const {
  if (!Listening()) return {};
  QString host = tcp_->serverAddress().toString();
  if (tcp_->serverAddress() == QHostAddress::Any ||
      tcp_->serverAddress() == QHostAddress::AnyIPv6) {
    host = QStringLiteral("<this computer's name or address>");
  } else if (tcp_->serverAddress().protocol() == QHostAddress::IPv6Protocol) {
    host = QLatin1Char('[') + host + QLatin1Char(']');
  }
  return "http://" + host.toStdString() + ":" + std::to_string(tcp_->serverPort()) + "/";
}

void WebView::Stop() {
  timer_.stop();
  for (auto& c : clients_) {
    c->socket->disconnect(this);
    c->socket->close(QWebSocketProtocol::CloseCodeGoingAway);
  }
  clients_.clear();
  for (const QPointer<QWebSocket>& socket : closing_) delete socket.data();
  closing_.clear();
  http_.reset();  // with its listening socket and the connections it holds
  tcp_ = nullptr;
}

void WebView::Configure() {
  UserDialogs& dialogs = taker_.Doc().Dialogs();
  Stop();
  settings_.Load(taker_.Doc().Store());
  if (!settings_.enabled) return;
  std::vector<std::string> warnings;
  filter_ = std::make_unique<HostFilter>(settings_.allowedHosts, warnings);
  for (const std::string& w : warnings) dialogs.Notify(w);

  QHostAddress address;
  const QString bindText = QString::fromStdString(settings_.bindAddress).trimmed();
  if (bindText.isEmpty() || bindText == QLatin1String("*")) {
    address = QHostAddress::Any;
  } else if (!address.setAddress(bindText)) {
    dialogs.Notify(std::string(kNotServing) + "the bind address \"" + settings_.bindAddress +
                   "\" is not a numeric address (WebView/BindAddress).");
    return;
  }
  if (settings_.port < 1 || settings_.port > 65535) {
    dialogs.Notify(std::string(kNotServing) + "the port " + std::to_string(settings_.port) +
                   " is not one of 1 to 65535 (WebView/Port).");
    return;
  }
  http_ = std::make_unique<Http>(*this);
  auto* guard = new Guard(*this, http_.get());
  if (!guard->listen(address, static_cast<quint16>(settings_.port))) {
    dialogs.Notify(std::string(kNotServing) + "port " + std::to_string(settings_.port) + ": " +
                   guard->errorString().toStdString());
    http_.reset();
    return;
  }
  http_->bind(guard);
  tcp_ = guard;
  connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this,
          [this] { AcceptWebSockets(); });
  timer_.start(kTickMs);
  dialogs.Notify(std::string(kServing) + Address() + " (open to " + filter_->Describe() + ")");
}

bool WebView::Admit(QTcpSocket* socket) {
  auto close = [socket] {
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(5000, socket, &QObject::deleteLater);
  };
  if (!filter_->Allows(socket->peerAddress())) {
    ++counters_.refusedHost;
    Refuse(socket, 403, "Forbidden", kHostRefused);
    close();
    return false;
  }
  if (connections_ >= settings_.maxClients * (1 + kMaxConnectionsPerClient)) {
    ++counters_.refusedClients;
    Refuse(socket, 503, "Service Unavailable", kTooManyConnections);
    close();
    return false;
  }
  ++connections_;
  connect(socket, &QObject::destroyed, this, [this] { --connections_; });
  // A request is read whole before it is answered: it may not grow without bound. Qt's
  // reader comes after this one, so a request past the bound is never parsed.
  socket->setReadBufferSize(4 * kMaxRequestBytes);
  // The system's own buffer for what waits to be sent stays small too (it would grow to
  // megabytes), so a browser that stops reading is seen within seconds.
  socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSendBufferBytes);
  socket->setProperty(kRequestBytes, 0);
  connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
    const qint64 bytes = socket->property(kRequestBytes).toLongLong() + socket->bytesAvailable();
    socket->setProperty(kRequestBytes, bytes);
    if (bytes > kMaxRequestBytes) {
      ++counters_.refusedSize;
      Refuse(socket, 413, "Payload Too Large", kTooLarge);
    }
  });
  return true;
}

const std::string& WebView::ChartLibrary() {
  if (!chartLibrary_) {
    std::ifstream in(VESK_CHARTJS_PATH, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    chartLibrary_ = in ? text.str() : std::string();
  }
  return *chartLibrary_;
}

void WebView::Answer(const QHttpServerRequest& request, QTcpSocket* socket) {
  socket->setProperty(kRequestBytes, 0);  // the next request on this connection starts anew
  QHttpServerResponder responder = Http::makeResponder(request, socket);
  const QString path = request.url().path();
  const bool head = request.method() == Method::Head;
  // The WebSocket upgrade: Qt hands the connection to its WebSocket server once this
  // handler has written nothing.
  if (path == QLatin1String(kLivePath) && request.method() == Method::Get &&
      request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0) {
    return;
  }
  ++counters_.requests;
  auto reply = [&](Status status, const char* type, const QByteArray& body,
                   const char* security = nullptr) {
    responder.writeStatusLine(status);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    if (security != nullptr) responder.writeHeader("Content-Security-Policy", security);
    if (status == Status::MethodNotAllowed) responder.writeHeader("Allow", "GET, HEAD");
    responder.writeBody(head ? QByteArray() : body);
  };
  if (request.method() != Method::Get && !head) {
    ++counters_.refusedMethod;
    reply(Status::MethodNotAllowed, kPlain, kMethodRefused);
    return;
  }
  auto bytes = [](const std::string& text) { return QByteArray::fromStdString(text); };
  const auto now = std::chrono::steady_clock::now();
  if (path == QLatin1String("/api/status")) {
    reply(Status::Ok, kJson, bytes(StatusJson(taker_.Take(now, false))));
  } else if (path == QLatin1String("/api/histogram")) {
    reply(Status::Ok, kJson, bytes(HistogramJson(taker_.Take(now, false))));
  } else if (path == QLatin1String("/api/profile")) {
    reply(Status::Ok, kJson, bytes(ProfileJson(taker_.Take(now, false))));
  } else if (path == QLatin1String("/api/timeseries")) {
    const QUrlQuery query(request.url());
    bool ok = true;
    const long long seconds = query.hasQueryItem(QStringLiteral("seconds"))
                                  ? query.queryItemValue(QStringLiteral("seconds")).toLongLong(&ok)
                                  : static_cast<long long>(kSeriesSamples);
    if (!ok || seconds < 0) {
      reply(Status::BadRequest, kPlain, kBadSeconds);
    } else {
      const auto count = static_cast<std::size_t>(
          std::min<long long>(seconds, static_cast<long long>(kMaxSeriesSamples)));
      reply(Status::Ok, kJson, bytes(TimeSeriesJson(taker_.TimeSeries(count))));
    }
  } else if (path == QLatin1String("/metrics")) {
    counters_.clients = static_cast<int>(clients_.size());
    reply(Status::Ok, kMetricsType, bytes(MetricsText(taker_.Take(now, true), counters_)));
  } else if (path == QLatin1String("/lib/chart.min.js")) {
    const std::string& library = ChartLibrary();
    if (library.empty()) {
      reply(Status::NotFound, kPlain, kNoChartLibrary);
    } else {
      reply(Status::Ok, "text/javascript; charset=utf-8", bytes(library));
    }
  } else {
    for (const Asset& asset : kAssets) {
      if (path == QLatin1String(asset.path)) {
        reply(Status::Ok, asset.type, Resource(asset.resource), kPageSecurity);
        return;
      }
    }
    reply(Status::NotFound, kPlain, kNotFound);
  }
}

void WebView::AcceptWebSockets() {
  while (http_ && http_->hasPendingWebSocketConnections()) {
    std::unique_ptr<QWebSocket> socket = http_->nextPendingWebSocketConnection();
    if (!socket) break;
    QWebSocket* raw = socket.get();
    connect(raw, &QWebSocket::disconnected, raw, &QObject::deleteLater);
    std::erase_if(closing_, [](const QPointer<QWebSocket>& s) { return s.isNull(); });
    // Refused: closed with the reason (or at once), and gone a while later whatever the
    // browser does.
    auto refuse = [&](const QString& reason) {
      closing_.emplace_back(socket.release());
      if (reason.isEmpty()) {
        raw->abort();
      } else {
        raw->close(QWebSocketProtocol::CloseCodePolicyViolated, reason);
        QTimer::singleShot(5000, raw, &QObject::deleteLater);
      }
    };
    // A page of another site open in a browser on the ship may not follow the scan: the
    // page that opens /live must come from this server.
    const QString origin = raw->origin();
    if (raw->requestUrl().path() != QLatin1String(kLivePath)) {
      refuse({});
    } else if (!origin.isEmpty() &&
               QUrl(origin).authority() != QString::fromLatin1(raw->request().rawHeader("Host"))) {
      ++counters_.refusedHost;
      refuse(QString::fromLatin1(kOtherSite));
    } else if (clients_.size() >= static_cast<std::size_t>(settings_.maxClients)) {
      ++counters_.refusedClients;
      char reason[124];
      std::snprintf(reason, sizeof reason, kTooManyBrowsers, settings_.maxClients);
      refuse(QString::fromLatin1(reason));
    } else {
      Follow(std::move(socket));
    }
  }
}

void WebView::Follow(std::unique_ptr<QWebSocket> socket) {
  QWebSocket* raw = socket.get();
  // The page sends nothing; whatever a browser sends is read and dropped, in small pieces.
  raw->setMaxAllowedIncomingFrameSize(1024);
  raw->setMaxAllowedIncomingMessageSize(4096);
  disconnect(raw, &QWebSocket::disconnected, raw, &QObject::deleteLater);
  auto client = std::make_unique<Client>();
  client->socket = std::move(socket);
  client->progress = std::chrono::steady_clock::now();
  Client* c = client.get();
  connect(raw, &QWebSocket::disconnected, this, [this, c] { Drop(c); });
  connect(raw, &QWebSocket::bytesWritten, this,
          [c] { c->progress = std::chrono::steady_clock::now(); });
  clients_.push_back(std::move(client));
  const LiveSnapshot snapshot = taker_.Take(std::chrono::steady_clock::now(), false);
  const LiveTimeSeries series = taker_.TimeSeries(kSeriesSamples);
  const QString message = QString::fromStdString(LiveMessageJson(snapshot, series, true, true));
  counters_.sentBytes += static_cast<std::uint64_t>(raw->sendTextMessage(message));
}

void WebView::Drop(Client* client) {
  const auto at = std::find_if(clients_.begin(), clients_.end(),
                               [client](const auto& c) { return c.get() == client; });
  if (at == clients_.end()) return;
  QWebSocket* socket = (*at)->socket.release();
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
  closing_.emplace_back(socket);
  clients_.erase(at);
}

void WebView::Tick() {
  const auto now = std::chrono::steady_clock::now();
  taker_.Follow(now);
  if (clients_.empty()) return;
  // A browser that stopped reading is dropped before its backlog grows: one whose backlog
  // passed the bound, or that has taken nothing for a while.
  std::vector<Client*> stalled;
  for (const auto& c : clients_) {
    const qint64 waiting = c->socket->bytesToWrite();
    if (waiting == 0) c->progress = now;
    if (waiting > kMaxBacklogBytes || now - c->progress > std::chrono::seconds(kStallSeconds)) {
      stalled.push_back(c.get());
    }
  }
  for (Client* c : stalled) {
    ++counters_.droppedSlow;
    Drop(c);
  }
  Push(now - lastPush_ >= std::chrono::milliseconds(kQuietPushMs));
}

void WebView::Push(bool always) {
  if (clients_.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  const CVESKDoc& doc = taker_.Doc();
  // Nothing new (no frame, no new scan) pushes once a second: the fix age, the alarms and
  // the clock go on, and the page sees the connection is alive.
  const std::uint32_t frames = doc.Results().LFrames();
  if (!always && frames == pushedFrames_ && doc.ScanNumber() == pushedScan_) return;
  const LiveSnapshot snapshot = taker_.Take(now, false);
  const LiveTimeSeries samples = taker_.TimeSeries(kSeriesSamples, nextSample_);
  nextSample_ = samples.next;
  pushedFrames_ = snapshot.status.lFrames;
  pushedScan_ = snapshot.scanNumber;
  lastPush_ = now;
  // The profile goes out when it changed (every browser has the one of its first message).
  std::string profile = ProfileJson(snapshot);
  const bool profileChanged = profile != pushedProfile_;
  pushedProfile_ = std::move(profile);
  const QString message =
      QString::fromStdString(LiveMessageJson(snapshot, samples, false, profileChanged));
  for (const auto& c : clients_) {
    counters_.sentBytes += static_cast<std::uint64_t>(c->socket->sendTextMessage(message));
  }
}

}  // namespace vesk
