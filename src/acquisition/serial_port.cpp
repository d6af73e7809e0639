#include "acquisition/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace vesk {

namespace {

using Clock = std::chrono::steady_clock;

std::string WithSystemText(int errorCode, const std::string& context) {
  if (errorCode == 0) return context;
  char text[256];
  const char* s = strerror_r(errorCode, text, sizeof text);  // GNU form: may not use `text`
  return context + ": " + s;
}

bool IsDeviceGoneError(int e) {
  return e == EIO || e == ENODEV || e == ENXIO;
}

speed_t SpeedConstant(int bitRate) {
  switch (bitRate) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return B0;  // B0 would hang the line up: never applied
  }
}

int RemainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(left > 0x7FFFFFFF ? 0x7FFFFFFF : left);
}

bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned m = major(st.st_rdev);
  return (m >= 136 && m <= 143) || m == 3;  // Unix98 and legacy pty slaves
}

// The stop bits of `stopBitsCode` (0 one, 1 one and a half, 2 two) for `dataBits`.
void ApplyStopBits(termios& tio, int stopBitsCode, int dataBits, const std::string& path) {
  // The UART sends one and a half stop bits when two are asked for with 5-bit characters,
  // so 1.5 exists only with 5 data bits and 2 only with 6 to 8.
  tio.c_cflag &= ~CSTOPB;
  if (stopBitsCode == 1) {
    if (dataBits != 5) {
      throw CSerialException(
          EINVAL, "One and a half stop bits are possible only with 5 data bits (" + path + ")");
    }
    tio.c_cflag |= CSTOPB;
  } else if (stopBitsCode == 2) {
    if (dataBits == 5) {
      throw CSerialException(EINVAL,
                             "Two stop bits are not possible with 5 data bits (" + path + ")");
    }
    tio.c_cflag |= CSTOPB;
  } else if (stopBitsCode != 0) {
    char text[120];
    std::snprintf(text, sizeof text, "Unknown stop-bits code %d for %s", stopBitsCode,
                  path.c_str());
    throw CSerialException(EINVAL, text);
  }
}

}  // namespace

void ApplyLineCodes(termios& tio, int bitRate, int parityCode, int dataBits, int stopBitsCode,
                    int flowCode, const std::string& path) {
  const speed_t speed = SpeedConstant(bitRate);
  if (speed == B0) {
    char text[160];
    std::snprintf(text, sizeof text, "Bit rate %d is not a supported serial line speed for %s",
                  bitRate, path.c_str());
    throw CSerialException(EINVAL, text);
  }
  if (dataBits < 5 || dataBits > 8) {
    char text[160];
    std::snprintf(text, sizeof text, "%d data bits are not possible on %s (5 to 8)", dataBits,
                  path.c_str());
    throw CSerialException(EINVAL, text);
  }
  if (flowCode == 3 || flowCode == 4) {
    throw CSerialException(
        ENOTSUP,
        "DSR-based flow control (DSR/RTS, DSR/DTR) is not available on this system; "
        "choose none, CTS/RTS or XON/XOFF for " +
            path);
  }

  const tcflag_t keptFlowC = tio.c_cflag & CRTSCTS;
  const tcflag_t keptFlowI = tio.c_iflag & (IXON | IXOFF | IXANY);
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;

  tio.c_cflag &= ~CSIZE;
  tio.c_cflag |= dataBits == 5 ? CS5 : dataBits == 6 ? CS6 : dataBits == 7 ? CS7 : CS8;

  tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  tio.c_iflag &= ~INPCK;
  switch (parityCode) {
    case 0: tio.c_cflag |= PARENB; break;                    // even
    case 1: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;  // mark
    case 2: break;                                           // none
    case 3: tio.c_cflag |= PARENB | PARODD; break;           // odd
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;           // space
    default: {
      char text[120];
      std::snprintf(text, sizeof text, "Unknown parity code %d for %s", parityCode, path.c_str());
      throw CSerialException(EINVAL, text);
    }
  }

  ApplyStopBits(tio, stopBitsCode, dataBits, path);

  tio.c_cflag &= ~CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  switch (flowCode) {
    case 0: break;
    // CTS gates our output in both codes; the input handshake line is RTS on this system
    // (termios has no DTR handshake), which the counter and deck unit do not look at.
    case 1:
    case 2: tio.c_cflag |= CRTSCTS; break;
    case 5:
      tio.c_iflag |= IXON | IXOFF;
      tio.c_cc[VSTART] = 0x11;
      tio.c_cc[VSTOP] = 0x13;
      break;
    default:  // not a flow code: the device keeps what it had
      tio.c_cflag |= keptFlowC;
      tio.c_iflag |= keptFlowI;
      break;
  }

  // With O_NONBLOCK and VMIN 1, read() gives EAGAIN when there is nothing and 0 only on a
  // hung-up line.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
}

