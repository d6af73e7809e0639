#include "processing/mep_assembly.h"

#include <algorithm>
#include <mutex>

#include "processing/scan_results.h"

namespace vesk {
namespace {

constexpr std::uint32_t kLargestStamp = 0xFFFF;
constexpr int kMaxScale = 100;

// S - origin on the wrapping 16-bit clock, as a step of -32768..32767 ticks.
std::int64_t SignedOffset(std::uint32_t s, std::uint32_t origin) {
  const std::int64_t d = (s - origin) & kLargestStamp;
  return d >= 32768 ? d - 65536 : d;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

static_assert(MepAssembly::kElements == kGridElements);

MepAssembly::~MepAssembly() {
  try {
    Finish();
  } catch (...) {
    // A lock that cannot be taken at the end of a scan loses only the last particle.
  }
}

void MepAssembly::Consume(std::span<const std::uint32_t> events, bool usable) {
  out_.clear();
  particles_.clear();
  if (!usable) {
    Close();
  } else {
    for (std::size_t i = 0; i + 4 <= events.size(); i += 4)
      AddEvent(events[i], events[i + 1], events[i + 2], events[i + 3]);
  }
  Append();
}

void MepAssembly::Finish() {
  out_.clear();
  particles_.clear();
  Close();
  Append();
}

void MepAssembly::AddEvent(std::uint32_t e, std::uint32_t s, std::uint32_t d, std::uint32_t z) {
  if (e >= static_cast<std::uint32_t>(kElements) || s > kLargestStamp) return;
  if ((z & kMepFlag) != 0) {
    Open(s, true);
    results_.CountMepParticle();
  } else if (!open_) {
    Open(s, false);
  }
  std::int64_t t = SignedOffset(s, origin_);
  if (t > kRestartStep || t < -kRestartStep) {
    Open(s, false);
    t = 0;
  }

  const auto limit = static_cast<std::uint32_t>(std::max(maxMepLength_, 1));
  const std::int64_t ticks = std::clamp<std::uint32_t>(d, 1, limit);
  // The particle's window: MaxMepLength ticks either side of its origin.
  const std::int64_t reach = limit;
  const std::int64_t from = std::max(t, -reach);
  const std::int64_t to = std::min(t + ticks - 1, reach);
  if (from > to) return;
  const std::int64_t first = FloorDiv(from, scale_);
  const std::int64_t last = FloorDiv(to, scale_);
  if (held_.empty()) firstRow_ = first;
  for (; firstRow_ > first; --firstRow_) held_.emplace_front();
  while (firstRow_ + static_cast<std::int64_t>(held_.size()) <= last) held_.emplace_back();
  for (std::int64_t row = first; row <= last; ++row) held_[row - firstRow_].set(e);
}

void MepAssembly::Open(std::uint32_t s, bool particle) {
  Close();
  open_ = true;
  particle_ = particle;
  origin_ = s;
  scale_ = std::clamp(gridScalingFactor_, 1, kMaxScale);
}

void MepAssembly::Close() {
  if (open_ && particle_) out_.insert(out_.end(), kSeparatorRows, Row{});
  if (!held_.empty()) particles_.push_back({out_.size(), held_.size(), scale_});
  out_.insert(out_.end(), held_.begin(), held_.end());
  // One frame of many long particles could still make millions of rows: the grid's bound
  // holds here as well.
  if (out_.size() > kMaxGridRows) {
    out_.clear();
    particles_.clear();
  }
  held_.clear();
  open_ = false;
  particle_ = false;
}

void MepAssembly::Append() {
  if (out_.empty()) return;
  results_.AppendGridRows(std::span<const Row>(out_.data(), out_.size()), particles_);
}

}  // namespace vesk
