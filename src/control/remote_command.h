#pragma once
// What a remote-control datagram asks for, and whether its sender may ask at all. The UDP
// receiver on the GUI thread calls these for every datagram it takes in.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

enum class RemoteCommand {
  kNone = 0,
  kStartLogging = 1,      // the "START LOGGING" button
  kStop = 2,              // the "STOP" button
  kCloseApplication = 3,  // close the main window (or quit without one)
  kStartAcquisition = 4,  // the "START ACQUISITION" button
};

// Datagrams shorter than this are ignored whatever they hold.
inline constexpr std::size_t kRemoteDatagramMinLength = 10;

// The command of one datagram: bytes 0-1 as a little-endian 16-bit number, 1 to 4; the
// other bytes are not read. kNone for a short datagram or any other number.
RemoteCommand ParseRemoteCommand(std::span<const std::uint8_t> datagram);

// True when `senderAddress` (numeric text, IPv4 or IPv6) may send commands under the
// comma-separated `allowedHosts`: an empty (or blank) list allows everyone; entries are
// trimmed and compared as addresses, an IPv4-mapped IPv6 sender ("::ffff:10.0.0.5")
// matching its IPv4 entry ("10.0.0.5") and the other way round.
bool IsRemoteSenderAllowed(std::string_view senderAddress, std::string_view allowedHosts);

// Remote commands that come faster than a scan can start are coalesced: the datagrams waiting
// together count by what they leave behind (a start undone by a later stop in the same batch
// is dropped; a stop followed by a start is a restart), and a scan is restarted at most once
// a second. A burst of start/stop pairs so leaves one short recording, never one per pair.
class RemoteCommandGate {
 public:
  static constexpr std::chrono::milliseconds kStartInterval{1000};
  using Clock = std::chrono::steady_clock;

  // The commands to carry out, in order, for the batch of commands that arrived together
  // (kNone entries ignored): the close command alone when the batch holds one; else at most
  // one stop, then at most one start.
  std::vector<RemoteCommand> Coalesce(std::span<const RemoteCommand> batch, Clock::time_point now);
  // Starts dropped so far.
  std::uint64_t Dropped() const { return dropped_; }

 private:
  Clock::time_point lastStart_{};
  bool started_ = false;
  bool stoppedSinceStart_ = false;
  std::uint64_t dropped_ = 0;
};

// A command taken from an allowed sender, for the status displays (whether or not it could
// be carried out).
struct ReceivedRemoteCommand {
  RemoteCommand command = RemoteCommand::kNone;
  std::string sender;  // numeric address
  std::tm localTime{};
};
// "START LOGGING (1) at 14:03:07 from 127.0.0.1", or "none received" before the first.
std::string DescribeReceivedCommand(const std::optional<ReceivedRemoteCommand>& received);

}  // namespace vesk
