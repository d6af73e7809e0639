#pragma once
// The stored calibration coefficients of each CTD model, one table per model: the settings
// section, and for every coefficient its key, the name the dialog shows, the name the file
// header gives it, the text it has while unset and where the loaded value goes. The loader,
// the calibration dialogs and the file header all read these tables, so a coefficient is
// named and given its default in one place.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "instruments/ctd_conversions.h"

namespace vesk {

class SettingsStore;

// One coefficient of a model whose values load into `Values`.
template <class Values>
struct CoefficientKey {
  const char* key;          // in the model's section
  const char* label;        // beside its field in the dialog
  const char* headerName;   // in the file header's line ("TC_G" of "# TC_G: 0.0")
  const char* defaultText;  // while the store has none
  double Values::*field;
};

// What the dialogs and the header need of a coefficient, whatever the model.
struct CoefficientText {
  const char* key;
  const char* label;
  const char* headerName;
  const char* defaultText;
};

// A model's coefficients whatever their values' type: its section and their texts.
struct CoefficientList {
  const char* section = "";
  std::vector<CoefficientText> texts;
};

template <class Values>
struct CoefficientTable {
  const char* section;
  std::span<const CoefficientKey<Values>> keys;

  // Every coefficient of the store into `values` (the others left as they are).
  void Load(const SettingsStore& store, Values& values) const;
  // The keys without their fields, in table order.
  std::vector<CoefficientText> Texts() const {
    std::vector<CoefficientText> out;
    for (const auto& k : keys) out.push_back({k.key, k.label, k.headerName, k.defaultText});
    return out;
  }
  CoefficientList List() const { return {section, Texts()}; }
};

// The SBE 19 ("TC_Coeff"): the temperature G and A sets, the conductivity G and A sets, the
// pressure polynomial and linear sets, in that order.
const CoefficientTable<Sbe19Coefficients>& Sbe19CoefficientTable();
// The SBE 19plus ("SBE19plusConfig") and SBE 49 ("SBE49"): temperature, conductivity,
// pressure.
const CoefficientTable<SeaBirdCoefficients>& Sbe19plusCoefficientTable();
const CoefficientTable<SeaBirdCoefficients>& Sbe49CoefficientTable();
const CoefficientTable<Sbe25Coefficients>& Sbe25CoefficientTable();
const CoefficientTable<Os200Coefficients>& Os200CoefficientTable();

// The header line of `count` coefficients of `texts` from `first`: "# A: 1, B: 2".
std::string CoefficientHeaderLine(const SettingsStore& store, const char* section,
                                  std::span<const CoefficientText> texts, std::string_view first,
                                  std::size_t count);

}  // namespace vesk
