#include "instruments/ctd_coefficient_tables.h"

#include <algorithm>
#include <array>

#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

using S19 = Sbe19Coefficients;
using SB = SeaBirdCoefficients;
using S25 = Sbe25Coefficients;
using OS = Os200Coefficients;

constexpr CoefficientKey<S19> kSbe19[] = {
    {"TempCoeff_G", "G", "TC_G", "0.0", &S19::tempG},
    {"TempCoeff_H", "H", "TC_H", "0.0", &S19::tempH},
    {"TempCoeff_I", "I", "TC_I", "0.0", &S19::tempI},
    {"TempCoeff_J", "J", "TC_J", "0.0", &S19::tempJ},
    {"TempCoeff_F0G", "F0 (G set)", "TC_F0G", "1000.0", &S19::tempF0G},
    {"TempCoeff_A", "A", "TC_A", "0.0", &S19::tempA},
    {"TempCoeff_B", "B", "TC_B", "0.0", &S19::tempB},
    {"TempCoeff_C", "C", "TC_C", "0.0", &S19::tempC},
    {"TempCoeff_D", "D", "TC_D", "0.0", &S19::tempD},
    {"TempCoeff_F0A", "F0 (A set)", "TC_F0A", "0.0", &S19::tempF0A},
    {"CondCoeff_G", "G", "CC_G", "0.0", &S19::condG},
    {"CondCoeff_H", "H", "CC_H", "0.0", &S19::condH},
    {"CondCoeff_I", "I", "CC_I", "0.0", &S19::condI},
    {"CondCoeff_J", "J", "CC_J", "0.0", &S19::condJ},
    {"CondCoeff_CpcorG", "CPcor (G set)", "CC_CPcor", "-9.570000e-008", &S19::condCpcorG},
    {"CondCoeff_Ctcor", "CTcor (G set)", "CC_CTcor", "3.250000e-006", &S19::condCtcor},
    {"CondCoeff_A", "A", "CC_A", "0.0", &S19::condA},
    {"CondCoeff_B", "B", "CC_B", "0.0", &S19::condB},
    {"CondCoeff_C", "C", "CC_C", "0.0", &S19::condC},
    {"CondCoeff_D", "D", "CC_D", "0.0", &S19::condD},
    {"CondCoeff_M", "M", "CC_M", "0.0", &S19::condM},
    {"CondCoeff_CpcorA", "CPcor (A set)", "CC_CPcor", "-9.570000e-008", &S19::condCpcorA},
    {"PresCoeff_PA0", "PA0", "PC_PA0", "0.0", &S19::presPA0},
    {"PresCoeff_PA1", "PA1", "PC_PA1", "0.0", &S19::presPA1},
    {"PresCoeff_PA2", "PA2", "PC_PA2", "0.0", &S19::presPA2},
    {"PresCoeff_M", "M", "PC_M", "0.0", &S19::presM},
    {"PresCoeff_B", "B", "PC_B", "0.0", &S19::presB},
};

// The rows of `parts`, one after the other, as one table.
template <class Row, std::size_t... N>
constexpr std::array<Row, (N + ...)> Joined(const Row (&... parts)[N]) {
  std::array<Row, (N + ...)> out{};
  std::size_t at = 0;
  ((std::copy(parts, parts + N, out.begin() + at), at += N), ...);
  return out;
}

// The SBE 19plus and SBE 49 differ in the names of their temperature and correction
// coefficients; their conductivity and pressure coefficients are the same.
constexpr CoefficientKey<SB> kSeaBirdConductivity[] = {
    {"G", "G", "G", "0.0", &SB::g},
    {"H", "H", "H", "0.0", &SB::h},
    {"I", "I", "I", "0.0", &SB::i},
    {"J", "J", "J", "0.0", &SB::j},
};
constexpr CoefficientKey<SB> kSeaBirdPressure[] = {
    {"PA0", "PA0", "PA0", "0.0", &SB::pa0},
    {"PA1", "PA1", "PA1", "0.0", &SB::pa1},
    {"PA2", "PA2", "PA2", "0.0", &SB::pa2},
    {"PTCA0", "PTCA0", "PTCA0", "0.0", &SB::ptca0},
    {"PTCA1", "PTCA1", "PTCA1", "0.0", &SB::ptca1},
    {"PTCA2", "PTCA2", "PTCA2", "0.0", &SB::ptca2},
    {"PTCB0", "PTCB0", "PTCB0", "0.0", &SB::ptcb0},
    {"PTCB1", "PTCB1", "PTCB1", "0.0", &SB::ptcb1},
    {"PTCB2", "PTCB2", "PTCB2", "0.0", &SB::ptcb2},
    {"PTEMPA0", "PTEMPA0", "PTEMPA0", "0.0", &SB::ptempa0},
    {"PTEMPA1", "PTEMPA1", "PTEMPA1", "0.0", &SB::ptempa1},
    {"PTEMPA2", "PTEMPA2", "PTEMPA2", "0.0", &SB::ptempa2},
};
constexpr CoefficientKey<SB> kSbe19plusTemperature[] = {
    {"A0", "A0", "A0", "0.0", &SB::ta0},
    {"A1", "A1", "A1", "0.0", &SB::ta1},
    {"A2", "A2", "A2", "0.0", &SB::ta2},
    {"A3", "A3", "A3", "0.0", &SB::ta3},
};
constexpr CoefficientKey<SB> kSbe19plusCorrection[] = {
    {"CPcor", "CPcor", "CPcor", "-9.5700e-008", &SB::cpcor},
    {"CTcor", "CTcor", "CTcor", "3.2500e-006", &SB::ctcor},
};
constexpr CoefficientKey<SB> kSbe49Temperature[] = {
    {"TA0", "TA0", "TA0", "0.0", &SB::ta0},
    {"TA1", "TA1", "TA1", "0.0", &SB::ta1},
    {"TA2", "TA2", "TA2", "0.0", &SB::ta2},
    {"TA3", "TA3", "TA3", "0.0", &SB::ta3},
};
constexpr CoefficientKey<SB> kSbe49Correction[] = {
    {"CPCOR", "CPCOR", "CPCOR", "0.0", &SB::cpcor},
    {"CTCOR", "CTCOR", "CTCOR", "0.0", &SB::ctcor},
};
constexpr auto kSbe19plus =
    Joined(kSbe19plusTemperature, kSeaBirdConductivity, kSbe19plusCorrection, kSeaBirdPressure);
