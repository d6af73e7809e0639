#pragma once
// Builds shadowgram rows from the element events of M frames. The rows go to the document's
// grid queue under the grid lock; each new particle adds to the document's particle count.

#include <cstdint>
#include <span>

namespace vesk {

class CVESKDoc;

class MepAssembly {
 public:
  explicit MepAssembly(CVESKDoc& doc) : doc_(doc) {}
  // One M frame's events (E, S, D, Z per event); usable frames feed the grid.
  void Consume(std::span<const std::uint32_t> events, bool usable);

 private:
  CVESKDoc& doc_;
};

}  // namespace vesk
