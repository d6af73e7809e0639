#include "files/profile_record.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string_view>

#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

// The whole text as a number (blanks around it allowed), NaN otherwise.
double Number(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double v = kMissing;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  return error == std::errc() && end == text.data() + text.size() ? v : kMissing;
}

constexpr const char* kDepthBinProblem =
    "Profiles/DepthBin is %g: the depth bin must be a number of metres above 0.";
constexpr const char* kHysteresisProblem =
    "Profiles/TurnHysteresis is %g: the turn hysteresis must be a number of metres above 0.";
constexpr const char* kMinExtentProblem =
    "Profiles/MinExtent is %g: the least depth range of a profile must be a number of metres, "
    "0 or more.";
constexpr const char* kFrameIntervalProblem =
    "Profiles/FrameInterval is %g: the L frame interval must be a number of seconds above 0.";
constexpr const char* kSpectrumRangeProblem =
    "Profiles/SpectrumMinUm is %g and Profiles/SpectrumMaxUm %g: the size range of the "
    "spectrum slope must be two numbers of micrometres, the first below the second.";

std::string Message(const char* format, double a, double b = 0) {
  char text[300];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

struct BiovolumeTable {
  std::array<double, kExportBinCount> volume{};
  std::array<double, kExportBinCount> width{};
  BiovolumeTable() {
    constexpr double kSphere = std::numbers::pi / 6;
    for (int k = 0; k < kExportBinCount; ++k) {
      // Diameters in mm.
      const double centre = kBinEsdMicrometres * (k + 0.5) / 1000;
      const double lower = kBinEsdMicrometres * k / 1000;
      const double upper = kBinEsdMicrometres * (k + 1) / 1000;
      volume[k] = kSphere * std::pow(centre, 3);
      width[k] = kSphere * (std::pow(upper, 3) - std::pow(lower, 3));
    }
  }
};

const BiovolumeTable& Biovolumes() {
  static const BiovolumeTable table;
  return table;
}

}  // namespace

ProfileSettings::ProfileSettings()
    : depthBin(ParseReal(keys::kProfilesDepthBin.def)),
      turnHysteresis(ParseReal(keys::kProfilesTurnHysteresis.def)),
      minExtent(ParseReal(keys::kProfilesMinExtent.def)),
      loopEdit(keys::kProfilesLoopEdit.def != 0),
      frameInterval(ParseReal(keys::kProfilesFrameInterval.def)),
      spectrumMinUm(ParseReal(keys::kProfilesSpectrumMinUm.def)),
      spectrumMaxUm(ParseReal(keys::kProfilesSpectrumMaxUm.def)) {}

ProfileSettings ProfileSettings::Read(const SettingsStore& store) {
  ProfileSettings s;
  s.depthBin = Number(store.Read(keys::kProfilesDepthBin));
  s.turnHysteresis = Number(store.Read(keys::kProfilesTurnHysteresis));
  s.minExtent = Number(store.Read(keys::kProfilesMinExtent));
  s.loopEdit = store.ReadBool(keys::kProfilesLoopEdit);
  s.frameInterval = Number(store.Read(keys::kProfilesFrameInterval));
  s.spectrumMinUm = Number(store.Read(keys::kProfilesSpectrumMinUm));
  s.spectrumMaxUm = Number(store.Read(keys::kProfilesSpectrumMaxUm));
  return s;
}

void ProfileSettings::Write(SettingsStore& store) const {
  auto real = [&](const TextKey& k, double v) { store.WriteReal(k.section, k.key, v); };
  real(keys::kProfilesDepthBin, depthBin);
  real(keys::kProfilesTurnHysteresis, turnHysteresis);
  real(keys::kProfilesMinExtent, minExtent);
  store.Write(keys::kProfilesLoopEdit, loopEdit ? 1 : 0);
  real(keys::kProfilesFrameInterval, frameInterval);
  real(keys::kProfilesSpectrumMinUm, spectrumMinUm);
  real(keys::kProfilesSpectrumMaxUm, spectrumMaxUm);
}

std::string ProfileSettings::Problem() const {
  // Written so that NaN fails each test.
  if (!(depthBin > 0) || !std::isfinite(depthBin)) return Message(kDepthBinProblem, depthBin);
  if (!(turnHysteresis > 0) || !std::isfinite(turnHysteresis)) {
    return Message(kHysteresisProblem, turnHysteresis);
  }
  if (!(minExtent >= 0) || !std::isfinite(minExtent)) return Message(kMinExtentProblem, minExtent);
  if (!(frameInterval > 0) || !std::isfinite(frameInterval)) {
    return Message(kFrameIntervalProblem, frameInterval);
  }
  if (!(spectrumMinUm < spectrumMaxUm) || !std::isfinite(spectrumMinUm) ||
      !std::isfinite(spectrumMaxUm)) {
    return Message(kSpectrumRangeProblem, spectrumMinUm, spectrumMaxUm);
  }
  return {};
}

const char* DirectionName(CastDirection direction) {
  switch (direction) {
    case CastDirection::kDown: return "down";
    case CastDirection::kUp: return "up";
    case CastDirection::kNone: break;
  }
  return "";
}

double SizeBinBiovolume(int k) {
  return Biovolumes().volume[k];
}

double SizeBinBiovolumeWidth(int k) {
  return Biovolumes().width[k];
}

double Nbss(std::uint64_t count, double volume, int k) {
  const BiovolumeTable& t = Biovolumes();
  return static_cast<double>(count) * t.volume[k] / volume / t.width[k];
}

}  // namespace vesk
