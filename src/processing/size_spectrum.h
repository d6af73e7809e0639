#pragma once
// The statistics of the cast products: the exact 95 % interval of a Poisson count, and the
// slope of a normalized biovolume size spectrum (NBSS).

#include <array>
#include <cstdint>

#include "files/profile_record.h"

namespace vesk {

// The exact (Garwood) 95 % interval of the mean of a Poisson variable observed as n, in
// counts: chi2 quantile 0.025 of 2n degrees of freedom over 2 (0 for n = 0), and quantile
// 0.975 of 2n + 2 over 2.
struct CountInterval {
  double low = 0;
  double high = 0;
};
CountInterval PoissonInterval95(std::uint64_t n);

// The NBSS slope over the size bins that lie wholly inside [minUm, maxUm]: from the bin with
// the largest NBSS (the smallest such bin on a tie) the non-empty bins onward, up to the first
// run of three empty bins; with at least three, the least-squares line of log10(NBSS) on
// log10(biovolume).
class SizeSpectrum {
 public:
  SizeSpectrum(double minUm, double maxUm);
  // The fit of summed counts over the volume (m^3) that sampled them; none without volume.
  SpectrumFit Fit(const SizeCounts& counts, double volume) const;

 private:
  int first_ = 0;  // the bins inside the range; none when first_ > last_
  int last_ = -1;
  std::array<double, kExportBinCount> ratio_{};  // biovolume / width
  std::array<double, kExportBinCount> logBiovolume_{};
};

}  // namespace vesk
