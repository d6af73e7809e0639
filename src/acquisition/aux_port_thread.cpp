// The auxiliary port thread: NMEA sentences in from a navigation receiver, or every CTD line
// out to another device. A device that goes away is reopened when it returns, as the counter
// port is; the scan never waits on this thread.

#include <chrono>
#include <exception>
#include <memory>
#include <string>

#include "acquisition/source_threads.h"
#include "acquisition/vesk_doc.h"

namespace vesk {
namespace {

constexpr const char* kCannotOpenAux =
    "WARNING: Cannot open the Auxiliary port!\n\nThe scan goes on without it; the port is "
    "opened as soon as it can be (is its device plugged in, or in use by another "
    "application?).\n\nError message: ";
constexpr int kAuxNmeaInput = 1;
constexpr int kAuxCtdOutput = 2;
constexpr auto kLineWait = std::chrono::milliseconds(500);

void OpenAuxPort(CSerialPort& port, const PortSettings& p) {
  port.Open(p.port, p.bitRate, p.parity, p.dataBits, p.stopBits, p.flowControl, p.device);
}

// Tries to reopen the vanished device about once a second until it returns or the scan
// stops; true when it is back.
bool ReopenAuxPort(CSerialPort& port, const PortSettings& p, Event& stop) {
  while (!stop.Wait(1000)) {
    try {
      OpenAuxPort(port, p);
      return true;
    } catch (const CSerialException&) {
      // still gone
    }
  }
  return false;
}

}  // namespace

// Where the auxiliary port's NMEA text goes: the position texts, the viewer and, while
// logging, the .dat (the gate shared with the counter's "$" frames decides how much).
class AuxCaptureSink : public NmeaCaptureSink {
 public:
  explicit AuxCaptureSink(CVESKDoc& doc) : doc_(doc) {}

  void PositionSentence(std::string_view sentence) override {
    const NavSettings& nav = doc_.scan_.scan.nav;
    doc_.results_.EditNav(
        [&](NavDisplay& display) { ParsePositionSentence(sentence, nav, display); });
  }
  void Group(const std::string& group) override {
    if (doc_.results_.Viewer().Append(group) && doc_.navViewerOpen_) {
      doc_.windows_.Post(WindowTarget::NavViewer, Uwm::NavViewerUpdate);
    }
    // The option may change during the scan: the settings in force are the processing's.
    if (!settings_ || doc_.scanSettings_.ChangedSince(seen_)) {
      settings_ = doc_.scanSettings_.Newest(seen_);
    }
    if (!doc_.logging_ || !doc_.nmeaGate_.Allows(settings_->logInitialNmeaOnly)) return;
    if (doc_.datFile_.Write(group)) {
      doc_.nmeaGate_.Written();
    } else if (doc_.datFile_.IsOpen()) {
      doc_.ReportWriteFailure(doc_.datFile_, false, kNmeaWriteError);
    }
  }

 private:
  CVESKDoc& doc_;
  std::uint64_t seen_ = 0;
  std::shared_ptr<const ScanSettings> settings_;
};

void AuxPortThread(CVESKDoc& doc) {
  // A missing or failing auxiliary port never keeps the counter's scan from running: said
  // once, then tried again like a device that went away.
  try {
    OpenAuxPort(doc.auxSerial_, doc.scan_.auxPort);
  } catch (const CSerialException& e) {
    doc.dialogs_.QueueMessage(kCannotOpenAux + std::string(e.what()), "", MessageIcon::Warning);
    if (!ReopenAuxPort(doc.auxSerial_, doc.scan_.auxPort, doc.auxStop_)) return;
    doc.dialogs_.Notify("The auxiliary port is open: " + doc.auxSerial_.DevicePath());
  }
  doc.nmea_.Reset();  // nothing of a previous scan's half sentence
  const int mode = doc.scan_.auxPortMode;
  AuxCaptureSink sink(doc);
  try {
    char buffer[1024];
    while (!doc.auxStop_.Wait(0)) {
      try {
        if (mode == kAuxCtdOutput) {
          const std::optional<std::string> line = doc.ctdOutput_.Take(kLineWait);
          if (!line) continue;
          const std::string text = "C " + *line + "\r";
          doc.auxSerial_.Write(text.data(), text.size());
        } else if (mode == kAuxNmeaInput) {
          const std::size_t n = doc.auxSerial_.Read(buffer, sizeof buffer, 500);
          if (n > 0) doc.nmea_.OnNmeaText(std::string_view(buffer, n), doc.scan_.scan.nav, sink);
        } else {
          break;
        }
      } catch (const CSerialException& e) {
        if (!e.IsDeviceGone()) throw;
        doc.dialogs_.Notify("WARNING: the auxiliary port's device has gone away (" +
                            std::string(e.what()) + "); it is reopened when it returns.");
        doc.auxSerial_.Close();
        if (!ReopenAuxPort(doc.auxSerial_, doc.scan_.auxPort, doc.auxStop_)) break;
        doc.dialogs_.Notify("The auxiliary port's device is back: " + doc.auxSerial_.DevicePath());
        doc.nmea_.Reset();
      }
    }
  } catch (const std::exception& e) {
    doc.dialogs_.QueueMessage(
        std::string("ERROR: the auxiliary port stopped working.\n\n") + e.what(), "",
        MessageIcon::Error);
  }
  doc.auxSerial_.Close();
}

}  // namespace vesk
