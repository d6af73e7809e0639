#include "instruments/ctd_catalogue.h"

namespace vesk {

CtdCatalogue::CtdCatalogue(const std::string& serial) {
  auto add = [&](int code, const char* name, int rate, const char* format, bool seaBird) {
    entries_[code] = CtdModelEntry{name, serial, rate, format, seaBird};
  };
  add(kMicroCtd, "Micro CTD (AML)", 25, "DECIMAL: ( Pressure  Conductivity  Temperature )", false);
  add(kSbe911, "SBE 911plus CTD (Sea-Bird)", 24, "DECIMAL: ( Temperature  Conductivity  Pressure )",
      false);
  add(kFlowmeter, "Net-Tow Flowmeter (custom)", 4,
      "DECIMAL: ( Misc1  Misc2  Misc3  Flow  Pressure )", false);
  add(kPressureSensor, "Pressure Smart Sensor (AML)", 15, "DECIMAL: ( Pressure )", false);
  add(kSbe19, "SBE 19 CTD (Sea-Bird)", 2, "ASCII HEX: ( ttttccccpppp )", true);
  add(kSbe19plus, "SBE 19plus CTD (Sea-Bird)", 4,
      "ASCII HEX:(ttttttccccccpppppp) - OR - Decimal (T C D)", true);
  add(kSbe49, "SBE49 FastCAT (Sea-Bird)", 16, "OUTPUTFORMAT=3 recommended", true);
  add(kSbe25, "SBE25 Sealogger (Sea-Bird)", 8, "ttttttccccccspppuuuvvvwwwxxxyyyzzz0aaa", true);
}

const CtdModelEntry* CtdCatalogue::Find(int code) const {
  auto it = entries_.find(code);
  return it == entries_.end() ? nullptr : &it->second;
}

void CtdCatalogue::SetSerial(int code, const std::string& serial) {
  auto it = entries_.find(code);
  if (it != entries_.end()) it->second.serial = serial;
}

}  // namespace vesk
