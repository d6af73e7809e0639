#pragma once
// The instruments the list offers (the listed rows of the model table), each with the serial
// number the user gave it.

#include <map>
#include <string>

#include "instruments/ctd_model.h"

namespace vesk {

struct CtdModelEntry {
  const CtdModel* model = nullptr;
  std::string serial;
};

class CtdCatalogue {
 public:
  // Every listed model; every serial number starts as `serial`.
  explicit CtdCatalogue(const std::string& serial = "n/a");

  // The entry of a model, or nullptr when the list does not offer it (or no model has the
  // code).
  const CtdModelEntry* Find(int code) const;
  // Stores the serial number into the model's entry when the model has one.
  void SetSerial(int code, const std::string& serial);
  const std::map<int, CtdModelEntry>& Entries() const { return entries_; }

 private:
  std::map<int, CtdModelEntry> entries_;
};

}  // namespace vesk
