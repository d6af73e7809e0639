#pragma once
// The depth-bin accumulation of one profile's frames: which frames it uses (loop editing and
// flow), and per depth bin the frames, sampled volume and size bins of those it uses.

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "files/profile_record.h"

namespace vesk {

// One L frame as the cast products take it: one that has a depth.
struct CastFrame {
  std::uint32_t lFrameIndex = 0;
  double depth = 0;   // m
  double volume = 0;  // m^3 sampled; 0 without flow
  const std::array<std::uint32_t, kExportBinCount>* bins = nullptr;
  double time = kMissing;  // UTC seconds since 1970, and the position, where known
  double latitude = kMissing;
  double longitude = kMissing;
};

class ProfileAccumulator {
 public:
  struct Bin {
    std::uint32_t framesUsed = 0;
    double volume = 0;
    SizeCounts counts{};
  };

  // `keepVolumes`: remember each used frame's volume, so that appending these frames to an
  // earlier accumulator sums the volumes in the frames' own order (floating-point sums depend
  // on it). Only the frames since a segment's extreme need it, and they are few.
  ProfileAccumulator(double depthBin, bool loopEdit, bool keepVolumes = false)
      : depthBin_(depthBin), loopEdit_(loopEdit), keepVolumes_(keepVolumes) {}

  // Forgets every frame and takes a direction. With a `reference` depth the loop edit holds
  // the first frame against it, as if an earlier frame of the profile had reached it.
  void Restart(CastDirection direction, double reference = kMissing);
  void Add(const CastFrame& f);
  // Appends the frames of `later`, which all came after the frames here.
  void Append(const ProfileAccumulator& later);

  bool Empty() const { return frames_ == 0; }
  CastDirection Direction() const { return direction_; }
  std::uint32_t FirstLFrame() const { return first_.lFrameIndex; }
  std::uint32_t LastLFrame() const { return lastLFrame_; }
  // The first frame's time and position (its bins are not kept).
  const CastFrame& First() const { return first_; }
  double DepthMin() const { return depthMin_; }
  double DepthMax() const { return depthMax_; }
  std::uint32_t FramesUsed() const { return used_; }
  std::uint32_t LoopEdited() const { return loopEdited_; }
  std::uint32_t NoFlow() const { return noFlow_; }
  double Volume() const { return volume_; }
  // The size bins summed over the depth bins.
  SizeCounts Counts() const;
  // The depth bins with a used frame, ascending: f(floor(depth / bin width), const Bin&).
  template <typename F>
  void ForEachBin(F f) const {
    for (const auto& [index, at] : byDepth_) f(index, bins_[at]);
  }
  std::size_t BinCount() const { return bins_.size(); }
  double DepthBin() const { return depthBin_; }

 private:
  // The depth bin of index floor(depth / bin width), made when missing.
  Bin& BinOf(double index);

  double depthBin_;
  bool loopEdit_;
  bool keepVolumes_;
  CastDirection direction_ = CastDirection::kNone;
  double reference_ = kMissing;  // the deepest (down) or shallowest (up) depth so far
  std::uint32_t frames_ = 0;
  CastFrame first_;
  std::uint32_t lastLFrame_ = 0;
  double depthMin_ = kMissing;
  double depthMax_ = kMissing;
  std::uint32_t used_ = 0;
  std::uint32_t loopEdited_ = 0;
  std::uint32_t noFlow_ = 0;
  double volume_ = 0;
  // The depth bins in the order they were first used (kept when restarted, so that a restart
  // allocates nothing), and their indices and places in bins_, ascending. Consecutive frames
  // mostly fall in the same depth bin, the latest one.
  std::vector<Bin> bins_;
  std::vector<std::pair<double, std::uint32_t>> byDepth_;
  double latestIndex_ = kMissing;
  std::uint32_t latestAt_ = 0;
  // With keepVolumes_: the depth-bin index and volume of each used frame, in order.
  std::vector<std::pair<double, double>> volumes_;
};

}  // namespace vesk
