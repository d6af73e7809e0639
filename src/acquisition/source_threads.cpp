#include "acquisition/source_threads.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <thread>

#include "acquisition/vesk_doc.h"
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

// Every thread body reports an unexpected failure once and asks for a stop.
template <class Body>
void Guarded(CVESKDoc& doc, const char* what, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    doc.Dialogs().QueueMessage(std::string("ERROR: ") + what + " stopped.\n\n" + e.what());
    doc.StopForFault();
  }
}

// Deframes `n` bytes into the frame queue, counting the frames of the counter's own types; a
// playback's clock sees each frame too.
void FeedDeframer(FrameQueue& frames, std::atomic<std::uint64_t>& counterFrames, Deframer& deframer,
                  const std::uint8_t* data, std::size_t n, RecordingClock* clock = nullptr) {
  deframer.Feed(
      data, n,
      [&](std::span<const std::uint8_t> frame) {
        if (FrameTypeIndex(frame[0]) >= 0) ++counterFrames;
        frames.Push(frame);
        if (clock != nullptr) clock->OnFrame(frame);
      },
      [&](std::uint8_t type) {
        // Counted in its place among the frames, by the processing thread.
        const std::uint8_t mark[2] = {kAbortedFrameMark, type};
        frames.Push(mark);
      });
}

// The bytes read go to the raw file as they came; a file that stops taking them is told.
void WriteRaw(CVESKDoc& doc, DataFile& raw, const std::uint8_t* data, std::size_t n) {
  if (raw.Write(std::string_view(reinterpret_cast<const char*>(data), n))) return;
  if (raw.IsOpen()) doc.ReportWriteFailure(raw, true);
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

// Tries to reopen the vanished counter device about once a second until it returns or the
// scan stops; true when it is back. The scan command is sent again: a counter that was
// power-cycled with its cable comes back idle.
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

constexpr int kSyncIntervalMs = 2000;
constexpr auto kGridCheckInterval = std::chrono::seconds(10);
// What a logging scan writes at the full line rate of 115200 bit/s: the raw bytes and the
// processed text (about 2.6 times as much).
constexpr double kFullRateBytesPerSecond = 11520 * 3.6;

// Where a recording whose folder was deleted goes when the folder cannot be made again.
std::string RecoveryDir() {
  std::error_code ec;
  const std::string tmp = std::filesystem::temp_directory_path(ec).string();
  return (ec ? std::string("/tmp") : tmp) + "/VESK-recovered/";
}

// Warns once per scan when the data folder's free space falls below the limit of the
// settings (and again after it rose clearly above it).
class DiskSpaceWatch {
 public:
  void Check(CVESKDoc& doc, int lowDiskSpaceMb) {
    const std::string dir = doc.DataDirectory();
    struct statvfs st {};
    if (::statvfs(dir.c_str(), &st) != 0) return;
    const double free = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
    const double limit = lowDiskSpaceMb * 1e6;
    if (warned_ && free > limit * 1.1) warned_ = false;
    if (warned_ || free >= limit) return;
    warned_ = true;
    char text[512];
    std::snprintf(text, sizeof text,
                  "WARNING !!\n\nThe data folder %s has only %.0f MB free: about %.0f minutes of "
                  "logging at the full line rate.\n\nFree some space, or choose another data "
                  "folder for the next scan. When the disk is full, logging is suspended until "
                  "there is room again; what was recorded is kept.",
                  dir.c_str(), free / 1e6, free / kFullRateBytesPerSecond / 60);
    doc.Dialogs().QueueMessage(text, "", MessageIcon::Warning);
  }

 private:
  bool warned_ = false;
};

}  // namespace

void SerialSourceThread(CVESKDoc& doc) {
  Guarded(doc, "serial acquisition", [&] {
    {
      // Without a raw file the scan still runs (the main frame stops it).
      std::lock_guard names(doc.fileNameLock_);
      doc.OpenBinFile(doc.ScanCopy());
    }
    Deframer deframer;
    std::uint8_t buffer[kChunk];
    while (doc.connected_) {
      if (doc.serialStop_.Wait(0)) break;
      std::size_t n = 0;
      try {
        n = doc.counterSerial_.Read(buffer, sizeof buffer, 200);
      } catch (const CSerialException& e) {
        if (e.IsDeviceGone()) {
          doc.dialogs_.QueueMessage(
              "WARNING !!\n\nThe counter's serial device has gone away (" + std::string(e.what()) +
                  ").\n\nThe scan goes on and resumes reading when the device returns.",
              "", MessageIcon::Warning);
          doc.windows_.SetPaneText(kPaneState, "  Counter device lost - waiting  ");
          doc.NoteScanEvent("link to the counter lost: " + std::string(e.what()), doc.DatPath());
          doc.counterSerial_.Close();
          if (!ReopenCounterPort(doc.counterSerial_, doc.scan_.counterPort, doc.serialStop_)) break;
          doc.windows_.SetPaneText(kPaneState, "  Scanning - device reconnected  ");
          doc.NoteScanEvent("link to the counter back", doc.DatPath());
          continue;
        }
      }
      if (n == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
      } else {
        doc.lastScanByteTicks_ = std::chrono::steady_clock::now().time_since_epoch().count();
        WriteRaw(doc, doc.rawFile_, buffer, n);
        FeedDeframer(doc.frames_, doc.counterFrames_, deframer, buffer, n);
        if (doc.snapshotWatching_) {
          doc.WatchSnapshotReply(std::string_view(reinterpret_cast<const char*>(buffer), n));
        }
      }
      WriteOneCommand(doc.commands_, doc.counterSerial_);
    }
    // Commands still queued (the stop command above all) reach the counter before the end,
    // and what the counter sent until it fell silent is still kept (at most about a second).
    for (;;) {
      if (doc.commands_.Empty()) break;
      WriteOneCommand(doc.commands_, doc.counterSerial_);
    }
    const auto drainEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    while (doc.connected_ && doc.counterSerial_.IsOpen() &&
           std::chrono::steady_clock::now() < drainEnd) {
      std::size_t n = 0;
      try {
        n = doc.counterSerial_.Read(buffer, sizeof buffer, 150);
      } catch (const CSerialException&) {
        break;
      }
      if (n == 0) break;
      WriteRaw(doc, doc.rawFile_, buffer, n);
      FeedDeframer(doc.frames_, doc.counterFrames_, deframer, buffer, n);
    }
  });
  doc.rawFile_.Close();
}

