#include "app/simulated_counter.h"

#include <exception>

#include "sim/counter_simulator.h"

namespace vesk {
namespace {

// The SBE 19 calibration the store holds, when one is set; otherwise the simulator's own,
// shown to the program for this run only so that it decodes what the simulator sends.
SimSbe19Calibration CalibrationFor(OverlaySettingsStore& store, int analogChannels) {
  SimSbe19Calibration cal;
  if (!store.Contains("TC_Coeff", "TempCoeff_G")) {
    StoreSimSbe19Calibration(cal, analogChannels, store.Overrides());
    return cal;
  }
  auto real = [&](const char* key, double def) { return store.ReadReal("TC_Coeff", key, def); };
  cal.tempG = real("TempCoeff_G", cal.tempG);
  cal.tempH = real("TempCoeff_H", cal.tempH);
  cal.tempI = real("TempCoeff_I", cal.tempI);
  cal.tempJ = real("TempCoeff_J", cal.tempJ);
  cal.tempF0G = real("TempCoeff_F0G", cal.tempF0G);
  cal.condG = real("CondCoeff_G", cal.condG);
  cal.condH = real("CondCoeff_H", cal.condH);
  cal.condI = real("CondCoeff_I", cal.condI);
  cal.condJ = real("CondCoeff_J", cal.condJ);
  cal.condCpcor = real("CondCoeff_CpcorG", cal.condCpcor);
  cal.condCtcor = real("CondCoeff_Ctcor", cal.condCtcor);
  cal.presPA0 = real("PresCoeff_PA0", cal.presPA0);
  cal.presPA1 = real("PresCoeff_PA1", cal.presPA1);
  cal.presPA2 = real("PresCoeff_PA2", cal.presPA2);
  return cal;
}

}  // namespace

SimulatedCounter::SimulatedCounter(OverlaySettingsStore& store, unsigned seed)
    : store_(store), seed_(seed) {}

SimulatedCounter::~SimulatedCounter() {
  Stop();
}

bool SimulatedCounter::Start() {
  CounterSimulatorOptions options;
  options.cast.seed = seed_;
  const int model = store_.Read(keys::kModelCtd);
  if (CastGenerator::Speaks(model)) {
    options.cast.ctdModel = model;
  } else {
    // The simulator speaks the Micro CTD's lines; decode them as such for this run.
    store_.Overrides().Write(keys::kModelCtd, options.cast.ctdModel);
  }
  if (model == CtdCode::kSbe19) {
    options.cast.sbeAnalogChannels = store_.Read(keys::kTcSbeAnalog);
    options.cast.sbe19 = CalibrationFor(store_, options.cast.sbeAnalogChannels);
  }
  const int bitRate = store_.Read(keys::kBpsDu);
  options.bitRate = bitRate > 0 ? bitRate : 115200;
  options.auxNmea = store_.Read(keys::kAuxPortMode) == 1;
  simulator_ = std::make_unique<CounterSimulator>(options);
  try {
    simulator_->Start();
  } catch (const std::exception& e) {
    error_ = e.what();
    simulator_.reset();
    return false;
  }
  store_.Overrides().Write(keys::kDeviceDu, simulator_->SlavePath());
  if (store_.Read(keys::kSentenceToParse).empty()) {
    // The simulated ship's GGA sentences show a position unless the store chose a sentence.
    MemorySettingsStore& o = store_.Overrides();
    o.Write(keys::kSentenceToParse, "$GPGGA");
    o.Write(keys::kTimePos, 2);
    o.Write(keys::kLatPos, 3);
    o.Write(keys::kLatNsPos, 4);
    o.Write(keys::kLongPos, 5);
    o.Write(keys::kLongEwPos, 6);
  }
  if (options.auxNmea) {
    // A receiver's usual line unless the store sets one (the stored defaults are all 0).
    MemorySettingsStore& o = store_.Overrides();
    o.Write(keys::kDeviceZev, simulator_->AuxSlavePath());
    if (store_.Read(keys::kBpsZev) <= 0) o.Write(keys::kBpsZev, 4800);
    if (store_.Read(keys::kDataBitsZev) <= 0) {
      o.Write(keys::kDataBitsZev, 8);
      o.Write(keys::kParityZev, 2);
      o.Write(keys::kStopBitsZev, 0);
    }
  }
  return true;
}

void SimulatedCounter::Stop() {
  if (simulator_) simulator_->Stop();
}

std::string SimulatedCounter::CounterDevice() const {
  return simulator_ ? simulator_->SlavePath() : std::string();
}

}  // namespace vesk
