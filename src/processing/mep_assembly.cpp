#include "processing/mep_assembly.h"

#include <algorithm>
#include <mutex>

#include "acquisition/vesk_doc.h"

namespace vesk {
namespace {

constexpr std::uint32_t kLargestStamp = 0xFFFF;
constexpr int kMaxScale = 100;

}  // namespace

static_assert(MepAssembly::kElements == kGridElements);

MepAssembly::~MepAssembly() {
  try {
    Finish();
  } catch (...) {
    // A lock that cannot be taken at the end of a scan loses only the last particle's tail.
  }
}

void MepAssembly::Consume(std::span<const std::uint32_t> events, bool usable) {
  std::vector<Row>& out = out_;
  out.clear();
  if (!usable) {
    Release(UINT64_MAX, out);
    open_ = false;
  } else {
    for (std::size_t i = 0; i + 4 <= events.size(); i += 4)
      AddEvent(events[i], events[i + 1], events[i + 2], events[i + 3], out);
    // Later events start at t or after it: rows before t's row are final.
    if (open_) Release(t_ / static_cast<std::uint64_t>(scale_), out);
  }
  Append(out);
}

void MepAssembly::Finish() {
  std::vector<Row>& out = out_;
  out.clear();
  Release(UINT64_MAX, out);
  open_ = false;
  Append(out);
}

void MepAssembly::AddEvent(std::uint32_t e, std::uint32_t s, std::uint32_t d, std::uint32_t z,
                           std::vector<Row>& out) {
  if (e >= static_cast<std::uint32_t>(kElements) || s > kLargestStamp) return;
  if ((z & kMepFlag) != 0) {
    Release(UINT64_MAX, out);
    out.insert(out.end(), kSeparatorRows, Row{});
    ++doc_.mepParticleCount;
    StartRun(s, out);
  } else if (!open_) {
    StartRun(s, out);
  } else {
    const std::uint32_t step = (s + kClockModulo - previousS_) % kClockModulo;
    if (step > kRestartStep) {
      StartRun(s, out);
    } else {
      t_ += step;
      previousS_ = s;
    }
  }

  const std::uint32_t limit = static_cast<std::uint32_t>(std::max(doc_.maxMepLength, 1));
  const std::uint64_t ticks = std::clamp<std::uint32_t>(d, 1, limit);
  const std::uint64_t scale = static_cast<std::uint64_t>(scale_);
  const std::uint64_t first = t_ / scale;
  const std::uint64_t last = (t_ + ticks - 1) / scale;
  // `first` is never before firstHeld_: t only grows within a run and rows are released
  // only up to t's row.
  while (firstHeld_ + held_.size() <= last) held_.emplace_back();
  for (std::uint64_t row = first; row <= last; ++row) held_[row - firstHeld_].set(e);
}

void MepAssembly::StartRun(std::uint32_t s, std::vector<Row>& out) {
  Release(UINT64_MAX, out);
  open_ = true;
  previousS_ = s;
  t_ = 0;
  firstHeld_ = 0;
  scale_ = std::clamp(doc_.gridScalingFactor.load(), 1, kMaxScale);
}

void MepAssembly::Release(std::uint64_t row, std::vector<Row>& out) {
  while (!held_.empty() && firstHeld_ < row) {
    out.push_back(held_.front());
    held_.pop_front();
    ++firstHeld_;
  }
}

void MepAssembly::Append(std::vector<Row>& out) {
  if (out.empty()) return;
  std::lock_guard lock(doc_.gridLock);
  doc_.gridRows.insert(doc_.gridRows.end(), out.begin(), out.end());
}

}  // namespace vesk
