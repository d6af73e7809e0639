#include "control/remote_command.h"

#include <gtest/gtest.h>

#include <vector>

namespace vesk {
namespace {

std::vector<std::uint8_t> Datagram(unsigned command, std::size_t length) {
  std::vector<std::uint8_t> d(length, 0xAA);
  if (length > 0) d[0] = static_cast<std::uint8_t>(command & 0xFF);
  if (length > 1) d[1] = static_cast<std::uint8_t>(command >> 8);
  return d;
}

TEST(RemoteCommand, DatagramsGiveTheirCommandOrNone) {
  struct Case {
    unsigned command;
    std::size_t length;
    RemoteCommand expected;
  } cases[] = {
      // The commands themselves are sent in the whole-program runs.
      {4, 65536, RemoteCommand::kStartAcquisition},
      {1, 9, RemoteCommand::kNone},  // too short, whatever it says
      {2, 2, RemoteCommand::kNone},
      {1, 0, RemoteCommand::kNone},
      {0, 10, RemoteCommand::kNone},
      {5, 10, RemoteCommand::kNone},
      {7, 10, RemoteCommand::kNone},
      {0x0100, 10, RemoteCommand::kNone},  // 1 in the high byte: little-endian 256
      {0xFFFF, 10, RemoteCommand::kNone},
  };
  for (const Case& c : cases) {
    const auto d = Datagram(c.command, c.length);
    EXPECT_EQ(ParseRemoteCommand(d), c.expected) << c.command << " / " << c.length << " bytes";
  }
  // A mark's note: from byte 2 up to the first zero byte.
  std::vector<std::uint8_t> mark = {6, 0, 'C', 'T', 'D', ' ', 'u', 'p', 0, 0, 'x'};
  EXPECT_EQ(RemoteMarkNote(mark), "CTD up");
}

TEST(RemoteCommand, AllowListDecidesBySenderAddress) {
  struct Case {
    const char* sender;
    const char* allowed;
    bool expected;
  } cases[] = {
      {"10.0.0.5", "", true},
      {"10.0.0.5", "   ", true},
      {"10.0.0.5", "10.0.0.4", false},
      {"10.0.0.5", " 10.0.0.5 ,192.168.1.1", true},
      {"::ffff:10.0.0.5", "10.0.0.5", true},
      {"10.0.0.5", "::ffff:10.0.0.5", true},
      {"::ffff:10.0.0.6", "10.0.0.5", false},
      {"::1", "127.0.0.1", false},
      {"::1", "::1", true},
      {"0:0:0:0:0:0:0:1", "::1", true},
      {"10.0.0.5", ",,", false},
      {"10.0.0.50", "10.0.0.5", false},
      {"ship-gw", "ship-gw", true},  // a non-numeric entry matches only its own text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsRemoteSenderAllowed(c.sender, c.allowed), c.expected)
        << c.sender << " in [" << c.allowed << "]";
  }
}

TEST(RemoteCommand, BurstsAreCoalescedAndStartsLimitedToOneASecond) {
  using C = RemoteCommand;
  using R = std::vector<RemoteCommand>;
  const auto t0 = RemoteCommandGate::Clock::now();
  const auto ms = [&](int n) { return t0 + std::chrono::milliseconds(n); };
  struct Step {
    R batch;
    int at;  // ms after t0
    R run;
  };
  const Step steps[] = {
      {{C::kStartLogging}, 0, {C::kStartLogging}},
      // 100 start/stop pairs at once: the stop is what they leave behind.
      {R(200, C::kStop), 10, {C::kStop}},
      {{C::kStartLogging, C::kStop, C::kStartAcquisition, C::kStop}, 20, {C::kStop}},
      // A restart within the second of the last start: the stop only.
      {{C::kStop, C::kStartAcquisition}, 500, {C::kStop}},
      {{C::kStartAcquisition, C::kStartLogging}, 1000, {C::kStartLogging}},
      {{C::kStop, C::kStartAcquisition}, 2100, {C::kStop, C::kStartAcquisition}},
      // No stop since the last start: acquisition, then logging, switches to files at once.
      {{C::kStartLogging}, 2150, {C::kStartLogging}},
      // Marks are never dropped: before the last stop they go first, the others last.
      {{C::kMark, C::kStop, C::kMark, C::kStartAcquisition, C::kMark},
       2160,
       {C::kMark, C::kStop, C::kMark, C::kMark}},
      {{C::kStartLogging, C::kCloseApplication, C::kMark, C::kStop},
       2200,
       {C::kMark, C::kCloseApplication}},
      {{C::kNone}, 2300, {}},
  };
  RemoteCommandGate gate;
  for (const Step& step : steps) {
    EXPECT_EQ(gate.Coalesce(step.batch, ms(step.at)), step.run) << "at " << step.at << " ms";
  }
  EXPECT_EQ(gate.Dropped(), 5u);
}

}  // namespace
}  // namespace vesk
