#pragma once
// The latest reading of the external instrument, overwritten by every decoded line.

namespace vesk {

struct CtdSample {
  double conductivity = 0;  // S/m (mS/cm for the Micro CTD)
  double temperature = 0;   // degrees Celsius
  double pressure = 0;      // decibars
  double analog = 0;        // instrument units
  double salinity = 0;      // PSU
};

}  // namespace vesk
