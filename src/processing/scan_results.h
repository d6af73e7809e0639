#pragma once
// What a scan's processing makes of the frames, as the views and the status line read it:
// bins and counts, the housekeeping words, the CTD record, the time chart samples, the
// shadowgram's rows, the position texts and the frame counters. The processing thread is the
// one writer; each table has its own lock, and a reader takes a copy (a snapshot) or reads
// under the lock through a function, never holding two locks.

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>

#include "instruments/ctd_sample.h"
#include "instruments/nav_display.h"
#include "instruments/nav_viewer_log.h"
#include "processing/cast_board.h"

namespace vesk {

inline constexpr int kBinCount = 128;
inline constexpr int kHousekeepingCount = 7;
inline constexpr int kTimeChartChannels = 10;
inline constexpr int kGridElements = 35;
// Grid rows kept at most: one more and the grid is emptied.
inline constexpr std::size_t kMaxGridRows = 500000;

using BinCounts = std::array<std::uint32_t, kBinCount>;
using TimeChartSample = std::array<double, kTimeChartChannels>;
using GridRow = std::bitset<kGridElements>;

// One particle's rows (or a run of rows without the MEP flag) among rows handed to the grid,
// and the grid scaling factor they were made with (clock ticks per row).
struct GridParticleRows {
  std::size_t offset = 0;
  std::size_t rows = 0;
  int scale = 1;
};
// A particle in the grid: its rows, its scale, when it was stored (the scan's L frames then)
// and the elements it shades.
struct GridParticle {
  std::size_t firstRow = 0;
  std::size_t rows = 0;
  int scale = 1;
  std::uint32_t lFrames = 0;
  int firstElement = 0;
  int lastElement = 0;
};

// Time chart channels, in sample order.
enum TimeChartChannel {
  kChDepth = 0,
  kChTemperature,
  kChCountsPerSecond,
  kChSalinity,
  kChWindowCps,
  kChCountsPerVolume,
  kChFlowSpeed,
  kChAnalog,
  kChCounter,
  kChLaserMonitor,
};

// The latest L frame's totals and the sums since the scan (or the user) started them.
struct BinTable {
  BinCounts cumulative{};
  double frameTotal = 0;
  std::int32_t frameWindowCount = 0;
  std::uint32_t cumulativeTotalCount = 0;
  std::uint32_t cumulativeWindowCount = 0;
};

// The latest L frame's housekeeping words, the counter words N, T, A and what follows.
struct HousekeepingTable {
  std::array<std::uint32_t, kHousekeepingCount> words{};
  std::uint32_t counterN = 0;
  std::uint32_t counterT = 0;
  std::uint32_t analogA = 0;
  double counterValue = 0;
  double flowSpeed = 0;
};

class ScanResults {
 public:
  // --- the processing thread ----------------------------------------------------------
  // A new L frame: its bins are added to the sums.
  void AddFrameBins(const BinCounts& bins, double frameTotal, std::int32_t windowCount);
  void SetHousekeeping(const HousekeepingTable& table);
  void SetCtd(const CtdSample& sample);
  // A new time chart sample; the history keeps the newest `capacity`.
  void AddSample(const TimeChartSample& sample, std::size_t capacity);
  // Rows for the shadowgram, with where its particles lie among them; past kMaxGridRows the
  // grid is emptied first.
  void AppendGridRows(std::span<const GridRow> rows,
                      std::span<const GridParticleRows> particles = {});
  template <class Edit>
  void EditNav(Edit&& edit) {
    std::lock_guard lock(navLock_);
    edit(nav_);
  }
  void CountLFrame() { lFrames_.fetch_add(1, std::memory_order_relaxed); }
  void CountFrameError() { frameErrors_.fetch_add(1, std::memory_order_relaxed); }
  void CountMepParticle() { mepParticles_.fetch_add(1, std::memory_order_relaxed); }

  // --- readers ------------------------------------------------------------------------
  BinTable Bins() const;
  HousekeepingTable Housekeeping() const;
  CtdSample Ctd() const;
  TimeChartSample LatestSample() const;
  NavDisplay Nav() const;
  std::uint32_t LFrames() const { return lFrames_.load(std::memory_order_relaxed); }
  std::uint32_t FrameErrors() const { return frameErrors_.load(std::memory_order_relaxed); }
  std::uint32_t MepParticles() const { return mepParticles_.load(std::memory_order_relaxed); }
  // read(history, samplesSinceStart) under the history's lock: the newest samples, and how
  // many were made since the scan started (the number of the next one).
  template <class Read>
  void ReadHistory(Read&& read) const {
    std::lock_guard lock(historyLock_);
    read(history_, samplesMade_);
  }
  // read(rows) under the grid's lock.
  template <class Read>
  void ReadGridRows(Read&& read) const {
    std::lock_guard lock(gridLock_);
    read(gridRows_);
  }
  std::size_t GridRowCount() const;
  // The particle whose rows hold grid row `row`, if any.
  std::optional<GridParticle> ParticleAt(std::size_t row) const;
  // The navigation viewer's lines (a log with its own lock).
  NavViewerLog& Viewer() { return viewer_; }
  // The live cast products (a board with its own lock).
  CastBoard& Cast() { return cast_; }
  const CastBoard& Cast() const { return cast_; }

  // --- the views' own clearing commands and the scan's life ---------------------------
  void ClearCumulativeBins();
  void ClearTotalCount();
  void ClearWindowCount();
  void ClearGrid();
  // The time chart samples so far (their count goes on): Clear Plots of the time charts.
  void ClearHistory();
  // A new scan: every table and counter as in a new document.
  void Reset();
  // The end of a scan: bins, housekeeping words, CTD record and latest sample zeroed.
  void ClearTables();

 private:
  mutable std::mutex binLock_;
  BinTable bins_;
  mutable std::mutex housekeepingLock_;
  HousekeepingTable housekeeping_;
  mutable std::mutex ctdLock_;
  CtdSample ctd_;
  mutable std::mutex sampleLock_;
  TimeChartSample latest_{};
  mutable std::mutex historyLock_;
  std::deque<TimeChartSample> history_;
  std::uint64_t samplesMade_ = 0;
  void ClearGridLocked();  // the caller holds gridLock_
  mutable std::mutex gridLock_;
  std::deque<GridRow> gridRows_;
  std::deque<GridParticle> gridParticles_;  // in row order
  mutable std::mutex navLock_;
  NavDisplay nav_;
  NavViewerLog viewer_;
  CastBoard cast_;
  std::atomic<std::uint32_t> lFrames_{0};
  std::atomic<std::uint32_t> frameErrors_{0};
  std::atomic<std::uint32_t> mepParticles_{0};
};

}  // namespace vesk
