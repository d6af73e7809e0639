#include "instruments/ctd_decoder.h"

namespace vesk {

CtdDecoder::CtdDecoder(const SettingsStore& store, UserDialogs& dialogs)
    : store_(store), dialogs_(dialogs) {}

void CtdDecoder::LoadScanSettings(int modelCode, bool inputViaMux, double latitude) {
  model = modelCode;
  viaMux = inputViaMux;
  surveyLat = latitude;
}

void CtdDecoder::StartScan() { sample = CtdSample{}; }

void CtdDecoder::DecodeCtdLine() {
  // The per-model decoders plug in here.
  (void)store_;
  (void)dialogs_;
}

}  // namespace vesk
