#pragma once
// A decoder on an in-memory store, lines in, record and log text out.

#include <string>

#include "acquisition/headless_seams.h"
#include "instruments/ctd_decoder.h"
#include "seams/memory_settings_store.h"

namespace vesk::test {

class DecoderRig {
 public:
  explicit DecoderRig(int model, bool viaMux = false) { Select(model, viaMux); }

  // Takes the store's settings as a scan start does.
  void Select(int model, bool viaMux = false) { decoder.LoadScanSettings(model, viaMux); }

  // Decodes one line; returns the text to log.
  std::string Decode(const std::string& line) { return decoder.Decode(line); }

  const CtdSample& Sample() const { return decoder.Sample(); }

  void Set(const char* section, const char* key, const char* value) {
    store.WriteString(section, key, value);
  }
  void SetInt(const char* section, const char* key, int value) {
    store.WriteInt(section, key, value);
  }

  MemorySettingsStore store;
  ConsoleDialogs dialogs{true, true};
  CtdDecoder decoder{store, dialogs};
};

inline bool SameRecord(const CtdSample& a, const CtdSample& b) {
  return a.conductivity == b.conductivity && a.temperature == b.temperature &&
         a.pressure == b.pressure && a.analog == b.analog && a.salinity == b.salinity;
}

}  // namespace vesk::test