CSerialException::CSerialException(int errorCode, const std::string& context, bool deviceGone)
    : std::runtime_error(WithSystemText(errorCode, context)),
      errorCode_(errorCode),
      deviceGone_(deviceGone) {}

bool CSerialException::GetErrorMessage(char* buffer, std::size_t capacity) const {
  if (buffer == nullptr || capacity == 0) return false;
  const char* text = what();
  const std::size_t length = std::strlen(text);
  if (length == 0) {
    buffer[0] = '\0';
    return false;
  }
  const std::size_t n = length < capacity - 1 ? length : capacity - 1;
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return true;
}

CSerialPort::~CSerialPort() {
  Close();
}

std::string CSerialPort::DevicePathForPort(int portNumber) {
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

void CSerialPort::Open(int portNumber, int bitRate, int parityCode, int dataBits, int stopBitsCode,
                       int flowCode, const std::string& devicePath) {
  Close();
  if (devicePath.empty() && portNumber < 1) {
    char text[80];
    std::snprintf(text, sizeof text, "There is no serial port number %d", portNumber);
    throw CSerialException(ENODEV, text);
  }
  const std::string path = devicePath.empty() ? DevicePathForPort(portNumber) : devicePath;

  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw CSerialException(errno, "Cannot open " + path);
  try {
    // TIOCEXCL does not stop root, so the advisory lock is what keeps a second user out.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK) {
      const int e = errno;
      throw CSerialException(e == EWOULDBLOCK ? EBUSY : e, path + " is in use by another program");
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
      throw CSerialException(errno, path + " is not a serial device");
    }
    (void)::ioctl(fd, TIOCEXCL);  // refused by some drivers; the lock above still holds
    ApplyLineCodes(tio, bitRate, parityCode, dataBits, stopBitsCode, flowCode, path);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
      throw CSerialException(errno, "Cannot apply the line settings to " + path);
    }
    // tcsetattr succeeds when any part was applied: check that the device took the rest.
    termios got{};
    if (::tcgetattr(fd, &got) != 0) {
      throw CSerialException(errno, "Cannot read back the line settings of " + path);
    }
    // A pseudo-terminal has no wire: recent kernels keep it at 8 bits without parity, which
    // changes nothing that travels through it.
    const tcflag_t frameBits = IsPseudoTerminal(fd) ? 0 : CSIZE | PARENB | PARODD | CMSPAR;
    const tcflag_t lineBits = frameBits | CSTOPB | CRTSCTS;
    if ((got.c_cflag & lineBits) != (tio.c_cflag & lineBits) ||
        cfgetospeed(&got) != cfgetospeed(&tio) ||
        (got.c_iflag & (IXON | IXOFF)) != (tio.c_iflag & (IXON | IXOFF))) {
      throw CSerialException(EINVAL, path + " does not support the chosen line settings");
    }
  } catch (...) {
    ::close(fd);
    throw;
  }
  fd_ = fd;
  path_ = path;
  bitRate_ = bitRate;
  timeouts_ = SerialTimeouts{};
}

void CSerialPort::Close() {
  if (fd_ < 0) return;
  // Another holder of the device (a simulator keeping its slave side open) would otherwise
  // keep the exclusive mode after we leave.
  (void)::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  bitRate_ = 0;
  path_.clear();
  timeouts_ = SerialTimeouts{};
}

void CSerialPort::RequireOpen(const char* operation) const {
  if (fd_ < 0) throw CSerialException(EBADF, std::string(operation) + " on a closed serial port");
}

short CSerialPort::PollFor(short events, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  int wait = timeoutMs;
  for (;;) {
    pollfd p{fd_, events, 0};
    const int r = ::poll(&p, 1, wait);
    if (r > 0) {
      if (p.revents & POLLNVAL) throw CSerialException(EBADF, "Serial port " + path_);
      return p.revents;
    }
    if (r == 0) return 0;
    if (errno != EINTR) throw CSerialException(errno, "Cannot wait on " + path_);
    if (timeoutMs >= 0) wait = RemainingMs(deadline);
  }
}

