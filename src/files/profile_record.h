#pragma once
// The cast products as records: the profiles a cast is cut into at its turns, each with its
// depth bins (concentration and its 95 % interval, the summed size bins, the slope of the size
// spectrum), the settings that made them, and the writers that put them into files. The
// processing (processing/cast_products.h) fills them; the writers here only format them.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/export_row.h"
#include "instruments/missing.h"

namespace vesk {

class SettingsStore;
struct ExportContext;

// The settings of the cast products (section Profiles), defaults from the key table.
struct ProfileSettings {
  double depthBin;        // m
  double turnHysteresis;  // m
  double minExtent;       // m: a shorter segment is no profile
  bool loopEdit;
  double frameInterval;  // s: an L frame samples cross-section x flow speed x this
  double spectrumMinUm;  // the size range of the spectrum slope
  double spectrumMaxUm;

  ProfileSettings();
  // The store's values; text that is not a number reads as NaN, which Problem() names.
  static ProfileSettings Read(const SettingsStore& store);
  void Write(SettingsStore& store) const;
  // What makes no sense in these values, as a message for the user; empty when they are sound.
  std::string Problem() const;
};

enum class CastDirection { kNone, kDown, kUp };
// "down", "up" (empty for none).
const char* DirectionName(CastDirection direction);

// The size spectrum's geometry: size bin k spans 15k to 15(k + 1) um of equivalent spherical
// diameter; its biovolume is a sphere's of the centre diameter, and its width in biovolume the
// difference of its edges' (both mm^3).
double SizeBinBiovolume(int k);
double SizeBinBiovolumeWidth(int k);
// The normalized biovolume size spectrum of bin k (m^-3) from `count` particles in `volume`
// m^3: count x biovolume / volume / width.
double Nbss(std::uint64_t count, double volume, int k);

using SizeCounts = std::array<std::uint64_t, kExportBinCount>;

// The least-squares line of log10(NBSS) on log10(biovolume); no slope (NaN) when fewer than
// three bins qualify. `bins` is the number of bins the line was (or would have been) fitted to.
struct SpectrumFit {
  double slope = kMissing;
  double intercept = kMissing;
  int bins = 0;
};

// A depth bin of a profile without its size bins.
struct DepthBinValues {
  double index = 0;  // floor(depth / bin width)
  double depth = 0;  // the bin's centre, m
  std::uint32_t framesUsed = 0;
  double volume = 0;  // m^3
  std::uint64_t count = 0;
  double concentration = kMissing;  // m^-3, and its exact 95 % Poisson interval
  double ciLow = kMissing;
  double ciHigh = kMissing;
  SpectrumFit fit;
};

struct DepthBinRecord : DepthBinValues {
  SizeCounts counts{};
};

// A profile without its depth bins.
struct ProfileValues {
  int number = 0;  // from 1 in the order of the data
  CastDirection direction = CastDirection::kNone;
  std::uint32_t firstLFrame = 0;  // the segment's first and last frame
  std::uint32_t lastLFrame = 0;
  double depthMin = kMissing;  // over the segment's frames, m
  double depthMax = kMissing;
  std::uint32_t framesUsed = 0;
  std::uint32_t loopEdited = 0;
  std::uint32_t noFlow = 0;
  double volume = 0;  // m^3 of the used frames
  std::uint64_t count = 0;
  double concentration = kMissing;  // m^-3
  SpectrumFit fit;
  SizeCounts counts{};
  // Of the first frame, where known.
  double time = kMissing;  // UTC seconds since 1970
  double latitude = kMissing;
  double longitude = kMissing;
};

struct ProfileRecord : ProfileValues {
  std::vector<DepthBinRecord> bins;  // ascending depth, those with a used frame
};

// One file format of the cast products. Profiles arrive in order as each is finished.
class ProfileWriter {
 public:
  virtual ~ProfileWriter() = default;
  // Creates the temporary files; false with Error() on failure.
  virtual bool Begin(const ExportContext& context, const ProfileSettings& settings) = 0;
  // A failure is kept and reported by Finish.
  virtual void Write(const std::shared_ptr<const ProfileRecord>& profile) = 0;
  // Completes the files under their names; false with Error() when anything failed.
  virtual bool Finish() = 0;
  virtual void Discard() = 0;
  virtual std::string Error() const = 0;
};

}  // namespace vesk
