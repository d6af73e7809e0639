#include "acquisition/source_threads.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>

#include "files/recording_input.h"
#include "processing/batch_player.h"
#include "processing/frame_processor.h"
#include "processing/recording_clock.h"

namespace vesk {
namespace {

constexpr std::size_t kChunk = 1024;
constexpr std::size_t kFastChunk = 1 << 16;  // a playback as fast as it is processed
constexpr std::size_t kPacedChunk = 256;     // about an L frame: a paced playback runs smoothly
constexpr int kPaceCheckMs = 200;            // a paced playback looks at stop, pause and speed
// How long the counter's port may fail every read before it is opened anew.
constexpr auto kPersistentReadFailure = std::chrono::seconds(2);

// Deframes `n` bytes into the frame queue, counting the frames of the counter's own types; a
// playback's clock sees each frame too.
void FeedDeframer(FrameOutput& output, Deframer& deframer, const std::uint8_t* data, std::size_t n,
                  RecordingClock* clock = nullptr) {
  deframer.Feed(
      data, n,
      [&](std::span<const std::uint8_t> frame) {
        if (FrameTypeIndex(frame[0]) >= 0) ++output.counterFrames;
        output.frames.Push(frame);
        if (clock != nullptr) clock->OnFrame(frame);
      },
      [&](std::uint8_t type) {
        // Counted in its place among the frames, by the processing thread.
        const std::uint8_t mark[2] = {kAbortedFrameMark, type};
        output.frames.Push(mark);
      });
}

std::string_view Bytes(const std::uint8_t* data, std::size_t n) {
  return std::string_view(reinterpret_cast<const char*>(data), n);
}

// Writes the oldest queued command, if any, to the counter port.
void WriteOneCommand(CommandQueue& commands, CSerialPort& port) {
  const std::optional<std::string> command = commands.Take();
  if (!command) return;
  try {
    port.Write(command->data(), command->size());
  } catch (const CSerialException&) {
    // The port is checked again by the next read.
  }
}

// Tries to reopen the counter device about once a second until it opens or the scan stops;
// true when it is back. The scan command is sent again: a counter that was power-cycled with
// its cable comes back idle.
bool ReopenCounterPort(CSerialPort& port, const PortSettings& p, Event& stop) {
  while (!stop.Wait(1000)) {
    try {
      port.Open(p.port, p.bitRate, p.parity, p.dataBits, p.stopBits, p.flowControl, p.device);
      port.SetTimeouts(SerialTimeouts{0, 0, 200, 0, 0});
      port.Write("a", 1);
      return true;
    } catch (const CSerialException&) {
      // still gone
    }
  }
  return false;
}

// The reads of the counter's port that fail without the device going away (another errno,
// or EBADF from POLLNVAL): the first of the scan is told; one that still fails after
// kPersistentReadFailure is handled like a device that went away (and told once too).
class ReadFailures {
 public:
  // A read failed; true when the failure persists.
  bool Failed(const CSerialException& e, ScanReports& reports) {
    const auto now = std::chrono::steady_clock::now();
    if (!failing_) {
      failing_ = true;
      since_ = now;
    }
    if (!told_) {
      told_ = true;
      reports.Notify(std::string(kCounterReadError) + " (" + e.what() +
                     "); the scan goes on and keeps what it recorded.");
      reports.Pane(kPaneState, "  Counter read error - retrying  ");
    }
    return now - since_ >= kPersistentReadFailure;
  }
  void Succeeded() { failing_ = false; }
  // Whether the port's reopening is to be told (the first time in the scan).
  bool TellReopening() { return !std::exchange(reopeningTold_, true); }

