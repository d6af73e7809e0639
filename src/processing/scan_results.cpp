#include "processing/scan_results.h"

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

void ScanResults::AppendGridRows(std::span<const GridRow> rows) {
  std::lock_guard lock(gridLock_);
  // The bound of the housekeeping check, applied as rows are added: a recording of long
  // particles cannot grow the grid past it between two checks.
  if (gridRows_.size() + rows.size() > kMaxGridRows) gridRows_.clear();
  gridRows_.insert(gridRows_.end(), rows.begin(), rows.end());
  if (gridRows_.size() > kMaxGridRows) gridRows_.clear();
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
  gridRows_.clear();
}

void ScanResults::ClearHistory() {
  std::lock_guard lock(historyLock_);
  history_.clear();
}

void ScanResults::BoundGrid() {
  std::lock_guard lock(gridLock_);
  if (gridRows_.size() > kMaxGridRows) gridRows_.clear();
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
