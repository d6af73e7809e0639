#pragma once
// Which computers may see the web view. The allow-list is a comma-separated text of numeric
// addresses (IPv4 or IPv6), subnets ("10.0.0.0/24"), host names (looked up once, when the web
// view starts) and "*" for every host; an empty list allows this computer only (its loopback
// and its own interfaces' addresses). A list none of whose entries can be used allows nobody.

#include <QHostAddress>
#include <string>
#include <utility>
#include <vector>

namespace vesk {

class HostFilter {
 public:
  // Names without an address are told in `warnings` and left out.
  HostFilter(const std::string& allowedHosts, std::vector<std::string>& warnings);

  bool Allows(const QHostAddress& peer) const;
  // "this computer only", "every host", or the entries in use.
  std::string Describe() const;

 private:
  bool everyone_ = false;
  bool ownOnly_ = false;
  std::vector<std::pair<QHostAddress, int>> subnets_;  // an address is a subnet of its width
  std::vector<QHostAddress> own_;
  std::string described_;
};

}  // namespace vesk
