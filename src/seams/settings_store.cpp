#include "seams/settings_store.h"

#include <locale.h>

#include <charconv>
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
  // 15 significant digits keep what a user typed ("2.25", "99.9999"); to_chars writes a
  // decimal point whatever the process locale (a decimal comma would read back as 2).
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  WriteString(section, key, std::string_view(text, static_cast<std::size_t>(result.ptr - text)));
}

}  // namespace vesk
