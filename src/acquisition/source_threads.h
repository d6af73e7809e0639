#pragma once
// The two sources of a scan's frames: the counter's serial port, and a recorded .bin played
// back. Each takes what it uses from its context and ends when its stop event is set.

#include <atomic>
#include <cstdint>
#include <string>

#include "acquisition/command_queue.h"
#include "acquisition/document_settings.h"
#include "acquisition/event.h"
#include "acquisition/frame_queue.h"
#include "acquisition/scan_files.h"
#include "acquisition/scan_reports.h"
#include "acquisition/serial_port.h"
#include "acquisition/snapshot_monitor.h"

namespace vesk {

// A read of the counter's port that fails without the device going away: told once.
inline constexpr const char* kCounterReadError =
    "WARNING: The counter's serial port cannot be read";

// Where a source puts its frames, counting those of the counter's own types.
struct FrameOutput {
  FrameQueue& frames;
  std::atomic<std::uint64_t>& counterFrames;
};

struct SerialSourceContext {
  CSerialPort& port;  // the counter's, lent to the scan
  const PortSettings& portSettings;
  const std::atomic<bool>& connected;
  Event& stop;
  ScanFiles& files;  // the .bin it writes
  FrameOutput output;
  // When the scan last received a byte (steady-clock ticks).
  std::atomic<std::chrono::steady_clock::rep>& lastByte;
  CommandQueue& commands;     // written to the port between reads
  SnapshotMonitor& snapshot;  // looks for the answer to "r" in what the counter sends
  ScanReports& reports;
};

// How far a playback has read its recording.
struct PlaybackCounters {
  std::atomic<std::uint64_t> totalBytes{0};  // recordings may pass 4 GiB
  std::atomic<std::uint64_t> bytesDone{0};
  std::atomic<bool> atEnd{false};
};

struct PlaybackSourceContext {
  std::string path;  // the recording
  Event& stop;
  const std::atomic<bool>& paused;
  // Real seconds per second of the recording, in units of kPlaybackSecondsPerSpeedUnit
  // (0: as fast as it is processed).
  const std::atomic<int>& speed;
  PlaybackCounters& progress;
  FrameOutput output;
  ScanReports& reports;
};

// Frames the playback source lets wait in the queue before it pauses (a file can be read far
// faster than it is processed; the serial source never waits).
inline constexpr std::size_t kPlaybackQueueLimit = 4000;
// Real seconds per second of the recording for each unit of the playback speed value.
inline constexpr double kPlaybackSecondsPerSpeedUnit = 0.25;

// Reads the counter port, logs every byte to the .bin file, queues the frames, and writes
// queued commands to the port between reads. A device that goes away is opened again when
// it returns; a read that fails otherwise is told once, and when it keeps failing the port is
// opened anew as well.
void SerialSourceThread(SerialSourceContext context);
// Reads a recorded .bin file at the chosen pace and queues its frames.
void PlaybackSourceThread(PlaybackSourceContext context);

// Every thread body reports an unexpected failure once and asks for a stop.
template <class Body>
void Guarded(ScanReports& reports, const char* what, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    reports.Message(std::string("ERROR: ") + what + " stopped.\n\n" + e.what());
    reports.StopForFault();
  }
}

}  // namespace vesk
