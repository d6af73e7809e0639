// The auxiliary port thread: NMEA sentences in from a navigation receiver, or every CTD line
// out to another device. A device that goes away is reopened when it returns, as the counter
// port is; the scan never waits on this thread.

#include <chrono>
#include <exception>
#include <string>

#include "acquisition/source_threads.h"
#include "acquisition/vesk_doc.h"

namespace vesk {
namespace {

constexpr const char* kCannotOpenAux =
    "Cannot open Auxilary ComPort!\n\nPort may be in use by another application, or may not "
    "exist.\n\nError Message:";
constexpr int kAuxNmeaInput = 1;
constexpr int kAuxCtdOutput = 2;
constexpr auto kLineWait = std::chrono::milliseconds(500);

void OpenAuxPort(CVESKDoc& doc) {
  const PortSettings& p = doc.auxPort;
  doc.auxSerial.Open(p.port, p.bitRate, p.parity, p.dataBits, p.stopBits, p.flowControl, p.device);
}

// Tries to reopen the vanished device about once a second until it returns or the scan
// stops; true when it is back.
bool ReopenAuxPort(CVESKDoc& doc) {
  while (!doc.auxStop.Wait(1000)) {
    try {
      OpenAuxPort(doc);
      return true;
    } catch (const CSerialException&) {
      // still gone
    }
  }
  return false;
}

}  // namespace

void AuxPortThread(CVESKDoc& doc) {
  try {
    OpenAuxPort(doc);
  } catch (const CSerialException& e) {
    doc.dialogs.QueueMessage(kCannotOpenAux + std::string(e.what()), "", MessageIcon::Error);
    doc.StopForFault();
    return;
  }
  doc.nmea.Reset();  // nothing of a previous scan's half sentence
  const int mode = doc.auxPortMode;
  try {
    char buffer[1024];
    while (!doc.auxStop.Wait(0)) {
      try {
        if (mode == kAuxCtdOutput) {
          const std::optional<std::string> line = doc.ctdOutput.Take(kLineWait);
          if (!line) continue;
          const std::string text = "C " + *line + "\r";
          doc.auxSerial.Write(text.data(), text.size());
        } else if (mode == kAuxNmeaInput) {
          const std::size_t n = doc.auxSerial.Read(buffer, sizeof buffer, 500);
          if (n > 0) doc.OnNmeaText(std::string_view(buffer, n));
        } else {
          break;
        }
      } catch (const CSerialException& e) {
        if (!e.IsDeviceGone()) throw;
        doc.dialogs.Notify("WARNING: the auxiliary port's device has gone away (" +
                           std::string(e.what()) + "); it is reopened when it returns.");
        doc.auxSerial.Close();
        if (!ReopenAuxPort(doc)) break;
        doc.dialogs.Notify("The auxiliary port's device is back: " + doc.auxSerial.DevicePath());
        doc.nmea.Reset();
      }
    }
  } catch (const std::exception& e) {
    doc.dialogs.QueueMessage(
        std::string("ERROR: the auxiliary port stopped working.\n\n") + e.what(), "",
        MessageIcon::Error);
  }
  doc.auxSerial.Close();
}

}  // namespace vesk
