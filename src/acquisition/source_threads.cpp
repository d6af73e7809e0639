#include "acquisition/source_threads.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>

#include "acquisition/vesk_doc.h"

namespace vesk {
namespace {

constexpr std::size_t kChunk = 1024;
constexpr const char* kBinOpenError = "Error opening Bin data file -  - Performing STOP LOGGING.";

// Every thread body reports an unexpected failure once and asks for a stop.
template <class Body>
void Guarded(CVESKDoc& doc, const char* what, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    doc.dialogs.QueueMessage(std::string("ERROR: ") + what + " stopped.\n\n" + e.what());
    doc.windows.Post(WindowTarget::MainFrame, Uwm::PerformStop);
  }
}

void FeedDeframer(CVESKDoc& doc, Deframer& deframer, const std::uint8_t* data, std::size_t n) {
  deframer.Feed(
      data, n, [&](std::span<const std::uint8_t> frame) { doc.QueueFrame(frame); },
      [&](std::uint8_t type) { doc.CountAbortedFrame(type); });
}

// Writes the oldest queued command, if any, to the counter port.
void WriteOneCommand(CVESKDoc& doc) {
  std::string command;
  {
    std::lock_guard lock(doc.commandLock);
    if (doc.commandQueue.empty()) return;
    command = std::move(doc.commandQueue.front());
    doc.commandQueue.pop_front();
  }
  try {
    doc.counterSerial.Write(command.data(), command.size());
  } catch (const CSerialException&) {
    // The port is checked again by the next read.
  }
}

// Tries to reopen the vanished counter device about once a second until it returns or the
// scan stops; true when it is back.
bool ReopenCounterPort(CVESKDoc& doc) {
  const PortSettings& p = doc.counterPort;
  while (!doc.serialStop.Wait(1000)) {
    try {
      doc.counterSerial.Open(p.port, p.bitRate, p.parity, p.dataBits, p.stopBits, p.flowControl,
                             p.device);
      doc.counterSerial.SetTimeouts(SerialTimeouts{0, 0, 200, 0, 0});
      return true;
    } catch (const CSerialException&) {
      // still gone
    }
  }
  return false;
}

}  // namespace

void SerialSourceThread(CVESKDoc& doc) {
  Guarded(doc, "serial acquisition", [&] {
    {
      // Without a raw file the scan still runs (the main frame stops it).
      std::lock_guard names(doc.fileNameLock);
      doc.OpenBinFile();
    }
    Deframer deframer;
    std::uint8_t buffer[kChunk];
    std::uint64_t bytesNotWritten = 0;
    bool writeFailureReported = false;
    auto lastPaneUpdate = std::chrono::steady_clock::time_point{};
    while (doc.connected) {
      if (doc.serialStop.Wait(0)) break;
      std::size_t n = 0;
      try {
        n = doc.counterSerial.Read(buffer, sizeof buffer, 200);
      } catch (const CSerialException& e) {
        if (e.IsDeviceGone()) {
          doc.dialogs.QueueMessage(
              "WARNING !!\n\nThe counter's serial device has gone away (" + std::string(e.what()) +
                  ").\n\nThe scan goes on and resumes reading when the device returns.",
              "", MessageIcon::Warning);
          doc.windows.SetPaneText(kPaneState, "  Counter device lost - waiting  ");
          doc.counterSerial.Close();
          if (!ReopenCounterPort(doc)) break;
          doc.windows.SetPaneText(kPaneState, "  Scanning - device reconnected  ");
          continue;
        }
      }
      if (n == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
      } else {
        doc.lastScanByteTicks = std::chrono::steady_clock::now().time_since_epoch().count();
        if (doc.rawFile.IsOpen() &&
            !doc.rawFile.Write(std::string_view(reinterpret_cast<const char*>(buffer), n))) {
          // Acquisition goes on; the bytes still reach processing. Tell the user once and keep
          // the count of what the file misses in the status bar.
          bytesNotWritten += n;
          const auto now = std::chrono::steady_clock::now();
          if (!writeFailureReported) {
            writeFailureReported = true;
            doc.TellWriteFailure(doc.rawFile, "raw",
                                 "bytes not written are counted in the status bar.");
          }
          if (now - lastPaneUpdate > std::chrono::seconds(1)) {
            lastPaneUpdate = now;
            doc.windows.SetPaneText(kPaneDest, "  Dest: RAW FILE WRITE FAILED - " +
                                                   std::to_string(bytesNotWritten) +
                                                   " bytes not written  ");
          }
        }
        FeedDeframer(doc, deframer, buffer, n);
      }
      WriteOneCommand(doc);
    }
    // Commands still queued (the stop command above all) reach the counter before the end,
    // and what the counter sent until it fell silent is still kept (at most about a second).
    for (;;) {
      {
        std::lock_guard lock(doc.commandLock);
        if (doc.commandQueue.empty()) break;
      }
      WriteOneCommand(doc);
    }
    const auto drainEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    while (doc.connected && doc.counterSerial.IsOpen() &&
           std::chrono::steady_clock::now() < drainEnd) {
      std::size_t n = 0;
      try {
        n = doc.counterSerial.Read(buffer, sizeof buffer, 150);
      } catch (const CSerialException&) {
        break;
      }
      if (n == 0) break;
      if (doc.rawFile.IsOpen()) {
        doc.rawFile.Write(std::string_view(reinterpret_cast<const char*>(buffer), n));
      }
      FeedDeframer(doc, deframer, buffer, n);
    }
  });
  doc.rawFile.Close();
}

