#include "control/remote_command.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstring>
#include <optional>
#include <string>

namespace vesk {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The address as 16 bytes (IPv4 as its IPv4-mapped IPv6 form); false when the text is not
// a numeric address.
bool ToAddress(std::string_view text, unsigned char (&out)[16]) {
  std::string s(Trim(text));
  // A scoped IPv6 address ("fe80::1%eth0") compares without its zone.
  if (const auto pct = s.find('%'); pct != std::string::npos) s.erase(pct);
  if (s.size() >= 2 && s.front() == '[' && s.back() == ']') s = s.substr(1, s.size() - 2);
  in_addr v4{};
  if (inet_pton(AF_INET, s.c_str(), &v4) == 1) {
    std::memset(out, 0, 10);
    out[10] = out[11] = 0xFF;
    std::memcpy(out + 12, &v4, 4);
    return true;
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, s.c_str(), &v6) == 1) {
    std::memcpy(out, &v6, 16);
    return true;
  }
  return false;
}

}  // namespace

RemoteCommand ParseRemoteCommand(std::span<const std::uint8_t> datagram) {
  if (datagram.size() < kRemoteDatagramMinLength) return RemoteCommand::kNone;
  const unsigned command = datagram[0] | (unsigned{datagram[1]} << 8);
  if (command < 1 || command > 4) return RemoteCommand::kNone;
  return static_cast<RemoteCommand>(command);
}

bool IsRemoteSenderAllowed(std::string_view senderAddress, std::string_view allowedHosts) {
  if (Trim(allowedHosts).empty()) return true;
  unsigned char sender[16];
  const bool senderNumeric = ToAddress(senderAddress, sender);
  const std::string_view senderText = Trim(senderAddress);
  while (!allowedHosts.empty()) {
    const std::size_t comma = allowedHosts.find(',');
    const std::string_view entry = Trim(allowedHosts.substr(0, comma));
    allowedHosts =
        comma == std::string_view::npos ? std::string_view{} : allowedHosts.substr(comma + 1);
    if (entry.empty()) continue;
    unsigned char allowed[16];
    if (senderNumeric && ToAddress(entry, allowed)) {
      if (std::memcmp(sender, allowed, 16) == 0) return true;
    } else if (entry == senderText) {
      return true;
    }
  }
  return false;
}

std::vector<RemoteCommand> RemoteCommandGate::Coalesce(std::span<const RemoteCommand> batch,
                                                       Clock::time_point now) {
  bool stop = false;
  std::optional<RemoteCommand> start;  // the last start after the last stop
  std::uint64_t starts = 0;
  for (const RemoteCommand command : batch) {
    switch (command) {
      case RemoteCommand::kCloseApplication: return {RemoteCommand::kCloseApplication};
      case RemoteCommand::kStop:
        stop = true;
        start.reset();
        break;
      case RemoteCommand::kStartLogging:
      case RemoteCommand::kStartAcquisition:
        start = command;
        ++starts;
        break;
      case RemoteCommand::kNone: break;
    }
  }
  std::vector<RemoteCommand> run;
  if (stop) {
    run.push_back(RemoteCommand::kStop);
    stoppedSinceStart_ = true;
  }
  // A start right after a stop is a restart: one a second at most. A start with no stop
  // since the last (acquisition, then logging) only switches the running scan to files.
  if (start && stoppedSinceStart_ && started_ && now - lastStart_ < kStartInterval) start.reset();
  if (start) {
    started_ = true;
    stoppedSinceStart_ = false;
    lastStart_ = now;
    run.push_back(*start);
  }
  dropped_ += starts - (start ? 1 : 0);
  return run;
}

std::string DescribeReceivedCommand(const std::optional<ReceivedRemoteCommand>& received) {
  if (!received) return "none received";
  const char* name = "unknown";
  switch (received->command) {
    case RemoteCommand::kNone: break;
    case RemoteCommand::kStartLogging: name = "START LOGGING"; break;
    case RemoteCommand::kStop: name = "STOP"; break;
    case RemoteCommand::kCloseApplication: name = "CLOSE"; break;
    case RemoteCommand::kStartAcquisition: name = "START ACQUISITION"; break;
  }
  char when[16];
  if (std::strftime(when, sizeof when, "%H:%M:%S", &received->localTime) == 0) when[0] = '\0';
  return std::string(name) + " (" + std::to_string(static_cast<int>(received->command)) + ") at " +
         when + " from " + received->sender;
}

}  // namespace vesk
