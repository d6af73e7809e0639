// NMEA capture and position parsing: text in arbitrary pieces, the first byte cuts them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_seams.h"
#include "instruments/nmea_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  vesk::fuzz::FuzzParts f;
  f.store.WriteString("NavSettings", "NmeaStart1", "$GPGGA");
  f.store.WriteString("NavSettings", "NmeaStart2", "$GPRMC");
  f.store.WriteString("NavSettings", "NmeaEnd2", "\n");
  f.store.WriteString("NavSettings", "SentenceToParse", "$GPGGA");
  f.store.WriteInt("NavSettings", "LatPos", 3);
  f.store.WriteInt("NavSettings", "LatNSPos", 4);
  f.store.WriteInt("NavSettings", "LongPos", 5);
  f.store.WriteInt("NavSettings", "LongEWPos", 6);
  f.store.WriteInt("NavSettings", "TimePos", 2);
  vesk::NavSettings nav;
  nav.Load(f.store);
  // What the auxiliary port's thread does with the capture: positions and the viewer.
  struct Sink : vesk::NmeaCaptureSink {
    void PositionSentence(std::string_view sentence) override {
      vesk::ParsePositionSentence(sentence, *nav, display);
    }
    void Group(const std::string& group) override { viewer.Append(group); }
    const vesk::NavSettings* nav = nullptr;
    vesk::NavDisplay display;
    vesk::NavViewerLog viewer;
  } sink;
  sink.nav = &nav;
  vesk::NmeaCapture capture;
  const std::size_t piece = data[0] % 64 + 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  for (std::size_t at = 0; at < text.size(); at += piece) {
    capture.OnNmeaText(text.substr(at, piece), nav, sink);
  }
  vesk::NavDisplay display;
  vesk::ParsePositionSentence(text, nav, display);
  return 0;
}
