#include "instruments/ctd_decoder.h"

#include <cmath>

#include "instruments/ctd_conversions.h"
#include "seams/user_dialogs.h"

namespace vesk {

CtdDecoder::CtdDecoder(const SettingsStore& store, UserDialogs& dialogs)
    : store_(store), dialogs_(dialogs) {
  LoadScanSettings(CtdCode::kMicroCtd, false);
}

CtdDecoder::~CtdDecoder() = default;

void CtdDecoder::LoadScanSettings(int model, bool viaMux) {
  code_ = model;
  viaMux_ = viaMux;
  model_ = FindCtdModel(model);
  decoder_ = nullptr;
  if (model_ == nullptr) return;
  std::unique_ptr<CtdModelDecoder>& decoder = decoders_[model];
  if (!decoder) decoder = model_->decoder(store_);
  decoder_ = decoder.get();
  decoder_->LoadScanSettings(store_);
}

void CtdDecoder::StartScan() {
  sample_ = CtdSample{};
  text_.clear();
  warnings_.Reset();
  for (auto& [code, decoder] : decoders_) decoder->StartScan();
}

const std::string& CtdDecoder::Decode(std::string_view line) {
  text_.assign(line);
  if (model_ == nullptr) {
    warnings_.Raise(dialogs_, kUndefinedInstrument);
    return text_;
  }
  // Salinity follows every line: the models that do not report it get it computed anew,
  // and a line that is not taken leaves the record as it was.
  const double previousSalinity = sample_.salinity;
  if (!model_->suppliesSalinity) sample_.salinity = 0;
  CtdLine in{text_, sample_, viaMux_, warnings_, dialogs_};
  if (!decoder_->Decode(in)) sample_.salinity = previousSalinity;

  if ((sample_.salinity == 0 || std::isnan(sample_.salinity)) && sample_.conductivity != 0) {
    sample_.salinity = PracticalSalinityFromRatio(
        Cond2CondRatio(sample_.conductivity, model_->conductivityUnit),
        decoder_->SalinityTemperature(sample_.temperature), sample_.pressure);
  }
  return text_;
}

}  // namespace vesk
