#include "processing/size_spectrum.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>

namespace vesk {
namespace {

// log10 of the small counts most size bins hold, worked out once.
constexpr int kLogTableSize = 4096;
const std::array<double, kLogTableSize>& SmallLogs() {
  static const std::array<double, kLogTableSize> table = [] {
    std::array<double, kLogTableSize> t{};
    for (int n = 1; n < kLogTableSize; ++n) t[n] = std::log10(static_cast<double>(n));
    return t;
  }();
  return table;
}

double Log10(std::uint64_t n) {
  return n < kLogTableSize ? SmallLogs()[n] : std::log10(static_cast<double>(n));
}

}  // namespace

CountInterval PoissonInterval95(std::uint64_t n) {
  // Double precision throughout (Boost's default works in long double, at twice the cost).
  using Policy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;
  using ChiSquared = boost::math::chi_squared_distribution<double, Policy>;
  const double dof = 2 * static_cast<double>(n);
  CountInterval c;
  if (n > 0) c.low = boost::math::quantile(ChiSquared(dof), 0.025) / 2;
  c.high = boost::math::quantile(ChiSquared(dof + 2), 0.975) / 2;
  return c;
}

SizeSpectrum::SizeSpectrum(double minUm, double maxUm) {
  for (int k = 0; k < kExportBinCount; ++k) {
    logBiovolume_[k] = std::log10(SizeBinBiovolume(k));
    logRatio_[k] = std::log10(SizeBinBiovolume(k) / SizeBinBiovolumeWidth(k));
  }
  first_ = kExportBinCount;
  for (int k = kExportBinCount - 1; k >= 0; --k) {
    if (k * kBinEsdMicrometres >= minUm && (k + 1) * kBinEsdMicrometres <= maxUm) {
      if (last_ < 0) last_ = k;
      first_ = k;
    }
  }
}

SpectrumFit SizeSpectrum::Fit(const SizeCounts& counts, double volume) const {
  SpectrumFit fit;
  if (!(volume > 0) || first_ > last_) return fit;
  int start = first_;
  double largest = Nbss(counts[first_], volume, first_);
  for (int k = first_ + 1; k <= last_; ++k) {
    const double nbss = Nbss(counts[k], volume, k);
    if (nbss > largest) {
      largest = nbss;
      start = k;
    }
  }
  // log10(NBSS) = log10(count) + log10(biovolume / width) - log10(volume).
  const double logVolume = std::log10(volume);
  double x[kExportBinCount];
  double y[kExportBinCount];
  int n = 0;
  for (int k = start, empty = 0; k <= last_ && empty < 3; ++k) {
    if (counts[k] == 0) {
      ++empty;
      continue;
    }
    empty = 0;
    x[n] = logBiovolume_[k];
    y[n] = Log10(counts[k]) + logRatio_[k] - logVolume;
    ++n;
  }
  fit.bins = n;
  if (n < 3) return fit;
  double meanX = 0, meanY = 0;
  for (int i = 0; i < n; ++i) {
    meanX += x[i];
    meanY += y[i];
  }
  meanX /= n;
  meanY /= n;
  double sxx = 0, sxy = 0;
  for (int i = 0; i < n; ++i) {
    sxx += (x[i] - meanX) * (x[i] - meanX);
    sxy += (x[i] - meanX) * (y[i] - meanY);
  }
  fit.slope = sxy / sxx;
  fit.intercept = meanY - fit.slope * meanX;
  return fit;
}

}  // namespace vesk
