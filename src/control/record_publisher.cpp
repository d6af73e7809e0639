#include "control/record_publisher.h"

#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "seams/settings_store.h"

namespace vesk {
namespace {

struct TypeKey {
  PublishedType type;
  const IntKey& key;
};
const TypeKey kTypeKeys[] = {
    {PublishedType::L, keys::kPublishLRecords}, {PublishedType::C, keys::kPublishCRecords},
    {PublishedType::M, keys::kPublishMRecords}, {PublishedType::Alarm, keys::kPublishAlarms},
    {PublishedType::Mark, keys::kPublishMarks}, {PublishedType::Profile, keys::kPublishProfiles},
};

}  // namespace

void PublishSettings::Load(const SettingsStore& store) {
  enabled = store.ReadBool(keys::kPublishEnabled);
  address = store.Read(keys::kPublishAddress);
  port = store.Read(keys::kPublishPort);
  types = 0;
  for (const TypeKey& t : kTypeKeys) {
    if (store.ReadBool(t.key)) types |= static_cast<unsigned>(t.type);
  }
  multicastTtl = store.Read(keys::kPublishMulticastTtl);
}

void PublishSettings::Store(SettingsStore& store) const {
  store.Write(keys::kPublishEnabled, enabled ? 1 : 0);
  store.Write(keys::kPublishAddress, address);
  store.Write(keys::kPublishPort, port);
  for (const TypeKey& t : kTypeKeys) {
    store.Write(t.key, (types & static_cast<unsigned>(t.type)) != 0 ? 1 : 0);
  }
  store.Write(keys::kPublishMulticastTtl, multicastTtl);
}

RecordPublisher::~RecordPublisher() {
  std::lock_guard lock(mutex_);
  CloseLocked();
}

void RecordPublisher::CloseLocked() {
  wanted_ = 0;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool RecordPublisher::Configure(const PublishSettings& settings) {
  // The address is looked up and the socket made outside the lock: a name's lookup may take
  // seconds, and the processing thread must never wait for it.
  std::string error;
  int fd = -1;
  sockaddr_storage to{};
  socklen_t toLength = 0;
  if (settings.enabled && (settings.port < 1 || settings.port > 65535)) {
    error = "the port " + std::to_string(settings.port) + " is not one of 1 to 65535";
  } else if (settings.enabled) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(settings.port);
    const int status = ::getaddrinfo(settings.address.c_str(), port.c_str(), &hints, &found);
    if (status != 0 || found == nullptr) {
      error = "the address \"" + settings.address + "\" cannot be used: " + ::gai_strerror(status);
    } else {
      std::memcpy(&to, found->ai_addr, found->ai_addrlen);
      toLength = found->ai_addrlen;
      fd = ::socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (fd < 0) error = std::string("no socket: ") + std::strerror(errno);
      const int ttl = settings.multicastTtl < 0 ? 1 : settings.multicastTtl;
      if (fd >= 0 && found->ai_family == AF_INET) {
        // Broadcast addresses need the permission; it changes nothing for the others.
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        const auto hops = static_cast<unsigned char>(ttl > 255 ? 255 : ttl);
        ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops);
      } else if (fd >= 0 && found->ai_family == AF_INET6) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &ttl, sizeof ttl);
      }
      ::freeaddrinfo(found);
    }
  }
  std::lock_guard lock(mutex_);
  CloseLocked();
  error_ = error;
  destination_ = settings.address + ":" + std::to_string(settings.port);
  fd_ = fd;
  to_ = to;
  toLength_ = toLength;
  wanted_ = fd >= 0 ? settings.types : 0;
  return error.empty();
}

bool RecordPublisher::Send(std::string_view datagram) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return false;
  const ssize_t n = ::sendto(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&to_), toLength_);
  if (n == static_cast<ssize_t>(datagram.size())) {
    sent_.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  lastErrno_ = n < 0 ? errno : EMSGSIZE;
  dropped_.fetch_add(1, std::memory_order_relaxed);
  return false;
}

std::string RecordPublisher::LastError() const {
  std::lock_guard lock(mutex_);
  return lastErrno_ == 0 ? std::string() : std::string(std::strerror(lastErrno_));
}

std::string RecordPublisher::Destination() const {
  std::lock_guard lock(mutex_);
  return destination_;
}

}  // namespace vesk
