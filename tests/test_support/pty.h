#pragma once
// A pseudo-terminal whose master side the test plays: a counter or any serial device the
// program opens by the slave's name (or by a link to it, which goes with the device, as a
// /dev/serial/by-id name goes with its adapter).

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

namespace vesk::test {

class Pty {
 public:
  // `link`: when set, a symbolic link to the slave, removed with the device.
  explicit Pty(std::string link = "") : link_(std::move(link)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    // (Not inherited by the programs a test starts: closing it must end the device.)
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    termios t{};
    ::tcgetattr(master_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
    slave_ = ::ptsname(master_);
    if (!link_.empty()) {
      std::error_code ec;
      std::filesystem::remove(link_, ec);
      std::filesystem::create_symlink(slave_, link_, ec);
    }
  }
  ~Pty() { Close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // The device vanishes (an adapter pulled): the program's side reads a hang-up.
  void Close() {
    if (!link_.empty()) {
      std::error_code ec;
      std::filesystem::remove(link_, ec);
    }
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  const std::string& Slave() const { return slave_; }
  bool Send(const std::string& bytes) {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // `n` bytes the program wrote (fewer when it wrote no more for `ms`).
  std::string Receive(std::size_t n, int ms = 2000) {
    std::string out;
    while (out.size() < n) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) break;
      char buf[256];
      const ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
      if (r <= 0) break;
      out.append(buf, static_cast<std::size_t>(r));
    }
    return out;
  }
  // What the program wrote so far, waiting up to `ms` for the first byte.
  std::string Received(int ms = 0) {
    std::string out;
    char buf[4096];
    for (;;) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, out.empty() ? ms : 0) <= 0 || !(p.revents & POLLIN)) break;
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
  }

 private:
  std::string link_;
  int master_ = -1;
  std::string slave_;
};

}  // namespace vesk::test
