#include "processing/profile_accumulator.h"

#include <algorithm>
#include <cmath>

namespace vesk {

void ProfileAccumulator::Restart(CastDirection direction, double reference) {
  direction_ = direction;
  reference_ = reference;
  frames_ = used_ = loopEdited_ = noFlow_ = 0;
  first_ = CastFrame{};
  lastLFrame_ = 0;
  depthMin_ = depthMax_ = kMissing;
  volume_ = 0;
  bins_.clear();
  byDepth_.clear();
  latestIndex_ = kMissing;
  volumes_.clear();
}

ProfileAccumulator::Bin& ProfileAccumulator::BinOf(double index) {
  if (index == latestIndex_) return bins_[latestAt_];
  auto it = std::lower_bound(byDepth_.begin(), byDepth_.end(), index,
                             [](const auto& entry, double i) { return entry.first < i; });
  if (it == byDepth_.end() || it->first != index) {
    it = byDepth_.emplace(it, index, static_cast<std::uint32_t>(bins_.size()));
    bins_.emplace_back();
  }
  latestIndex_ = index;
  latestAt_ = it->second;
  return bins_[latestAt_];
}

void ProfileAccumulator::Add(const CastFrame& f) {
  const double z = f.depth;
  if (frames_++ == 0) {
    first_ = f;
    first_.bins = nullptr;
    depthMin_ = depthMax_ = z;
  }
  lastLFrame_ = f.lFrameIndex;
  depthMin_ = std::min(depthMin_, z);
  depthMax_ = std::max(depthMax_, z);
  // Loop editing holds each frame against every earlier frame of the profile, used or not.
  const bool down = direction_ == CastDirection::kDown;
  const bool onward = IsMissing(reference_) || (down ? z >= reference_ : z <= reference_);
  if (IsMissing(reference_) || (down ? z > reference_ : z < reference_)) reference_ = z;
  if (loopEdit_ && !onward) {
    ++loopEdited_;
    return;
  }
  if (!(f.volume > 0)) {
    ++noFlow_;
    return;
  }
  ++used_;
  volume_ += f.volume;
  const double index = std::floor(z / depthBin_);
  if (keepVolumes_) volumes_.emplace_back(index, f.volume);
  Bin& bin = BinOf(index);
  ++bin.framesUsed;
  bin.volume += f.volume;
  const auto& b = *f.bins;
  for (int k = 0; k < kExportBinCount; ++k) bin.counts[k] += b[k];
}

SizeCounts ProfileAccumulator::Counts() const {
  SizeCounts counts{};
  for (const Bin& bin : bins_) {
    for (int k = 0; k < kExportBinCount; ++k) counts[k] += bin.counts[k];
  }
  return counts;
}

void ProfileAccumulator::Append(const ProfileAccumulator& later) {
  if (later.frames_ == 0) return;
  if (frames_ == 0) {
    const bool keep = keepVolumes_;
    *this = later;
    keepVolumes_ = keep;
    if (!keep) volumes_.clear();
    return;
  }
  frames_ += later.frames_;
  lastLFrame_ = later.lastLFrame_;
  depthMin_ = std::min(depthMin_, later.depthMin_);
  depthMax_ = std::max(depthMax_, later.depthMax_);
  const bool down = direction_ == CastDirection::kDown;
  reference_ =
      down ? std::max(reference_, later.reference_) : std::min(reference_, later.reference_);
  used_ += later.used_;
  loopEdited_ += later.loopEdited_;
  noFlow_ += later.noFlow_;
  later.ForEachBin([this](double index, const Bin& from) {
    Bin& to = BinOf(index);
    to.framesUsed += from.framesUsed;
    for (int k = 0; k < kExportBinCount; ++k) to.counts[k] += from.counts[k];
  });
  // The volumes frame by frame, as if these frames had been added here one after the other.
  for (const auto& [index, volume] : later.volumes_) {
    volume_ += volume;
    BinOf(index).volume += volume;
  }
  if (keepVolumes_) volumes_.insert(volumes_.end(), later.volumes_.begin(), later.volumes_.end());
}

}  // namespace vesk
