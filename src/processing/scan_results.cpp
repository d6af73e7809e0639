#include "processing/scan_results.h"

#include <algorithm>

namespace vesk {

void ScanResults::AddFrameBins(const BinCounts& bins, double frameTotal, std::int32_t windowCount) {
  std::lock_guard lock(binLock_);
  for (int k = 0; k < kBinCount; ++k) bins_.cumulative[k] += bins[k];
  bins_.frameTotal = frameTotal;
  bins_.frameWindowCount = windowCount;
  bins_.cumulativeWindowCount += static_cast<std::uint32_t>(windowCount);
  bins_.cumulativeTotalCount += static_cast<std::uint32_t>(frameTotal);
}

void ScanResults::SetHousekeeping(const HousekeepingTable& table) {
  std::lock_guard lock(housekeepingLock_);
  housekeeping_ = table;
}

void ScanResults::SetCtd(const CtdSample& sample) {
  std::lock_guard lock(ctdLock_);
  ctd_ = sample;
}

void ScanResults::AddSample(const TimeChartSample& sample, std::size_t capacity) {
  {
    std::lock_guard lock(sampleLock_);
    latest_ = sample;
  }
  std::lock_guard lock(historyLock_);
  if (capacity == 0) capacity = 1;
  while (history_.size() >= capacity) history_.pop_front();
  history_.push_back(sample);
  ++samplesMade_;
}

void ScanResults::AppendGridRows(std::span<const GridRow> rows,
                                 std::span<const GridParticleRows> particles) {
  std::lock_guard lock(gridLock_);
  // The grid's bound, applied as rows are added: a recording of long particles cannot grow
  // it without end.
  if (gridRows_.size() + rows.size() > kMaxGridRows) ClearGridLocked();
  const std::size_t base = gridRows_.size();
  gridRows_.insert(gridRows_.end(), rows.begin(), rows.end());
  if (gridRows_.size() > kMaxGridRows) {
    ClearGridLocked();
    return;
  }
  for (const GridParticleRows& p : particles) {
    gridParticles_.push_back({base + p.offset, p.rows, p.scale, LFrames(), 0, 0});
  }
}

std::optional<GridParticle> ScanResults::ParticleAt(std::size_t row) const {
  std::lock_guard lock(gridLock_);
  auto it = std::upper_bound(gridParticles_.begin(), gridParticles_.end(), row,
                             [](std::size_t r, const GridParticle& p) { return r < p.firstRow; });
  if (it == gridParticles_.begin()) return std::nullopt;
  GridParticle p = *--it;
  if (row >= p.firstRow + p.rows || p.firstRow + p.rows > gridRows_.size()) return std::nullopt;
  GridRow shaded;
  for (std::size_t r = p.firstRow; r < p.firstRow + p.rows; ++r) shaded |= gridRows_[r];
  p.firstElement = kGridElements;
  p.lastElement = -1;
  for (int e = 0; e < kGridElements; ++e) {
    if (!shaded.test(static_cast<std::size_t>(e))) continue;
    p.firstElement = std::min(p.firstElement, e);
    p.lastElement = e;
  }
  return p;
}

void ScanResults::ClearGridLocked() {
  gridRows_.clear();
  gridParticles_.clear();
}

BinTable ScanResults::Bins() const {
  std::lock_guard lock(binLock_);
  return bins_;
}

HousekeepingTable ScanResults::Housekeeping() const {
  std::lock_guard lock(housekeepingLock_);
  return housekeeping_;
}

CtdSample ScanResults::Ctd() const {
  std::lock_guard lock(ctdLock_);
  return ctd_;
}

TimeChartSample ScanResults::LatestSample() const {
  std::lock_guard lock(sampleLock_);
  return latest_;
}

NavDisplay ScanResults::Nav() const {
  std::lock_guard lock(navLock_);
  return nav_;
}

std::size_t ScanResults::GridRowCount() const {
  std::lock_guard lock(gridLock_);
  return gridRows_.size();
}

void ScanResults::ClearCumulativeBins() {
  std::lock_guard lock(binLock_);
  bins_.cumulative.fill(0);
}

void ScanResults::ClearTotalCount() {
  std::lock_guard lock(binLock_);
  bins_.cumulativeTotalCount = 0;
}

void ScanResults::ClearWindowCount() {
  std::lock_guard lock(binLock_);
  bins_.cumulativeWindowCount = 0;
}

void ScanResults::ClearGrid() {
  std::lock_guard lock(gridLock_);
  ClearGridLocked();
}

void ScanResults::ClearHistory() {
  std::lock_guard lock(historyLock_);
  history_.clear();
}

void ScanResults::Reset() {
  {
    std::lock_guard lock(binLock_);
    bins_ = BinTable{};
  }
  {
    std::lock_guard lock(housekeepingLock_);
    housekeeping_ = HousekeepingTable{};
  }
  {
    std::lock_guard lock(ctdLock_);
    ctd_ = CtdSample{};
  }
  {
    std::lock_guard lock(sampleLock_);
    latest_.fill(0);
  }
  {
    std::lock_guard lock(historyLock_);
    history_.clear();
    samplesMade_ = 0;
  }
  ClearGrid();
  cast_.Clear();
  {
    std::lock_guard lock(navLock_);
    nav_ = NavDisplay{};  // no position of an earlier scan or playback
  }
  lFrames_ = 0;
  frameErrors_ = 0;
  mepParticles_ = 0;
}

void ScanResults::ClearTables() {
  {
    std::lock_guard lock(binLock_);
    bins_.cumulative.fill(0);
  }
  {
    std::lock_guard lock(housekeepingLock_);
    housekeeping_.words.fill(0);
  }
  {
    std::lock_guard lock(ctdLock_);
    ctd_ = CtdSample{};
  }
  std::lock_guard lock(sampleLock_);
  latest_.fill(0);
}

}  // namespace vesk
