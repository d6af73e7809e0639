#include "acquisition/aux_port_thread.h"

#include <chrono>
#include <exception>
#include <memory>
#include <string>

#include "instruments/nav_display.h"
#include "instruments/nmea_capture.h"

namespace vesk {
namespace {

constexpr const char* kCannotOpenAux =
    "WARNING: Cannot open the Auxiliary port!\n\nThe scan goes on without it; the port is "
    "opened as soon as it can be (is its device plugged in, or in use by another "
    "application?).\n\nError message: ";
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

// Where the auxiliary port's NMEA text goes: the position texts, the viewer and, while
// logging, the .dat (the gate shared with the counter's "$" frames decides how much).
class AuxCaptureSink : public NmeaCaptureSink {
 public:
  explicit AuxCaptureSink(AuxPortContext& c) : c_(c) {}

  void PositionSentence(std::string_view sentence) override {
    const NavSettings& nav = c_.scan.scan.nav;
    c_.results.EditNav([&](NavDisplay& display) { ParsePositionSentence(sentence, nav, display); });
  }
  void Group(const std::string& group) override {
    if (c_.results.Viewer().Append(group) && c_.navViewerOpen) {
      c_.reports.Post(WindowTarget::NavViewer, Uwm::NavViewerUpdate);
    }
    // The option may change during the scan: the settings in force are the processing's.
    if (!settings_ || c_.settings.ChangedSince(seen_)) settings_ = c_.settings.Newest(seen_);
    c_.files.WriteNmeaGroup(group, settings_->logInitialNmeaOnly);
  }

 private:
  AuxPortContext& c_;
  std::uint64_t seen_ = 0;
  std::shared_ptr<const ScanSettings> settings_;
};

}  // namespace

void AuxPortThread(AuxPortContext c) {
  const PortSettings& portSettings = c.scan.auxPort;
  // A missing or failing auxiliary port never keeps the counter's scan from running: said
  // once, then tried again like a device that went away.
  try {
    OpenAuxPort(c.port, portSettings);
  } catch (const CSerialException& e) {
    c.reports.Message(kCannotOpenAux + std::string(e.what()), MessageIcon::Warning);
    if (!ReopenAuxPort(c.port, portSettings, c.stop)) return;
    c.reports.Notify("The auxiliary port is open: " + c.port.DevicePath());
  }
  NmeaCapture nmea;
  const int mode = c.scan.auxPortMode;
  AuxCaptureSink sink(c);
  try {
    char buffer[1024];
    while (!c.stop.Wait(0)) {
      try {
        if (mode == kAuxCtdOutput) {
          const std::optional<std::string> line = c.ctdOutput.Take(kLineWait);
          if (!line) continue;
          const std::string text = "C " + *line + "\r";
          c.port.Write(text.data(), text.size());
        } else if (mode == kAuxNmeaInput) {
          const std::size_t n = c.port.Read(buffer, sizeof buffer, 500);
          if (n > 0) nmea.OnNmeaText(std::string_view(buffer, n), c.scan.scan.nav, sink);
        } else {
          break;
        }
      } catch (const CSerialException& e) {
        if (!e.IsDeviceGone()) throw;
        c.reports.Notify("WARNING: the auxiliary port's device has gone away (" +
                         std::string(e.what()) + "); it is reopened when it returns.");
        c.port.Close();
        if (!ReopenAuxPort(c.port, portSettings, c.stop)) break;
        c.reports.Notify("The auxiliary port's device is back: " + c.port.DevicePath());
        nmea.Reset();
      }
    }
  } catch (const std::exception& e) {
    c.reports.Message(std::string("ERROR: the auxiliary port stopped working.\n\n") + e.what(),
                      MessageIcon::Error);
  }
  c.port.Close();
}

}  // namespace vesk
