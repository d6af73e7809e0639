#include "control/udp_control.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <ctime>

#include "control/remote_command.h"

namespace vesk {

CUDPControl::Actions CUDPControl::ActionsFor(RemoteCommandTarget& target) {
  return {
      .startLogging = [&target] { target.StartLogging(); },
      .stop = [&target] { target.Stop(); },
      .closeApplication = [&target] { target.CloseApplication(); },
      .startAcquisition = [&target] { target.StartAcquisition(); },
      .note = [&target](const std::string& text) { target.NoteRemote(text); },
      .mark = [&target](const std::string& note) { target.Mark(note); },
  };
}

CUDPControl::CUDPControl(const SettingsStore& store, Actions actions, QObject* parent)
    : QObject(parent), store_(store), actions_(std::move(actions)) {
  // Commands come straight to this socket: no proxy lookup (it would start a resolver thread
  // and consult the system's proxy settings for a local listener).
  socket_.setProxy(QNetworkProxy::NoProxy);
  connect(&socket_, &QUdpSocket::readyRead, this, &CUDPControl::OnReadyRead);
}

bool CUDPControl::Open() {
  const int port = store_.Read(keys::kRemotePort);
  const QString bindText = QString::fromStdString(store_.Read(keys::kRemoteBindAddress));
  allowedHosts_ = ResolveAllowedHosts(store_.Read(keys::kRemoteAllowedHosts));
  QHostAddress address;
  if (bindText.isEmpty() || bindText == QLatin1String("*")) {
    address = QHostAddress::Any;
  } else if (!address.setAddress(bindText)) {
    error_ = "invalid bind address " + bindText.toStdString();
    return false;
  }
  // Port 0 would bind a port nobody knows; the senders need the one in the settings.
  if (port < 1 || port > 65535) {
    error_ = "the port " + std::to_string(port) + " is not one of 1 to 65535";
    return false;
  }
  if (!socket_.bind(address, static_cast<quint16>(port))) {
    error_ = "port " + std::to_string(port) + ": " + socket_.errorString().toStdString();
    return false;
  }
  return true;
}

std::string CUDPControl::ResolveAllowedHosts(const std::string& hosts) {
  // Host names are looked up once, here; senders are then compared by address.
  std::string resolved;
  auto add = [&resolved](const std::string& entry) {
    if (!resolved.empty()) resolved += ',';
    resolved += entry;
  };
  for (const QString& raw : QString::fromStdString(hosts).split(QLatin1Char(','))) {
    const QString entry = raw.trimmed();
    if (entry.isEmpty()) continue;
    if (!QHostAddress(entry).isNull()) {
      add(entry.toStdString());
      continue;
    }
    const QHostInfo info = QHostInfo::fromName(entry);
    if (info.addresses().isEmpty()) {
      warnings_.push_back("Remote control: the allowed host \"" + entry.toStdString() +
                          "\" has no address (" + info.errorString().toStdString() +
                          "); its commands are refused.");
      continue;
    }
    for (const QHostAddress& a : info.addresses()) add(a.toString().toStdString());
  }
  // A list whose every entry failed allows nobody (not everybody, as an empty list would).
  if (resolved.empty() && !QString::fromStdString(hosts).trimmed().isEmpty()) resolved = ",";
  return resolved;
}

void CUDPControl::NoteReceived(RemoteCommand command, const std::string& sender) {
  ReceivedRemoteCommand received{command, sender, {}};
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, &received.localTime);
  lastReceived_ = received;
}

void CUDPControl::OnReadyRead() {
  // Everything waiting is taken in at once and coalesced, so a burst costs one stop and one
  // start at most, and the event loop is back after them.
  std::vector<RemoteCommand> batch;
  std::deque<std::string> notes;  // of the marks, in order
  while (socket_.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = socket_.receiveDatagram(65536);
    const std::string sender = datagram.senderAddress().toString().toStdString();
    if (!IsRemoteSenderAllowed(sender, allowedHosts_)) continue;
    const QByteArray data = datagram.data();
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(data.constData()),
        static_cast<std::size_t>(data.size()));
    const RemoteCommand command = ParseRemoteCommand(bytes);
    if (command == RemoteCommand::kNone) continue;
    if (command == RemoteCommand::kMark) notes.push_back(RemoteMarkNote(bytes));
    NoteReceived(command, sender);
    batch.push_back(command);
  }
  if (batch.empty()) return;
  const std::uint64_t droppedBefore = gate_.Dropped();
  const std::vector<RemoteCommand> run = gate_.Coalesce(batch, RemoteCommandGate::Clock::now());
  if (gate_.Dropped() > droppedBefore && actions_.note) {
    actions_.note("Remote control: " + std::to_string(gate_.Dropped() - droppedBefore) +
                  " start command(s) ignored - they came faster than a scan can start.");
  }
  for (const RemoteCommand command : run) {
    switch (command) {
      case RemoteCommand::kNone: break;
      case RemoteCommand::kStartLogging:
        if (actions_.startLogging) actions_.startLogging();
        break;
      case RemoteCommand::kStop:
        if (actions_.stop) actions_.stop();
        break;
      case RemoteCommand::kCloseApplication:
        if (actions_.closeApplication) actions_.closeApplication();
        break;
      case RemoteCommand::kStartAcquisition:
        if (actions_.startAcquisition) actions_.startAcquisition();
        break;
      case RemoteCommand::kMark:
        if (actions_.mark) actions_.mark(notes.front());
        notes.pop_front();
        break;
    }
  }
}

}  // namespace vesk
