#pragma once
// The cast products, fed one accepted L frame at a time with the export's values: the cast cut
// into profiles at its turns, each profile's depth bins with their concentration and 95 %
// interval, and its size spectrum with the slope. Frames without a depth are in no profile.
//
// A turn is known only once the cast has gone back by the hysteresis, so a segment's start and
// end are decided after the fact; what is kept meanwhile are sums (per depth bin of the open
// segment, of the frames since its extreme, and of the next segment's candidate), never the
// frames themselves, so memory follows the depth range, not the length of the data.

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "files/export_row.h"
#include "files/profile_record.h"
#include "processing/profile_accumulator.h"
#include "processing/size_spectrum.h"

namespace vesk {

// The turning points with hysteresis H. Without a direction yet it keeps the shallowest and
// the deepest depth so far (the first frame to reach each): once a frame is H below the
// shallowest a down segment begins at the shallowest frame (above the deepest: an up segment
// at the deepest frame). A down segment keeps its deepest frame; a frame H above it ends the
// segment there, and an up segment begins at the frame after it. Up segments mirror this.
class ProfileSegmenter {
 public:
  explicit ProfileSegmenter(const ProfileSettings& settings);

  // One frame; the segment it ended, or null. The segment stays valid until the next call.
  const ProfileAccumulator* Add(const CastFrame& f);
  // The end of the data: the open segment, ended at its extreme frame, or null.
  const ProfileAccumulator* End();
  CastDirection Direction() const { return direction_; }
  // The open segment up to its extreme frame; null before the cast has a direction.
  const ProfileAccumulator* Open() const {
    return direction_ == CastDirection::kNone ? nullptr : &segment_;
  }

 private:
  const ProfileAccumulator* Turn();

  double hysteresis_;
  CastDirection direction_ = CastDirection::kNone;
  bool ended_ = false;
  // No direction yet: the candidate segments from the shallowest and from the deepest frame.
  double shallowest_ = kMissing;
  double deepest_ = kMissing;
  ProfileAccumulator fromShallowest_;
  ProfileAccumulator fromDeepest_;
  // In a segment: its frames up to its extreme depth, the frames since (they join it should it
  // go on), and those same frames as the start of the next segment.
  double extreme_ = kMissing;
  ProfileAccumulator segment_;
  ProfileAccumulator tail_;
  ProfileAccumulator next_;
  ProfileAccumulator finished_;
};

// What the live view and the status line show.
struct CastStatus {
  CastDirection direction = CastDirection::kNone;  // of the open segment
  int profile = 0;                                 // the number the open segment would get
  double depthBin = kMissing;                      // centre of the latest frame's depth bin, m
};

struct LiveDepthBin {
  double depth = 0;  // centre, m
  double concentration = kMissing;
  double ciLow = kMissing;
  double ciHigh = kMissing;
};

struct CastSnapshot {
  CastStatus status;
  std::vector<LiveDepthBin> current;           // the open segment, ascending depth
  std::vector<LiveDepthBin> previous;          // the latest profile
  std::array<double, kExportBinCount> nbss{};  // the open segment's spectrum (NaN: no volume)
  SpectrumFit fit;
};

class CastProducts {
 public:
  // `settings` must have no Problem(); `crossSection` is the tunnel's (m^2).
  CastProducts(const ProfileSettings& settings, double crossSection);

  // One accepted L frame, its depth as the export fills it (missing: in no profile); the
  // profile it finished, or null. The profiles are handed out once, in order, and only the
  // latest is kept (for the live view): the caller keeps what it needs of the others.
  std::shared_ptr<const ProfileRecord> Feed(const ExportRow& row);
  // The end of the data: the last profile, or null.
  std::shared_ptr<const ProfileRecord> Finish();
  // The profiles numbered so far.
  int Numbered() const { return numbered_; }
  const ProfileSettings& Settings() const { return settings_; }

  CastStatus Status() const;
  // For the live view: concentrations over the size bins firstBin..lastBin (all by default).
  // Costs a lookup per depth bin; only counts not seen before take the chi2 quantiles.
  CastSnapshot Snapshot(int firstBin = 0, int lastBin = kExportBinCount - 1) const;

 private:
  std::shared_ptr<const ProfileRecord> Record(const ProfileAccumulator* segment);
  LiveDepthBin Live(double index, double volume, const SizeCounts& counts, int firstBin,
                    int lastBin) const;

  ProfileSettings settings_;
  double crossSection_;
  SizeSpectrum spectrum_;
  ProfileSegmenter segmenter_;
  int numbered_ = 0;
  // The latest profile, for the live view, and the one before: filled again for the next
  // once nobody else holds it, so that a profile allocates nothing.
  std::shared_ptr<ProfileRecord> latest_;
  std::shared_ptr<ProfileRecord> spare_;
  double latestDepth_ = kMissing;
  // The Poisson intervals by count: the quantiles cost microseconds, and counts repeat.
  const CountInterval& Interval(std::uint64_t count) const;
  mutable std::unordered_map<std::uint64_t, CountInterval> intervals_;
};

}  // namespace vesk