 private:
  bool failing_ = false;
  bool told_ = false;
  bool reopeningTold_ = false;
  std::chrono::steady_clock::time_point since_;
};

// The counter's device went away, or its reads keep failing: closed, and opened again when
// it can be; false when the scan stopped first. `tell`: the user is told.
bool ReconnectCounter(SerialSourceContext& c, const CSerialException& e, bool tell) {
  const std::string what = e.what();
  if (tell) {
    c.reports.Message(
        e.IsDeviceGone()
            ? "WARNING !!\n\nThe counter's serial device has gone away (" + what +
                  ").\n\nThe scan goes on and resumes reading when the device returns."
            : "WARNING !!\n\nThe counter's serial port keeps failing (" + what +
                  ").\n\nIt is opened again; the scan goes on and resumes reading when it opens.",
        MessageIcon::Warning);
  }
  c.reports.Pane(kPaneState, "  Counter device lost - waiting  ");
  c.reports.NoteEvent("link to the counter lost: " + what, c.files.DatPath());
  c.port.Close();
  if (!ReopenCounterPort(c.port, c.portSettings, c.stop)) return false;
  c.reports.Pane(kPaneState, "  Scanning - device reconnected  ");
  c.reports.NoteEvent("link to the counter back", c.files.DatPath());
  return true;
}

}  // namespace

void SerialSourceThread(SerialSourceContext c) {
  Guarded(c.reports, "serial acquisition", [&] {
    c.files.OpenBin();  // without a raw file the scan still runs (the main frame stops it)
    Deframer deframer;
    std::uint8_t buffer[kChunk];
    ReadFailures failures;
    while (c.connected) {
      if (c.stop.Wait(0)) break;
      std::size_t n = 0;
      try {
        n = c.port.Read(buffer, sizeof buffer, 200);
        failures.Succeeded();
      } catch (const CSerialException& e) {
        if (e.IsDeviceGone() || failures.Failed(e, c.reports)) {
          if (!ReconnectCounter(c, e, e.IsDeviceGone() || failures.TellReopening())) break;
          failures.Succeeded();
          continue;
        }
      }
      if (n == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
      } else {
        c.lastByte = std::chrono::steady_clock::now().time_since_epoch().count();
        c.files.WriteRaw(Bytes(buffer, n));
        FeedDeframer(c.output, deframer, buffer, n);
        if (c.snapshot.Watching()) c.snapshot.Feed(Bytes(buffer, n));
      }
      WriteOneCommand(c.commands, c.port);
    }
    // Commands still queued (the stop command above all) reach the counter before the end,
    // and what the counter sent until it fell silent is still kept (at most about a second).
    while (!c.commands.Empty()) WriteOneCommand(c.commands, c.port);
    const auto drainEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    while (c.connected && c.port.IsOpen() && std::chrono::steady_clock::now() < drainEnd) {
      std::size_t n = 0;
      try {
        n = c.port.Read(buffer, sizeof buffer, 150);
      } catch (const CSerialException&) {
        break;
      }
      if (n == 0) break;
      c.files.WriteRaw(Bytes(buffer, n));
      FeedDeframer(c.output, deframer, buffer, n);
    }
  });
  c.files.CloseRaw();
}

void PlaybackSourceThread(PlaybackSourceContext c) {
  const std::string& played = c.path;
  RecordingInput in;  // never created, and a FIFO without a writer never holds up a stop
  if (!in.Open(played)) {
    c.reports.Message(std::string(kBinOpenError) + "\n\n" + played + ": " + std::strerror(errno));
    c.reports.StopForFault();
    return;
  }
  Guarded(c.reports, "playback", [&] {
    c.progress.bytesDone = 0;
    c.progress.totalBytes = in.Size();
    Deframer deframer;
    std::vector<std::uint8_t> buffer(kFastChunk);
    auto stopped = [&] { return c.stop.Wait(0); };
    // The pace: the recording's own time since `paceFrom`, at the chosen multiple of it, from
    // the moment `paceStart` (set again after a pause or a change of speed).
    RecordingClock clock;
    int pacedSpeed = -1;
    double paceFrom = 0;
    std::chrono::steady_clock::time_point paceStart;
    for (;;) {
      if (stopped()) break;
      if (c.paused) {
        pacedSpeed = -1;
        if (c.stop.Wait(1000)) break;  // a stop during a pause ends the thread
        continue;
      }
      const int speed = c.speed;
      const auto now = std::chrono::steady_clock::now();
      if (speed != pacedSpeed) {
        pacedSpeed = speed;
        paceFrom = clock.Seconds();
        paceStart = now;
      }
      if (speed > 0) {
        const std::chrono::duration<double> paced((clock.Seconds() - paceFrom) * speed *
                                                  kPlaybackSecondsPerSpeedUnit);
        const auto due =
            paceStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(paced);
        if (due > now) {
          const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
          if (c.stop.Wait(static_cast<int>(
                  std::min<std::chrono::milliseconds::rep>(wait.count() + 1, kPaceCheckMs)))) {
            break;
          }
          continue;
        }
      }
      // A file is read far faster than it is processed: wait for the processing to catch up.
      if (!c.output.frames.WaitForRoom(kPlaybackQueueLimit, std::chrono::milliseconds(10))) {
        continue;
      }
      const ssize_t n = in.Read(buffer.data(), speed > 0 ? kPacedChunk : buffer.size(), stopped);
      if (n == RecordingInput::kStopped) break;
      if (n < 0) {
        // A read error is no end of the recording: the .dat would look complete.
        c.reports.Message("ERROR: The recording " + played +
                          " cannot be read: " + std::strerror(errno) +
                          "\n\nThe playback is stopped; its .dat holds the records up to here.");
        c.reports.StopForFault();
        break;
      }
      if (n == 0) {
        // End of file: playback goes on until it is stopped, without spinning.
        c.progress.atEnd = true;
        if (c.stop.Wait(100)) break;
        continue;
      }
      c.progress.bytesDone += static_cast<std::uint64_t>(n);
      FeedDeframer(c.output, deframer, buffer.data(), static_cast<std::size_t>(n), &clock);
    }
  });
}

}  // namespace vesk