void PlaybackSourceThread(CVESKDoc& doc) {
  std::string played;
  {
    std::lock_guard names(doc.fileNameLock);
    played = doc.rawFileName;
  }
  const int fd = ::open(played.c_str(), O_RDONLY | O_CLOEXEC);  // never created
  if (fd < 0) {
    doc.dialogs.QueueMessage(std::string(kBinOpenError) + "\n\n" + played + ": " +
                             std::strerror(errno));
    doc.windows.Post(WindowTarget::MainFrame, Uwm::PerformStop);
    return;
  }
  Guarded(doc, "playback", [&] {
    struct stat st {};
    ::fstat(fd, &st);
    doc.playbackBytesDone = 0;
    doc.playbackTotalBytes = static_cast<std::uint32_t>(st.st_size);
    Deframer deframer;
    std::uint8_t buffer[kChunk];
    for (;;) {
      if (doc.playbackStop.Wait(0)) break;
      if (doc.playbackPaused) {
        if (doc.playbackStop.Wait(1000)) break;  // a stop during a pause ends the thread
        continue;
      }
      bool full = false;
      {
        std::lock_guard lock(doc.frameQueueLock);
        full = doc.frameQueue.size() > CVESKDoc::kPlaybackQueueLimit;
      }
      if (full) {
        if (doc.playbackStop.Wait(10)) break;
        continue;
      }
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) {
        // End of file: playback goes on until it is stopped, without spinning.
        doc.playbackAtEnd = true;
        if (doc.playbackStop.Wait(100)) break;
        continue;
      }
      doc.playbackBytesDone += static_cast<std::uint32_t>(n);
      FeedDeframer(doc, deframer, buffer, static_cast<std::size_t>(n));
      const int pauseMs = doc.playbackSpeed * 100;
      if (pauseMs > 0) {
        if (doc.playbackStop.Wait(pauseMs)) break;
      } else {
        std::this_thread::yield();
      }
    }
  });
  ::close(fd);
}

void HousekeepingThread(CVESKDoc& doc) {
  if (doc.housekeepingStop.Wait(0)) return;
  do {
    std::lock_guard lock(doc.gridLock);
    if (doc.gridRows.size() > kMaxGridRows) doc.gridRows.clear();
  } while (!doc.housekeepingStop.Wait(10000));
}

}  // namespace vesk
