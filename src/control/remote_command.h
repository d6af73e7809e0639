#pragma once
// What a remote-control datagram asks for, and whether its sender may ask at all. The UDP
// receiver on the GUI thread calls these for every datagram it takes in.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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
