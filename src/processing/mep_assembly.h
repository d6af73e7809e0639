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
//  3. Particles. An event with the MEP flag starts a new particle: the rows still held for the
//     previous particle are written out, two empty rows are appended to the grid as a
//     separator, the particle count goes up by one, and the particle's time t is 0 at this
//     event. An event without the flag belongs to the open particle: t advances by the step
//     (S - previous S) modulo 65536, because the clock wraps (65530 -> 4 is a step of 10).
//  4. The 32000 step. A step above 32000 (a long silence, or a time stamp that went
//     backwards, which modulo 65536 looks the same) does not open a gap of that many rows:
//     the rows held so far are written out and the event starts over at t = 0, as the first
//     row of a new run, without separator rows and without counting a particle. An event
//     without the flag while no particle is open starts a run the same way.
//  5. Rows. With f the "GridScalingFactor" (1 to 100, taken when the particle or run
//     starts), an event at time t shades element E in the particle's rows t / f to
//     (t + D - 1) / f (integer division, both included), counting from the particle's first
//     row. Rows that no element shades stay empty, so pauses within a particle show as gaps.
//  6. Carry-over. A row is written to the grid once no later event can reach it: events do
//     not go back in time, so at the end of each frame every row before the row of the
//     latest t is appended under the grid lock, and the rest carries over into the next
//     frame. A frame that is not usable writes out the rows still held and closes the
//     particle; so does the end of the scan.
//
// Worked example, f = 1, one frame with the events (E=5, S=100, D=3, MEP), (E=6, S=101, D=2),
// (E=7, S=101, D=1): t is 0, 1, 1. Element 5 shades rows 0..2, element 6 rows 1..2, element 7
// row 1. The grid receives two empty rows, then row 0 = {5}, row 1 = {5, 6, 7},
// row 2 = {5, 6}: row 0 at the end of this frame (t = 1 may still grow rows 1 and 2), rows 1
// and 2 when the next particle starts or the scan ends. With f = 2 the same events give
// row 0 = {5, 6, 7}, row 1 = {5, 6}. The same particle with S = 65535, 0, 0 gives the same
// rows, the clock having wrapped.

#include <bitset>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace vesk {

class CVESKDoc;

class MepAssembly {
 public:
  static constexpr std::uint32_t kMepFlag = 0x8000;
  static constexpr std::uint32_t kRestartStep = 32000;
  static constexpr std::uint32_t kClockModulo = 65536;
  static constexpr int kSeparatorRows = 2;
  static constexpr int kElements = 35;

  explicit MepAssembly(CVESKDoc& doc) : doc_(doc) {}
  MepAssembly(const MepAssembly&) = delete;
  MepAssembly& operator=(const MepAssembly&) = delete;
  // The scan ended: the rows still held go to the grid.
  ~MepAssembly();

  // One M frame's events (E, S, D, Z per event); usable frames feed the grid.
  void Consume(std::span<const std::uint32_t> events, bool usable);
  // Writes out every row still held and closes the particle.
  void Finish();

  // Rows held for the open particle (not yet in the grid).
  std::size_t HeldRows() const { return held_.size(); }

 private:
  using Row = std::bitset<kElements>;

  void AddEvent(std::uint32_t e, std::uint32_t s, std::uint32_t d, std::uint32_t z,
                std::vector<Row>& out);
  void StartRun(std::uint32_t s, std::vector<Row>& out);
  // Moves held rows before `row` (all of them when `row` is past the end) to `out`.
  void Release(std::uint64_t row, std::vector<Row>& out);
  void Append(std::vector<Row>& out);

  CVESKDoc& doc_;
  bool open_ = false;
  std::uint32_t previousS_ = 0;
  std::uint64_t t_ = 0;          // ticks since the first event of the particle
  std::uint64_t firstHeld_ = 0;  // the particle's row number of held_.front()
  int scale_ = 1;
  std::deque<Row> held_;
  std::vector<Row> out_;  // rows on their way to the grid
};

}  // namespace vesk
