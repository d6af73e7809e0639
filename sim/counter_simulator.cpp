#include "sim/counter_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace vesk {

namespace {

double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Opens a pseudo-terminal: the master (non-blocking) for the counter, and the slave, held
// open by the counter too so that the master never sees a hang-up when the program closes
// and reopens its side.
void OpenPty(int& master, int& slave, std::string& path) {
  master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) throw std::runtime_error(std::string("posix_openpt: ") + std::strerror(errno));
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    const int e = errno;
    ::close(master);
    master = -1;
    throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(e));
  }
  path = name;
  slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    const int e = errno;
    ::close(master);
    master = -1;
    throw std::runtime_error("Cannot open " + path + ": " + std::strerror(e));
  }
  termios tio{};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
}

void ClosePty(int& master, int& slave) {
  if (slave >= 0) ::close(slave);
  if (master >= 0) ::close(master);
  master = slave = -1;
}

// Points `link` at `target`, replacing an older symlink (never a regular file).
void MakeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) throw std::runtime_error(link + " exists and is not a symlink");
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    throw std::runtime_error("Cannot create the link " + link + ": " + std::strerror(errno));
  }
}

void RemoveLink(const std::string& link, const std::string& target) {
  if (link.empty()) return;
  char buf[256];
  const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target) ::unlink(link.c_str());
}

// Writes as much as the line takes now; the count written.
std::size_t WriteSome(int fd, const std::uint8_t* data, std::size_t n) {
  for (;;) {
    const ssize_t w = ::write(fd, data, n);
    if (w >= 0) return static_cast<std::size_t>(w);
    if (errno != EINTR) return 0;  // EAGAIN: the program is not reading; try again later
  }
}

constexpr std::size_t kChunk = 128;  // bytes per write, as a UART FIFO would send them
constexpr std::size_t kMaxPending = std::size_t{1} << 20;
// Bytes waiting for the line beyond which the cast's clock stops (about 0.2 s of line time).
constexpr std::size_t kPaceBytes = 2048;

}  // namespace

CounterSimulator::CounterSimulator(CounterSimulatorOptions options)
    : options_(std::move(options)), navigation_(options_.cast) {}

CounterSimulator::~CounterSimulator() {
  Stop();
}

void CounterSimulator::Start() {
  if (running_) return;
  try {
    OpenPty(master_, slave_, slavePath_);
    if (options_.auxNmea) OpenPty(auxMaster_, auxSlave_, auxSlavePath_);
    if (!options_.linkPath.empty()) MakeLink(options_.linkPath, slavePath_);
    if (!options_.auxLinkPath.empty() && options_.auxNmea) {
      MakeLink(options_.auxLinkPath, auxSlavePath_);
    }
    if (!options_.teePath.empty()) {
      // Never waiting for a reader: a FIFO nobody reads yet is refused (ENXIO), not waited
      // for out of reach of the stop signals.
      const int fd = ::open(options_.teePath.c_str(),
                            O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0644);
      if (fd < 0 || ::fcntl(fd, F_SETFL, O_APPEND) != 0 || (tee_ = ::fdopen(fd, "ab")) == nullptr) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("Cannot open " + options_.teePath + ": " + std::strerror(err) +
                                 (err == ENXIO ? " (a FIFO that nobody reads)" : ""));
      }
    }
  } catch (...) {
    RemoveLink(options_.linkPath, slavePath_);
    ClosePty(master_, slave_);
    ClosePty(auxMaster_, auxSlave_);
    throw;
  }
  stopRequested_ = false;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void CounterSimulator::Stop() {
  if (!running_) return;
  stopRequested_ = true;
  if (thread_.joinable()) thread_.join();
  running_ = false;
  scanning_ = false;
  generator_.reset();
  if (tee_ != nullptr) std::fclose(tee_);
  tee_ = nullptr;
  RemoveLink(options_.linkPath, slavePath_);
  RemoveLink(options_.auxLinkPath, auxSlavePath_);
  ClosePty(master_, slave_);
  ClosePty(auxMaster_, auxSlave_);
}

std::vector<std::string> CounterSimulator::ScanSegments() const {
  std::lock_guard<std::mutex> lock(recordLock_);
  return recorded_;
}

std::vector<std::uint8_t> CounterSimulator::ScanBytes() const {
  std::lock_guard<std::mutex> lock(recordLock_);
  std::vector<std::uint8_t> all;
  for (const std::string& scan : recorded_) all.insert(all.end(), scan.begin(), scan.end());
  return all;
}

std::string CounterSimulator::ReceivedCommands() const {
  std::lock_guard<std::mutex> lock(recordLock_);
  return received_;
}

void CounterSimulator::Say(const std::string& text) {
  pending_.insert(pending_.end(), text.begin(), text.end());
}

