#pragma once
// The multi-element particle assembly: turns the element events of the counter's M frames
// into shadowgram rows for the grid. A row is one time slice of the counter's 35 beam
// elements, bit e set when element e was shaded in that slice; consecutive rows draw the
// outline of a particle as it passes the beam.
//
// The rule, applied to the events of each usable frame in the order the counter sent them
// (an event is E element number, S time stamp, D duration, Z size with the MEP flag in bit 15;
// S and D count ticks of the counter's 16-bit clock):
//
//  1. Skipped events. An event whose element number E is 35 or more is rejected. So is an
//     event without a time stamp: the last, partial event of a frame carries S = 99999, which
//     no 16-bit clock can read, so it cannot be placed.
//  2. Duration. D is limited to "MaxMepLength" (taken as at least 1). A D of 0 still shades
//     one tick: the element was seen.
//  3. Particles. An event with the MEP flag starts a new particle and adds 1 to the particle
//     count; its S is the particle's origin. An event without the flag belongs to the open
//     particle, at the offset t = S - origin taken modulo 65536 as a signed step
//     (-32768..32767), because the clock wraps: origin 65530 and S = 4 is t = +10, and an
//     element that began shading a few ticks before the flagged one has a small negative t.
//  4. The 32000 step. An event more than 32000 ticks away from the particle's origin (either
//     way) cannot belong to it: instead of opening a gap of that many rows, the particle is
//     closed and the event starts over as the origin of a new run of rows, without counting a
//     particle. An event without the flag while no particle is open starts a run the same way.
//  5. Rows. With f the "GridScalingFactor" (1 to 100, taken when the particle or run starts),
//     an event at offset t shades element E in the rows floor(t / f) to floor((t + D - 1) / f),
//     both included, counted from the origin's row. Rows that no element shades but that lie
//     between shaded ones stay empty, so a pause within a particle shows as a gap.
//     A particle is confined to "MaxMepLength" ticks either side of its origin, the longest
//     particle the setting allows: shading outside that window is cut (an event wholly
//     outside it draws nothing), so damaged or random time stamps cannot flood the grid
//     with tens of thousands of rows per particle.
//  6. Writing out. Because a later event may still reach any row of the open particle, its
//     rows are held, across frames, until the particle is closed: by the next MEP flag, by a
//     start over, by a frame that is not usable, or by the end of the scan. Then, under the
//     grid lock, a particle that began with the MEP flag gets two empty rows as a separator,
//     followed by its rows from the earliest to the latest.
//
// Worked example, f = 1, one frame with the events (E=5, S=100, D=3, MEP), (E=6, S=101, D=2),
// (E=7, S=101, D=1): t is 0, 1, 1. Element 5 shades rows 0..2, element 6 rows 1..2, element 7
// row 1. When the particle closes the grid receives two empty rows, then row 0 = {5},
// row 1 = {5, 6, 7}, row 2 = {5, 6}. With f = 2 the same events give row 0 = {5, 6, 7},
// row 1 = {5, 6}. The time stamps 65535, 0, 0 give the same rows, the clock having wrapped.
// Adding (E=4, S=99, D=1) to the particle puts row -1 = {4} in front of row 0.

#include <bitset>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "processing/scan_results.h"

namespace vesk {

class ScanResults;

class MepAssembly {
 public:
  static constexpr std::uint32_t kMepFlag = 0x8000;
  static constexpr std::int64_t kRestartStep = 32000;
  static constexpr int kSeparatorRows = 2;
  static constexpr int kElements = 35;

  explicit MepAssembly(ScanResults& results) : results_(results) {}
  MepAssembly(const MepAssembly&) = delete;
  MepAssembly& operator=(const MepAssembly&) = delete;
  // The scan ended: the rows still held go to the grid.
  ~MepAssembly();

  // One M frame's events (E, S, D, Z per event); usable frames feed the grid.
  void Consume(std::span<const std::uint32_t> events, bool usable);
  // Writes out every row still held and closes the particle.
  void Finish();
  // The settings in force (a particle already open keeps its scale).
  void SetSettings(int maxMepLength, int gridScalingFactor) {
    maxMepLength_ = maxMepLength;
    gridScalingFactor_ = gridScalingFactor;
  }

  // Rows held for the open particle (not yet in the grid).
  std::size_t HeldRows() const { return held_.size(); }

 private:
  using Row = std::bitset<kElements>;

  void AddEvent(std::uint32_t e, std::uint32_t s, std::uint32_t d, std::uint32_t z);
  void Open(std::uint32_t s, bool particle);
  // The open particle's rows (after its separator) to out_.
  void Close();
  void Append();

  ScanResults& results_;
  int maxMepLength_ = 1000;
  int gridScalingFactor_ = 1;
  bool open_ = false;
  bool particle_ = false;     // began with the MEP flag: separator rows before it
  std::uint32_t origin_ = 0;  // S of the first event
  int scale_ = 1;
  std::int64_t firstRow_ = 0;  // row number of held_.front(), from the origin's row
  std::deque<Row> held_;
  std::vector<Row> out_;                     // rows on their way to the grid
  std::vector<GridParticleRows> particles_;  // where each particle's rows lie in out_
};

}  // namespace vesk
