#include "processing/size_spectrum.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>

namespace vesk {

CountInterval PoissonInterval95(std::uint64_t n) {
  // Boost's default policy works in long double and rounds the quantile to double correctly
  // but in rare cases; in double throughout one in ten is a unit in the last place off, which
  // the shortest round-trip text of the product files shows.
  using ChiSquared = boost::math::chi_squared_distribution<double>;
  const double dof = 2 * static_cast<double>(n);
  CountInterval c;
  if (n > 0) c.low = boost::math::quantile(ChiSquared(dof), 0.025) / 2;
  c.high = boost::math::quantile(ChiSquared(dof + 2), 0.975) / 2;
  return c;
}

SizeSpectrum::SizeSpectrum(double minUm, double maxUm) {
  for (int k = 0; k < kExportBinCount; ++k) {
    ratio_[k] = SizeBinBiovolume(k) / SizeBinBiovolumeWidth(k);
    logBiovolume_[k] = std::log10(SizeBinBiovolume(k));
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
  // The bin with the largest NBSS, the smallest on a tie. Count x ratio is the NBSS times the
  // volume to within a few units in the last place, so only the bins whose product lies within
  // 1e-12 of the largest can hold the largest NBSS: only theirs is worked out as Nbss() does.
  double product[kExportBinCount];
  double most = 0;
  for (int k = first_; k <= last_; ++k) {
    product[k] = static_cast<double>(counts[k]) * ratio_[k];
    most = std::max(most, product[k]);
  }
  const double near = most * (1 - 1e-12);
  int start = -1;
  double largest = 0;
  for (int k = first_; k <= last_; ++k) {
    if (product[k] < near) continue;
    const double nbss = Nbss(counts[k], volume, k);
    if (start < 0 || nbss > largest) {
      largest = nbss;
      start = k;
    }
  }
  // The fitted points are the logarithms of the spectrum's own values.
  double x[kExportBinCount];
  double y[kExportBinCount];
  int n = 0;
  for (int k = start, empty = 0; k <= last_ && empty < 3; ++k) {
    const std::uint64_t c = counts[k];
    if (c == 0) {
      ++empty;
      continue;
    }
    empty = 0;
    x[n] = logBiovolume_[k];
    y[n] = std::log10(Nbss(c, volume, k));
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