void PlaybackSourceThread(CVESKDoc& doc) {
  std::string played;
  {
    std::lock_guard names(doc.fileNameLock_);
    played = doc.rawFileName_;
  }
  RecordingInput in;  // never created, and a FIFO without a writer never holds up a stop
  if (!in.Open(played)) {
    doc.dialogs_.QueueMessage(std::string(kBinOpenError) + "\n\n" + played + ": " +
                              std::strerror(errno));
    doc.StopForFault();
    return;
  }
  Guarded(doc, "playback", [&] {
    doc.playbackBytesDone_ = 0;
    doc.playbackTotalBytes_ = in.Size();
    Deframer deframer;
    std::vector<std::uint8_t> buffer(kFastChunk);
    auto stopped = [&] { return doc.playbackStop_.Wait(0); };
    // The pace: the recording's own time since `paceFrom`, at the chosen multiple of it, from
    // the moment `paceStart` (set again after a pause or a change of speed).
    RecordingClock clock;
    int pacedSpeed = -1;
    double paceFrom = 0;
    std::chrono::steady_clock::time_point paceStart;
    for (;;) {
      if (stopped()) break;
      if (doc.playbackPaused_) {
        pacedSpeed = -1;
        if (doc.playbackStop_.Wait(1000)) break;  // a stop during a pause ends the thread
        continue;
      }
      const int speed = doc.playbackSpeed_;
      const auto now = std::chrono::steady_clock::now();
      if (speed != pacedSpeed) {
        pacedSpeed = speed;
        paceFrom = clock.Seconds();
        paceStart = now;
      }
      if (speed > 0) {
        const std::chrono::duration<double> paced((clock.Seconds() - paceFrom) * speed *
                                                  CVESKDoc::kPlaybackSecondsPerSpeedUnit);
        const auto due =
            paceStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(paced);
        if (due > now) {
          const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
          if (doc.playbackStop_.Wait(static_cast<int>(
                  std::min<std::chrono::milliseconds::rep>(wait.count() + 1, kPaceCheckMs)))) {
            break;
          }
          continue;
        }
      }
      // A file is read far faster than it is processed: wait for the processing to catch up.
      if (!doc.frames_.WaitForRoom(CVESKDoc::kPlaybackQueueLimit, std::chrono::milliseconds(10))) {
        continue;
      }
      const ssize_t n = in.Read(buffer.data(), speed > 0 ? kPacedChunk : buffer.size(), stopped);
      if (n == RecordingInput::kStopped) break;
      if (n < 0) {
        // A read error is no end of the recording: the .dat would look complete.
        doc.dialogs_.QueueMessage("ERROR: The recording " + played +
                                  " cannot be read: " + std::strerror(errno) +
                                  "\n\nThe playback is stopped; its .dat "
                                  "holds the records up to here.");
        doc.StopForFault();
        break;
      }
      if (n == 0) {
        // End of file: playback goes on until it is stopped, without spinning.
        doc.playbackAtEnd_ = true;
        if (doc.playbackStop_.Wait(100)) break;
        continue;
      }
      doc.playbackBytesDone_ += static_cast<std::uint64_t>(n);
      FeedDeframer(doc.frames_, doc.counterFrames_, deframer, buffer.data(),
                   static_cast<std::size_t>(n), &clock);
    }
  });
}

void HousekeepingThread(CVESKDoc& doc) {
  if (doc.housekeepingStop_.Wait(0)) return;
  DiskSpaceWatch disk;
  auto nextGridCheck = std::chrono::steady_clock::now();
  do {
    if (doc.logging_ && !doc.playback_) {
      // A folder deleted under the recording: the files are written again, whole.
      std::string restored;
      for (DataFile* file : {&doc.rawFile_, &doc.datFile_}) {
        if (const std::optional<std::string> path = file->RestoreIfUnlinked(RecoveryDir())) {
          restored += (restored.empty() ? "" : " and ") + *path;
        }
      }
      if (!restored.empty()) {
        doc.dialogs_.QueueMessage(
            "WARNING !!\n\nThe recording's folder was removed while "
            "logging.\n\nThe recording was written again with everything "
            "it held, as " +
                restored + "; logging goes on there.",
            "", MessageIcon::Warning);
      }
      // A power cut loses at most the last couple of seconds of a recording.
      if (!doc.rawFile_.Sync()) doc.ReportWriteFailure(doc.rawFile_, true);
      if (!doc.datFile_.Sync()) doc.ReportWriteFailure(doc.datFile_, false);
      disk.Check(doc, doc.scan_.lowDiskSpaceMb);
      doc.ResumeLoggingWhenSpace();
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextGridCheck) {
      nextGridCheck = now + kGridCheckInterval;
      doc.results_.BoundGrid();
    }
  } while (!doc.housekeepingStop_.Wait(kSyncIntervalMs));
}

}  // namespace vesk