std::size_t CSerialPort::ReadAvailable(std::uint8_t* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, count);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n == 0) throw CSerialException(EIO, path_ + " was hung up", true);
    const int e = errno;
    if (e == EINTR) continue;
    if (e == EAGAIN || e == EWOULDBLOCK) return 0;
    throw CSerialException(e, "Cannot read from " + path_, IsDeviceGoneError(e));
  }
}

bool CSerialPort::WaitForData(int timeoutMs) {
  RequireOpen("Wait");
  const short rev = PollFor(POLLIN, timeoutMs);
  if (rev & POLLIN) return true;
  // Hang-up or error with nothing left to read: the device is gone (unplugged adapter,
  // closed pseudo-terminal).
  if (rev & (POLLHUP | POLLERR)) throw CSerialException(EIO, path_ + " was hung up", true);
  return false;
}

std::size_t CSerialPort::Read(void* buffer, std::size_t count, int timeoutMs) {
  RequireOpen("Read");
  if (count == 0) return 0;
  if (!WaitForData(timeoutMs)) return 0;
  return ReadAvailable(static_cast<std::uint8_t*>(buffer), count);
}

std::size_t CSerialPort::Read(void* buffer, std::size_t count) {
  RequireOpen("Read");
  if (count == 0) return 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  const SerialTimeouts& t = timeouts_;
  const std::uint64_t total =
      std::uint64_t{t.readTotalMultiplierMs} * count + t.readTotalConstantMs;
  if (total == 0 && t.readIntervalMs == kSerialMaxWait) return ReadAvailable(out, count);

  const bool hasTotal = total > 0;
  const bool hasInterval = t.readIntervalMs > 0 && t.readIntervalMs != kSerialMaxWait;
  const auto deadline = Clock::now() + std::chrono::milliseconds(hasTotal ? total : 0);
  std::size_t got = 0;
  while (got < count) {
    int wait = -1;
    if (hasTotal) {
      wait = RemainingMs(deadline);
      if (wait == 0) break;
    }
    if (hasInterval && got > 0) {
      const int interval =
          static_cast<int>(t.readIntervalMs > 0x7FFFFFFF ? 0x7FFFFFFF : t.readIntervalMs);
      wait = wait < 0 ? interval : std::min(wait, interval);
    }
    if (!WaitForData(wait)) {
      if (hasInterval && got > 0) break;
      continue;  // the loop head sees an expired total
    }
    got += ReadAvailable(out + got, count - got);
  }
  return got;
}

std::size_t CSerialPort::Write(const void* buffer, std::size_t count) {
  RequireOpen("Write");
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::uint64_t totalMs =
      std::uint64_t{timeouts_.writeTotalMultiplierMs} * count + timeouts_.writeTotalConstantMs;
  if (totalMs == 0) {
    // Twice the time the bytes take on the line, plus a second for a busy device.
    totalMs = std::uint64_t{count} * 10 * 1000 * 2 / static_cast<std::uint64_t>(bitRate_) + 1000;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(totalMs);
  std::size_t written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd_, in + written, count - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    const int e = n < 0 ? errno : EAGAIN;
    if (e == EINTR) continue;
    if (e != EAGAIN && e != EWOULDBLOCK) {
      throw CSerialException(e, "Cannot write to " + path_, IsDeviceGoneError(e));
    }
    const int wait = RemainingMs(deadline);
    if (wait == 0) break;
    const short rev = PollFor(POLLOUT, wait);
    if ((rev & POLLHUP) && !(rev & POLLOUT)) {
      throw CSerialException(EIO, path_ + " was hung up", true);
    }
  }
  return written;
}

void CSerialPort::Purge(unsigned flags) {
  RequireOpen("Purge");
  const bool rx = (flags & kPurgeRxClear) != 0;
  const bool tx = (flags & kPurgeTxClear) != 0;
  if (!rx && !tx) return;  // nothing is ever pending to abort: reads and writes are synchronous
  if (::tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) != 0) {
    throw CSerialException(errno, "Cannot purge " + path_, IsDeviceGoneError(errno));
  }
}

void CSerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  RequireOpen("SetTimeouts");
  timeouts_ = timeouts;
}

void CSerialPort::SetTimeouts(std::uint32_t readIntervalMs, std::uint32_t readTotalMultiplierMs,
                              std::uint32_t readTotalConstantMs,
                              std::uint32_t writeTotalMultiplierMs,
                              std::uint32_t writeTotalConstantMs) {
  SetTimeouts(SerialTimeouts{readIntervalMs, readTotalMultiplierMs, readTotalConstantMs,
                             writeTotalMultiplierMs, writeTotalConstantMs});
}

}  // namespace vesk
