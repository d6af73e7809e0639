#include "files/export_row.h"

#include "instruments/ctd_model.h"
#include "instruments/ctd_sample.h"

namespace vesk {
namespace {

double Known(double v) {
  return std::isfinite(v) ? v : kMissing;
}

}  // namespace

double FrameCountsPerVolume(double frameTotal, double crossSection, double flowSpeed) {
  return flowSpeed != 0 ? frameTotal / (crossSection * flowSpeed) * 0.001 : 0;
}

void FillExportRow(ExportRow& row, const CtdSample& ctd, const ExportRowInputs& in) {
  row.lFrameIndex = in.lFrameIndex;
  const bool anyReading = ctd.conductivity != 0 || ctd.temperature != 0 || ctd.pressure != 0 ||
                          ctd.analog != 0 || ctd.salinity != 0;
  if (anyReading) {
    // An instrument without conductivity and temperature writes 0 for them.
    const CtdModel* model = FindCtdModel(in.ctdModel);
    const bool measuresCt = model == nullptr || model->measuresConductivity;
    row.pressure = Known(ctd.pressure);
    row.depth = kMissing;  // the export stage knows the latitude to take
    row.temperature = measuresCt ? Known(ctd.temperature) : kMissing;
    row.conductivity = measuresCt ? Known(ctd.conductivity) : kMissing;
    row.salinity = measuresCt ? Known(ctd.salinity) : kMissing;
    row.analog = Known(ctd.analog);
  } else {
    row.pressure = row.depth = row.temperature = kMissing;
    row.conductivity = row.salinity = row.analog = kMissing;
  }
  row.flowSpeed = in.flowSpeed;
  row.frameTotal = in.frameTotal;
  row.countsPerVolume = FrameCountsPerVolume(in.frameTotal, in.crossSection, in.flowSpeed);
  row.windowCount = in.windowCount;
  row.counterValue = in.counterValue;
  row.laserMonitor = in.laserMonitor;
}

}  // namespace vesk