void CounterSimulator::HandleInput(const std::uint8_t* data, std::size_t n, double now) {
  {
    std::lock_guard<std::mutex> lock(recordLock_);
    received_.append(reinterpret_cast<const char*>(data), n);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c >= '0' && c <= '9') {
      if (digits_.size() < 6) digits_.push_back(c);
      continue;
    }
    if (c == '\r' || c == '\n') {
      if (!digits_.empty() && !scanning_) {
        const int file = std::atoi(digits_.c_str());
        char text[128];
        if (haveSnapshot_) {
          std::snprintf(text, sizeof text, "\r\n%d\r\nWriting snapshot to file %02d ...\r\n", file,
                        file);
          diskWriteDue_ = now + 1.0;
        } else {
          std::snprintf(text, sizeof text, "\r\n%d\r\nERROR: no snapshot in memory\r\n", file);
        }
        Say(text);
      }
      digits_.clear();
      continue;
    }
    digits_.clear();
    switch (c) {
      case 'a':
        if (!scanning_) BeginScan(now);
        break;
      case 'q':
        if (scanning_) {
          scanning_ = false;
          generator_.reset();
          pending_.clear();  // the counter stops at once, whatever it was sending
          nextStatus_ = now + options_.statusIntervalSeconds;
        }
        break;
      case 'r':
        haveSnapshot_ = true;
        Say("\r\nSNAPSHOT: image taken, held in memory\r\n");
        break;
      case 'p':
        Say("\r\nSNAPSHOT STORE\r\nCard ready.  Enter file number (1-99) and press ENTER:\r\n");
        break;
      default: break;
    }
  }
}

void CounterSimulator::BeginScan(double now) {
  pending_.clear();  // the status text still queued is not sent any more
  generator_ = std::make_unique<CastGenerator>(options_.cast);
  scanStart_ = now;
  lastPump_ = now;
  castTime_ = 0;
  scanSent_ = 0;
  scanning_ = true;
  if (options_.recordScanBytes) {
    std::lock_guard<std::mutex> lock(recordLock_);
    recorded_.emplace_back();
  }
}

void CounterSimulator::Pump(double now) {
  if (scanning_) {
    // The cast's clock runs only while the line keeps up: a cast sped up past the line's
    // rate is slowed to it, as a real counter's stream is never faster than its line.
    if (pending_.size() < kPaceBytes) castTime_ += (now - lastPump_) * options_.timeScale;
    lastPump_ = now;
    generator_->AdvanceTo(castTime_, pending_);
    // Nobody reads the line: like a real counter's output buffer, the oldest bytes are lost
    // (the bytes counted as sent stay exactly those that went out).
    if (pending_.size() > kMaxPending) {
      pending_.erase(pending_.begin(), pending_.end() - static_cast<std::ptrdiff_t>(kMaxPending));
    }
  }
  if (pending_.empty()) return;
  std::size_t allowed = pending_.size();
  if (scanning_) {
    const double budget = (now - scanStart_) * options_.bitRate / 10.0 - double(scanSent_);
    allowed = budget <= 0 ? 0 : std::min(allowed, static_cast<std::size_t>(budget));
  }
  std::size_t sent = 0;
  while (sent < allowed) {
    const std::size_t n = std::min(kChunk, allowed - sent);
    const std::size_t w = WriteSome(master_, pending_.data() + sent, n);
    if (w == 0) break;
    if (scanning_) {
      if (tee_ != nullptr) std::fwrite(pending_.data() + sent, 1, w, tee_);
      if (options_.recordScanBytes) {
        std::lock_guard<std::mutex> lock(recordLock_);
        recorded_.back().append(reinterpret_cast<const char*>(pending_.data() + sent), w);
      }
      scanSent_ += w;
      scanBytesSent_ += w;
    }
    sent += w;
    if (w < n) break;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(sent));
  if (!scanning_ && !pending_.empty() && sent == 0) {
    // Nobody reads the idle text: a real counter's prints would be lost the same way.
    if (pending_.size() > 4096) pending_.clear();
  }
  if (tee_ != nullptr && sent > 0) std::fflush(tee_);
}

void CounterSimulator::Run() {
  const double start = Seconds();
  nextStatus_ = start;
  nextNmea_ = start + 1.0;
  if (options_.scanAtStart) BeginScan(start);
  std::uint8_t buf[512];
  while (!stopRequested_) {
    pollfd p{master_, POLLIN, 0};
    const int r = ::poll(&p, 1, 10);
    const double now = Seconds();
    if (r > 0 && (p.revents & POLLIN)) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) HandleInput(buf, static_cast<std::size_t>(n), now);
    }
    if (diskWriteDue_ >= 0 && now >= diskWriteDue_) {
      diskWriteDue_ = -1;
      Say(std::string(kDiskWriteComplete) + "\r\n");
    }
    if (!scanning_ && now >= nextStatus_) {
      nextStatus_ = now + options_.statusIntervalSeconds;
      Say("\r\nVESK VERSION: " + options_.version + "\r\nSERIAL NO: " + options_.serialNumber +
          "\r\nSTATUS: IDLE - send 'a' to scan all\r\n");
    }
    Pump(now);
    if (auxMaster_ >= 0 && now >= nextNmea_) {
      const double t = (nextNmea_ - start) * options_.timeScale;
      nextNmea_ += 1.0;
      const std::string text =
          navigation_.GgaSentence(t) + "\r\n" + navigation_.RmcSentence(t) + "\r\n";
      WriteSome(auxMaster_, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
      // Input on the auxiliary line (nothing is expected there) is read and dropped.
      std::uint8_t sink[256];
      while (::read(auxMaster_, sink, sizeof sink) > 0) {
      }
    }
  }
}

}  // namespace vesk
