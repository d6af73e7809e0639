#include "app/settings_store.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vesk {
namespace {

locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

}  // namespace

double ParseReal(std::string_view text) {
  const std::string s(text);
  return strtod_l(s.c_str(), nullptr, CLocale());
}

float ParseFloat32(std::string_view text, std::size_t* consumed) {
  const std::string s(text);
  char* end = nullptr;
  const float v = strtof_l(s.c_str(), &end, CLocale());
  if (consumed != nullptr) *consumed = static_cast<std::size_t>(end - s.c_str());
  return v;
}

double SettingsStore::ReadReal(std::string_view section, std::string_view key,
                               std::string_view defText) const {
  return ParseReal(ReadString(section, key, defText));
}

double SettingsStore::ReadReal(std::string_view section, std::string_view key, double def) const {
  if (!Contains(section, key)) return def;
  return ParseReal(ReadString(section, key, ""));
}

void SettingsStore::WriteReal(std::string_view section, std::string_view key, double value) {
  char text[64];
  // %.15g keeps what a user typed ("2.25", "99.9999") and reads back to the same double
  // for every value typed with up to 15 significant digits.
  std::snprintf(text, sizeof text, "%.15g", value);
  WriteString(section, key, text);
}

}  // namespace vesk
