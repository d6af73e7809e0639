#pragma once
// The remote control from a test: a free UDP port to give the program, and one command
// datagram sent to it on 127.0.0.1.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vesk::test {

// A UDP port nobody listens on at the moment.
inline int FreeUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t length = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  ::close(fd);
  return ntohs(a.sin_port);
}

// One remote-control datagram: the command number, little-endian, then `text` (a mark's
// note), padded with zero bytes to 10 bytes at least.
inline void SendRemoteCommand(int port, int command, const std::string& text = "") {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string datagram = {static_cast<char>(command), '\0'};
  datagram += text;
  if (datagram.size() < 10) datagram.resize(10, '\0');
  ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::close(fd);
}

// A UDP socket on 127.0.0.1 whose thread keeps every datagram that arrives.
class UdpListener {
 public:
  UdpListener() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
    // A loopback datagram that finds the queue full is dropped without a word to the sender; a
    // large queue lets a slow test (a sanitizer, a busy machine) miss none.
    const int queue = 4 << 20;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue);
    timeval tick{0, 50000};  // the thread looks at its stop flag every 50 ms
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
    thread_ = std::thread([this] {
      std::vector<char> buffer(65536);
      while (!stop_) {
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n < 0) continue;
        std::lock_guard lock(mutex_);
        received_.emplace_back(buffer.data(), static_cast<std::size_t>(n));
      }
    });
  }
  ~UdpListener() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  int Port() const { return port_; }
  std::vector<std::string> Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> received_;
  std::thread thread_;
};

}  // namespace vesk::test
