// Every CTD decoder through the dispatcher: the first byte picks the model and options.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_seams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  vesk::fuzz::FuzzDoc f;
  const int model = data[0] % 10;  // 9 is an unknown model
  f.store.WriteInt("TC_Coeff", "SBE_Analog", (data[0] >> 4) % 3 * 2);
  f.store.WriteInt("SBE19plusConfig", "OutputFormat", (data[0] >> 5) & 1);
  f.store.WriteInt("SBE19plusConfig", "AnalogInputs", (data[0] >> 6) % 5);
  f.doc->ctd.LoadScanSettings(model, (data[0] & 0x80) != 0, 45.0);
  f.doc->ctd.line.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  f.doc->DecodeCtdLine();
  return 0;
}
