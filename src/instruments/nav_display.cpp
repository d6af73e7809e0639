#include "instruments/nav_display.h"

#include "app/settings_store.h"

namespace vesk {

void NavSettings::Load(const SettingsStore& store) {
  sentenceToParse = store.Read(keys::kSentenceToParse);
  if (!sentenceToParse.empty()) {
    latPos = store.Read(keys::kLatPos);
    latNsPos = store.Read(keys::kLatNsPos);
    longPos = store.Read(keys::kLongPos);
    longEwPos = store.Read(keys::kLongEwPos);
    timePos = store.Read(keys::kTimePos);
  } else {
    latPos = latNsPos = longPos = longEwPos = timePos = 0;
  }
  for (int i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i + 1);
    nmeaStart[i] = store.ReadString("NavSettings", "NmeaStart" + n, "");
    nmeaEnd[i] = store.ReadString("NavSettings", "NmeaEnd" + n, "\r\n");
  }
}

void ParsePositionSentence(std::string_view, const NavSettings&, NavDisplay&) {
  // The field parser plugs in here.
}

}  // namespace vesk
