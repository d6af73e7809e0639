#include "web/host_filter.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QStringList>

namespace vesk {
namespace {

// An IPv4 peer that reached an IPv6 socket ("::ffff:10.0.0.5") as its IPv4 address.
QHostAddress Plain(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  return isV4 ? QHostAddress(v4) : address;
}

// One host as a subnet of its own.
std::pair<QHostAddress, int> Host(const QHostAddress& address) {
  const QHostAddress plain = Plain(address);
  return {plain, plain.protocol() == QHostAddress::IPv4Protocol ? 32 : 128};
}

}  // namespace

HostFilter::HostFilter(const std::string& allowedHosts, std::vector<std::string>& warnings) {
  const QString text = QString::fromStdString(allowedHosts).trimmed();
  if (text.isEmpty()) {
    ownOnly_ = true;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) own_.push_back(Plain(a));
    described_ = "this computer only";
    return;
  }
  for (const QString& raw : text.split(QLatin1Char(','))) {
    const QString entry = raw.trimmed();
    if (entry.isEmpty()) continue;
    if (entry == QLatin1String("*")) {
      everyone_ = true;
    } else if (entry.contains(QLatin1Char('/'))) {
      const auto subnet = QHostAddress::parseSubnet(entry);
      if (subnet.first.isNull()) {
        warnings.push_back("Web view: the allowed subnet \"" + entry.toStdString() +
                           "\" is not one (such as 10.0.0.0/24); it is left out.");
        continue;
      }
      subnets_.emplace_back(Plain(subnet.first), subnet.second);
    } else if (const QHostAddress address(entry); !address.isNull()) {
      subnets_.push_back(Host(address));
    } else {
      const QHostInfo info = QHostInfo::fromName(entry);
      if (info.addresses().isEmpty()) {
        warnings.push_back("Web view: the allowed host \"" + entry.toStdString() +
                           "\" has no address (" + info.errorString().toStdString() +
                           "); it is left out.");
        continue;
      }
      for (const QHostAddress& a : info.addresses()) subnets_.push_back(Host(a));
    }
    if (!described_.empty()) described_ += ", ";
    described_ += entry.toStdString();
  }
  if (everyone_) described_ = "every host";
  if (described_.empty()) described_ = "nobody (no allowed host could be used)";
}

bool HostFilter::Allows(const QHostAddress& peer) const {
  if (everyone_) return true;
  const QHostAddress p = Plain(peer);
  if (ownOnly_) {
    if (p.isLoopback()) return true;
    for (const QHostAddress& a : own_) {
      if (a.isEqual(p, QHostAddress::TolerantConversion)) return true;
    }
    return false;
  }
  for (const auto& [network, width] : subnets_) {
    if (p.protocol() == network.protocol() && p.isInSubnet(network, width)) return true;
  }
  return false;
}

std::string HostFilter::Describe() const {
  return described_;
}

}  // namespace vesk
