#include "processing/cast_products.h"

#include <algorithm>
#include <cmath>

namespace vesk {
namespace {

// How far `to` lies beyond `from` in the direction of the cast.
double Onward(CastDirection direction, double from, double to) {
  return direction == CastDirection::kDown ? to - from : from - to;
}

CastDirection Reverse(CastDirection direction) {
  return direction == CastDirection::kDown ? CastDirection::kUp : CastDirection::kDown;
}

constexpr std::size_t kMaxKeptIntervals = 1 << 16;

}  // namespace

ProfileSegmenter::ProfileSegmenter(const ProfileSettings& s)
    : hysteresis_(s.turnHysteresis),
      fromShallowest_(s.depthBin, s.loopEdit),
      fromDeepest_(s.depthBin, s.loopEdit),
      segment_(s.depthBin, s.loopEdit),
      tail_(s.depthBin, s.loopEdit, true),
      next_(s.depthBin, s.loopEdit),
      finished_(s.depthBin, s.loopEdit) {}

const ProfileAccumulator* ProfileSegmenter::Add(const CastFrame& f) {
  if (ended_) return nullptr;
  const double z = f.depth;
  if (direction_ == CastDirection::kNone) {
    if (IsMissing(shallowest_) || z < shallowest_) {
      shallowest_ = z;
      fromShallowest_.Restart(CastDirection::kDown);
    }
    if (IsMissing(deepest_) || z > deepest_) {
      deepest_ = z;
      fromDeepest_.Restart(CastDirection::kUp);
    }
    fromShallowest_.Add(f);
    fromDeepest_.Add(f);
    // The frame that starts a segment is its extreme so far: every frame between lies less
    // than H from the start.
    if (z - shallowest_ >= hysteresis_) {
      direction_ = CastDirection::kDown;
      segment_ = std::move(fromShallowest_);
    } else if (deepest_ - z >= hysteresis_) {
      direction_ = CastDirection::kUp;
      segment_ = std::move(fromDeepest_);
    } else {
      return nullptr;
    }
    fromShallowest_.Restart(CastDirection::kNone);
    fromDeepest_.Restart(CastDirection::kNone);
    extreme_ = z;
    tail_.Restart(direction_, z);
    next_.Restart(Reverse(direction_));
    return nullptr;
  }
  if (Onward(direction_, extreme_, z) > 0) {
    // Further on: the frames since the extreme belong to this segment after all.
    segment_.Append(tail_);
    segment_.Add(f);
    extreme_ = z;
    tail_.Restart(direction_, z);
    next_.Restart(Reverse(direction_));
    return nullptr;
  }
  tail_.Add(f);
  next_.Add(f);
  return Onward(direction_, z, extreme_) >= hysteresis_ ? Turn() : nullptr;
}

const ProfileAccumulator* ProfileSegmenter::Turn() {
  // The segment ends at its extreme frame; the next begins at the frame after it and has this
  // frame, H back, as its own extreme (every frame between lies less than H from the old one).
  std::swap(finished_, segment_);
  std::swap(segment_, next_);
  direction_ = segment_.Direction();
  extreme_ = direction_ == CastDirection::kDown ? segment_.DepthMax() : segment_.DepthMin();
  tail_.Restart(direction_, extreme_);
  next_.Restart(Reverse(direction_));
  return &finished_;
}

const ProfileAccumulator* ProfileSegmenter::End() {
  if (ended_) return nullptr;
  ended_ = true;
  if (direction_ == CastDirection::kNone) return nullptr;
  direction_ = CastDirection::kNone;
  std::swap(finished_, segment_);
  return &finished_;
}

CastProducts::CastProducts(const ProfileSettings& settings, double crossSection)
    : settings_(settings),
      crossSection_(crossSection),
      spectrum_(settings.spectrumMinUm, settings.spectrumMaxUm),
      segmenter_(settings) {}

std::shared_ptr<const ProfileRecord> CastProducts::Feed(const ExportRow& row) {
  if (IsMissing(row.depth)) return nullptr;
  CastFrame f;
  f.lFrameIndex = row.lFrameIndex;
  f.depth = row.depth;
  const double u = row.flowSpeed;
  f.volume = u > 0 ? crossSection_ * u * settings_.frameInterval : 0;
  f.bins = &row.bins;
  f.time = row.epochSeconds;
  f.latitude = row.latitude;
  f.longitude = row.longitude;
  latestDepth_ = row.depth;
  return Record(segmenter_.Add(f));
}

std::shared_ptr<const ProfileRecord> CastProducts::Finish() {
  return Record(segmenter_.End());
}

std::shared_ptr<const ProfileRecord> CastProducts::Record(const ProfileAccumulator* segment) {
  if (segment == nullptr || !(segment->DepthMax() - segment->DepthMin() >= settings_.minExtent)) {
    return nullptr;
  }
  std::shared_ptr<ProfileRecord> p = std::move(spare_);
  if (p == nullptr || p.use_count() > 1) {
    p = std::make_shared<ProfileRecord>();
  } else {
    std::vector<DepthBinRecord> bins = std::move(p->bins);
    bins.clear();
    *p = ProfileRecord{};
    p->bins = std::move(bins);
  }
  p->number = ++numbered_;
  p->direction = segment->Direction();
  p->firstLFrame = segment->FirstLFrame();
  p->lastLFrame = segment->LastLFrame();
  p->depthMin = segment->DepthMin();
  p->depthMax = segment->DepthMax();
  p->framesUsed = segment->FramesUsed();
  p->loopEdited = segment->LoopEdited();
  p->noFlow = segment->NoFlow();
  p->volume = segment->Volume();
  p->counts = segment->Counts();
  for (std::uint64_t c : p->counts) p->count += c;
  p->concentration = static_cast<double>(p->count) / p->volume;
  p->fit = spectrum_.Fit(p->counts, p->volume);
  p->time = segment->First().time;
  p->latitude = segment->First().latitude;
  p->longitude = segment->First().longitude;
  p->bins.reserve(segment->BinCount());
  segment->ForEachBin([&](double index, const ProfileAccumulator::Bin& sums) {
    DepthBinRecord& b = p->bins.emplace_back();
    b.index = index;
    b.depth = (index + 0.5) * settings_.depthBin;
    b.framesUsed = sums.framesUsed;
    b.volume = sums.volume;
    b.counts = sums.counts;
    for (std::uint64_t c : b.counts) b.count += c;
    b.concentration = static_cast<double>(b.count) / b.volume;
    const CountInterval& ci = Interval(b.count);
    b.ciLow = ci.low / b.volume;
    b.ciHigh = ci.high / b.volume;
    b.fit = spectrum_.Fit(b.counts, b.volume);
  });
  spare_ = std::move(latest_);
  latest_ = p;
  return p;
}

CastStatus CastProducts::Status() const {
  CastStatus s;
  s.direction = segmenter_.Direction();
  s.profile = numbered_ + 1;
  if (!IsMissing(latestDepth_)) {
    s.depthBin = (std::floor(latestDepth_ / settings_.depthBin) + 0.5) * settings_.depthBin;
  }
  return s;
}

LiveDepthBin CastProducts::Live(double index, double volume, const SizeCounts& counts, int firstBin,
                                int lastBin) const {
  std::uint64_t count = 0;
  for (int k = firstBin; k <= lastBin; ++k) count += counts[k];
  const CountInterval& ci = Interval(count);
  LiveDepthBin b;
  b.depth = (index + 0.5) * settings_.depthBin;
  b.concentration = static_cast<double>(count) / volume;
  b.ciLow = ci.low / volume;
  b.ciHigh = ci.high / volume;
  return b;
}

const CountInterval& CastProducts::Interval(std::uint64_t count) const {
  if (intervals_.size() >= kMaxKeptIntervals) intervals_.clear();
  auto [it, added] = intervals_.try_emplace(count);
  if (added) it->second = PoissonInterval95(count);
  return it->second;
}

CastSnapshot CastProducts::Snapshot(int firstBin, int lastBin) const {
  firstBin = std::clamp(firstBin, 0, kExportBinCount - 1);
  lastBin = std::clamp(lastBin, firstBin, kExportBinCount - 1);
  CastSnapshot s;
  s.status = Status();
  s.nbss.fill(kMissing);
  if (const ProfileAccumulator* open = segmenter_.Open()) {
    s.current.reserve(open->BinCount());
    open->ForEachBin([&](double index, const ProfileAccumulator::Bin& sums) {
      s.current.push_back(Live(index, sums.volume, sums.counts, firstBin, lastBin));
    });
    const SizeCounts counts = open->Counts();
    if (open->Volume() > 0) {
      for (int k = 0; k < kExportBinCount; ++k) s.nbss[k] = Nbss(counts[k], open->Volume(), k);
    }
    s.fit = spectrum_.Fit(counts, open->Volume());
  }
  if (latest_ != nullptr) {
    const ProfileRecord& p = *latest_;
    s.previous.reserve(p.bins.size());
    for (const DepthBinRecord& r : p.bins) {
      s.previous.push_back(Live(r.index, r.volume, r.counts, firstBin, lastBin));
    }
  }
  return s;
}

}  // namespace vesk
