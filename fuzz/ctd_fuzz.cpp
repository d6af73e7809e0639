// Every CTD decoder through the dispatcher: the first byte picks the model and options. The
// line's numbers must also read exactly as the C library's strtof and strtol read them, which
// the decoders' own number reading replaces on its fast paths.
#include <locale.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_seams.h"
#include "instruments/line_scanner.h"

namespace {

// Reads values from the start of `text` one after another, as "%f" (or "%d") conversions
// do, both with the line scanner and with strtof/strtol on a copy of each word; traps on the
// first difference in value, in what was consumed, or in success.
void CheckNumbersReadAsTheCLibraryReadsThem(std::string_view text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  vesk::LineScanner floats(text), ints(text);
  std::size_t pos = 0;
  for (int n = 0; n < 16; ++n) {
    while (pos < text.size() && vesk::IsBlank(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !vesk::IsBlank(text[end]) && text[end] != '\0') ++end;
    const std::string word(text.substr(pos, end - pos));
    char* stopF = nullptr;
    char* stopI = nullptr;
    const float expected = pos < text.size() ? strtof_l(word.c_str(), &stopF, c) : 0;
    const long expectedInt = pos < text.size() ? strtol_l(word.c_str(), &stopI, 10, c) : 0;
    float got = 0;
    int gotInt = 0;
    const bool ok = floats.Float(&got);
    const bool okInt = ints.Int(&gotInt);
    const bool expectOk = pos < text.size() && stopF != word.c_str();
    const bool expectOkInt = pos < text.size() && stopI != word.c_str();
    if (ok != expectOk || okInt != expectOkInt) __builtin_trap();
    if (okInt && gotInt != static_cast<int>(static_cast<unsigned long>(expectedInt))) {
      __builtin_trap();
    }
    if (!ok) return;
    if (std::memcmp(&got, &expected, sizeof got) != 0 && !(got != got && expected != expected)) {
      __builtin_trap();
    }
    pos += static_cast<std::size_t>(stopF - word.c_str());
    if (text.size() - floats.Rest().size() != pos) __builtin_trap();
    // The integer scan goes its own way; keep it on the same value as the float scan.
    ints = vesk::LineScanner(text.substr(pos));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  CheckNumbersReadAsTheCLibraryReadsThem(
      std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  vesk::fuzz::FuzzParts f;
  const int model = data[0] % 10;  // 9 is an unknown model
  f.store.WriteInt("TC_Coeff", "SBE_Analog", (data[0] >> 4) % 3 * 2);
  f.store.WriteInt("SBE19plusConfig", "OutputFormat", (data[0] >> 5) & 1);
  f.store.WriteInt("SBE19plusConfig", "AnalogInputs", (data[0] >> 6) % 5);
  f.ctd.LoadScanSettings(model, (data[0] & 0x80) != 0);
  f.ctd.Decode(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  return 0;
}
