#include "instruments/ctd_catalogue.h"

namespace vesk {

CtdCatalogue::CtdCatalogue(const std::string& serial) {
  for (const CtdModel& model : CtdModels()) {
    if (model.listed) entries_[model.code] = CtdModelEntry{&model, serial};
  }
}

const CtdModelEntry* CtdCatalogue::Find(int code) const {
  auto it = entries_.find(code);
  return it == entries_.end() ? nullptr : &it->second;
}

void CtdCatalogue::SetSerial(int code, const std::string& serial) {
  auto it = entries_.find(code);
  if (it != entries_.end()) it->second.serial = serial;
}

}  // namespace vesk
