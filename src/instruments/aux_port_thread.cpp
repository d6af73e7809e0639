// The auxiliary port thread: NMEA sentences in from a navigation receiver, or every CTD line
// out to another device.

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

}  // namespace

void AuxPortThread(CVESKDoc& doc) {
  const PortSettings& p = doc.auxPort;
  try {
    doc.auxSerial.Open(p.port, p.bitRate, p.parity, p.dataBits, p.stopBits, p.flowControl,
                       p.device);
  } catch (const CSerialException& e) {
    doc.dialogs.QueueMessage(kCannotOpenAux + std::string(e.what()), "", MessageIcon::Error);
    doc.windows.Post(WindowTarget::MainFrame, Uwm::PerformStop);
    return;
  }
  doc.nmea.Reset();  // nothing of a previous scan's half sentence
  try {
    char buffer[1024];
    while (!doc.auxStop.Wait(0)) {
      if (doc.auxPortMode == kAuxCtdOutput) {
        if (!doc.ctdOutputReady.Wait(500)) continue;
        std::string text;
        {
          std::lock_guard lock(doc.ctdLock);
          text = "C " + doc.ctdOutputLine + "\r";
        }
        doc.auxSerial.Write(text.data(), text.size());
        doc.ctdOutputDone.Set();
        doc.ctdOutputReady.Reset();
      } else if (doc.auxPortMode == kAuxNmeaInput) {
        const std::size_t n = doc.auxSerial.Read(buffer, sizeof buffer, 500);
        if (n > 0) doc.OnNmeaText(std::string_view(buffer, n));
      } else {
        break;
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
