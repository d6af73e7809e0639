#pragma once
// The records of a scan on the ship's network: one UDP datagram per record to a configured
// address (unicast, broadcast or multicast). The socket never blocks the sender: a datagram
// the socket refuses is dropped and counted. Sends may come from several threads.

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace vesk {

class SettingsStore;

// What is published, and where.
enum class PublishedType : unsigned { L = 1, C = 2, M = 4, Alarm = 8, Mark = 16, Profile = 32 };

struct PublishSettings {
  bool enabled = false;
  std::string address = "127.0.0.1";  // numeric IPv4/IPv6, or a host name
  int port = 55124;
  unsigned types = 63;  // PublishedType bits
  int multicastTtl = 1;

  void Load(const SettingsStore& store);
  void Store(SettingsStore& store) const;
};

class RecordPublisher {
 public:
  RecordPublisher() = default;
  ~RecordPublisher();
  RecordPublisher(const RecordPublisher&) = delete;
  RecordPublisher& operator=(const RecordPublisher&) = delete;

  // Opens the socket for `settings` (closes it when publishing is off). False with Error()
  // when the address or port cannot be used; publishing is then off.
  bool Configure(const PublishSettings& settings);
  // Publishing is on and takes this type.
  bool Wants(PublishedType type) const {
    return (wanted_.load(std::memory_order_relaxed) & static_cast<unsigned>(type)) != 0;
  }
  bool Enabled() const { return wanted_.load(std::memory_order_relaxed) != 0; }
  // The sequence number of the next datagram.
  std::uint64_t NextSequence() { return sequence_.fetch_add(1, std::memory_order_relaxed); }
  // One datagram, without waiting; false (and counted as dropped) when it was not sent.
  bool Send(std::string_view datagram);

  std::uint64_t Sent() const { return sent_.load(); }
  std::uint64_t Dropped() const { return dropped_.load(); }
  // Why the last datagram was dropped ("" before the first drop), and the destination.
  std::string LastError() const;
  std::string Destination() const;
  const std::string& Error() const { return error_; }

 private:
  void CloseLocked();

  mutable std::mutex mutex_;
  int fd_ = -1;
  sockaddr_storage to_{};
  socklen_t toLength_ = 0;
  std::string destination_;
  int lastErrno_ = 0;
  std::string error_;
  std::atomic<unsigned> wanted_{0};
  std::atomic<std::uint64_t> sequence_{0};
  std::atomic<std::uint64_t> sent_{0};
  std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace vesk