constexpr auto kSbe49 =
    Joined(kSbe49Temperature, kSeaBirdConductivity, kSbe49Correction, kSeaBirdPressure);

constexpr CoefficientKey<S25> kSbe25[] = {
    {"G", "G", "G", "0.0", &S25::g},
    {"H", "H", "H", "0.0", &S25::h},
    {"I", "I", "I", "0.0", &S25::i},
    {"J", "J", "J", "0.0", &S25::j},
    {"CG", "CG", "CG", "0.0", &S25::cg},
    {"CH", "CH", "CH", "0.0", &S25::ch},
    {"CI", "CI", "CI", "0.0", &S25::ci},
    {"CJ", "CJ", "CJ", "0.0", &S25::cj},
    {"CPCOR", "CPCOR", "CPCOR", "0.0", &S25::cpcor},
    {"CTCOR", "CTCOR", "CTCOR", "0.0", &S25::ctcor},
    {"PA0", "PA0", "PA0", "0.0", &S25::pa0},
    {"PA1", "PA1", "PA1", "0.0", &S25::pa1},
    {"PA2", "PA2", "PA2", "0.0", &S25::pa2},
    {"F0", "F0", "F0", "0.0", &S25::f0},
};

constexpr CoefficientKey<OS> kOs200[] = {
    {"CA", "CA", "CA", "0.0", &OS::ca}, {"CB", "CB", "CB", "0.0", &OS::cb},
    {"PA", "PA", "PA", "0.0", &OS::pa}, {"PB", "PB", "PB", "0.0", &OS::pb},
    {"TA", "TA", "TA", "0.0", &OS::ta}, {"TB", "TB", "TB", "0.0", &OS::tb},
    {"TC", "TC", "TC", "0.0", &OS::tc}, {"TD", "TD", "TD", "0.0", &OS::td},
};

}  // namespace

template <class Values>
void CoefficientTable<Values>::Load(const SettingsStore& store, Values& values) const {
  // Every coefficient is text read as a number.
  for (const CoefficientKey<Values>& k : keys) {
    values.*k.field = store.ReadReal(section, k.key, std::string_view(k.defaultText));
  }
}

template struct CoefficientTable<Sbe19Coefficients>;
template struct CoefficientTable<SeaBirdCoefficients>;
template struct CoefficientTable<Sbe25Coefficients>;
template struct CoefficientTable<Os200Coefficients>;

const CoefficientTable<Sbe19Coefficients>& Sbe19CoefficientTable() {
  static const CoefficientTable<Sbe19Coefficients> table{keys::kSbe19Section, kSbe19};
  return table;
}
const CoefficientTable<SeaBirdCoefficients>& Sbe19plusCoefficientTable() {
  static const CoefficientTable<SeaBirdCoefficients> table{keys::kSbe19plusSection, kSbe19plus};
  return table;
}
const CoefficientTable<SeaBirdCoefficients>& Sbe49CoefficientTable() {
  static const CoefficientTable<SeaBirdCoefficients> table{keys::kSbe49Section, kSbe49};
  return table;
}
const CoefficientTable<Sbe25Coefficients>& Sbe25CoefficientTable() {
  static const CoefficientTable<Sbe25Coefficients> table{keys::kSbe25Section, kSbe25};
  return table;
}
const CoefficientTable<Os200Coefficients>& Os200CoefficientTable() {
  static const CoefficientTable<Os200Coefficients> table{keys::kOs200Section, kOs200};
  return table;
}

std::string CoefficientHeaderLine(const SettingsStore& store, const char* section,
                                  std::span<const CoefficientText> texts, std::string_view first,
                                  std::size_t count) {
  std::size_t at = 0;
  while (at < texts.size() && texts[at].key != first) ++at;
  std::string out;
  for (std::size_t i = at; i < texts.size() && i < at + count; ++i) {
    out += i == at ? "# " : ", ";
    out += texts[i].headerName;
    out += ": ";
    out += store.ReadString(section, texts[i].key, texts[i].defaultText);
  }
  return out;
}

}  // namespace vesk
