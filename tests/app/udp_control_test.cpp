// The UDP remote control on real sockets on 127.0.0.1.

#include "control/udp_control.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <algorithm>
#include <string>
#include <vector>

#include "seams/memory_settings_store.h"
#include "test_support/udp.h"

namespace vesk {
namespace {

class UdpControl : public ::testing::Test {
 protected:
  UdpControl() { store_.WriteInt("RemoteControl", "Port", test::FreeUdpPort()); }

  std::unique_ptr<CUDPControl> Make() {
    return std::make_unique<CUDPControl>(
        store_, CUDPControl::Actions{
                    .startLogging = [this] { calls_.push_back("log"); },
                    .stop = [this] { calls_.push_back("stop"); },
                    .closeApplication = [this] { calls_.push_back("close"); },
                    .startAcquisition = [this] { calls_.push_back("acquire"); },
                    .note = [this](const std::string& t) { notes_.push_back(t); },
                    .mark = [this](const std::string& note) { calls_.push_back("mark " + note); }});
  }

  // Sends the datagrams together, then (a moment later) one marker datagram (command 2),
  // and waits for the marker. A refusing control never calls: then it waits 300 ms.
  void SendAndSettle(CUDPControl& control, const std::vector<QByteArray>& datagrams,
                     bool obeyed = true) {
    QUdpSocket sender;
    sender.setProxy(QNetworkProxy::NoProxy);  // no system-proxy lookup thread
    for (const QByteArray& d : datagrams) {
      sender.writeDatagram(d, QHostAddress::LocalHost, control.LocalPort());
    }
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 100) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const std::size_t before = calls_.size();
    QByteArray marker(10, '\0');
    marker[0] = 2;
    sender.writeDatagram(marker, QHostAddress::LocalHost, control.LocalPort());
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < (obeyed ? 3000 : 300) &&
           (calls_.size() == before || calls_.back() != "stop")) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
  }

  static QByteArray Datagram(int command, int size = 10) {
    QByteArray d(size, '\x55');
    if (size >= 1) d[0] = static_cast<char>(command & 0xFF);
    if (size >= 2) d[1] = static_cast<char>((command >> 8) & 0xFF);
    return d;
  }

  int argc_ = 1;
  char arg0_[8] = "test";
  char* argv_[1] = {arg0_};
  QCoreApplication app_{argc_, argv_};
  MemorySettingsStore store_;
  std::vector<std::string> calls_;
  std::vector<std::string> notes_;
};

TEST_F(UdpControl, OnlyAllowedSendersAreObeyed) {
  store_.WriteString("RemoteControl", "AllowedHosts", "10.9.8.7, 192.168.1.1");
  auto refusing = Make();
  ASSERT_TRUE(refusing->Open());
  SendAndSettle(*refusing, {Datagram(4)}, false);
  EXPECT_TRUE(calls_.empty());

  // Names are looked up when the socket opens; one without an address is told.
  store_.WriteString("RemoteControl", "AllowedHosts", "10.9.8.7,localhost,no-such-host.invalid");
  store_.WriteInt("RemoteControl", "Port", test::FreeUdpPort());
  auto allowing = Make();
  ASSERT_TRUE(allowing->Open());
  ASSERT_EQ(allowing->Warnings().size(), 1u);
  EXPECT_NE(allowing->Warnings()[0].find("no-such-host.invalid"), std::string::npos);
  SendAndSettle(*allowing, {Datagram(4)});
  EXPECT_EQ(calls_, (std::vector<std::string>{"acquire", "stop"}));
}

TEST_F(UdpControl, PortsThatCannotBeUsedAreRefusedWithTheirReason) {
  QUdpSocket holder;
  holder.setProxy(QNetworkProxy::NoProxy);  // no system-proxy lookup thread
  ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, 0));
  for (const int port : {static_cast<int>(holder.localPort()), 0, 70000, -1}) {
    SCOPED_TRACE(port);
    store_.WriteInt("RemoteControl", "Port", port);
    auto control = Make();
    EXPECT_FALSE(control->Open());
    EXPECT_NE(control->ErrorText().find(std::to_string(port)), std::string::npos)
        << control->ErrorText();
  }
}

}  // namespace
}  // namespace vesk
