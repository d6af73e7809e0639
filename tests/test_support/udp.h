#pragma once
// The remote control from a test: a free UDP port to give the program, and one command
// datagram sent to it on 127.0.0.1.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

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

// One remote-control datagram: the command number, little-endian, padded to 10 bytes.
inline void SendRemoteCommand(int port, int command) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::uint8_t datagram[10] = {static_cast<std::uint8_t>(command), 0};
  ::sendto(fd, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::close(fd);
}

}  // namespace vesk::test
