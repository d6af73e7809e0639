#include "processing/mep_assembly.h"

#include "acquisition/vesk_doc.h"

namespace vesk {

void MepAssembly::Consume(std::span<const std::uint32_t>, bool) {
  // The particle assembly plugs in here.
  (void)doc_;
}

}  // namespace vesk
