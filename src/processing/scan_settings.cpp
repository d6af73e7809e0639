#include "processing/scan_settings.h"

#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {

ScanSettings ScanSettings::Load(const SettingsStore& store) {
  using namespace keys;
  ScanSettings s;
  s.firmwareVersion = store.ReadReal(kFirmwareVer);
  s.counterConstantText = store.Read(kCounterConstant);
  s.counterScale = ParseReal(s.counterConstantText) / kCounterReferenceConstant;
  s.surveyLat = store.ReadReal(kSurveyLat);
  s.windowLowerBound = store.Read(kWindowCountsLowerBound);
  s.windowUpperBound = store.Read(kWindowCountsUpperBound);
  s.bufferLength = store.Read(kBufferLength);
  s.maxMepLength = store.Read(kMaxMepLength);
  s.gridScalingFactor = store.Read(kGridScalingFactor);
  s.standardTunnel = store.ReadBool(kStandardTunnel);
  s.logInitialNmeaOnly = store.ReadBool(kLogInitialNmeaOnly);
  s.ctdModel = store.Read(kModelCtd);
  s.instrInputViaMux = store.ReadBool(kInstrInputViaMux);
  s.nav.Load(store);
  return s;
}

ExportRunInputs ScanSettings::ExportInputs(int decodedCtdModel) const {
  ExportRunInputs run;
  run.surveyLatitude = surveyLat;
  run.standardTunnel = standardTunnel;
  run.counterConstantText = counterConstantText;
  run.firmwareVersion = firmwareVersion;
  run.windowLowerBound = windowLowerBound;
  run.windowUpperBound = windowUpperBound;
  run.ctdModel = decodedCtdModel;
  run.sentenceToParse = nav.sentenceToParse;
  return run;
}

}  // namespace vesk
