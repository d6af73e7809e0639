#pragma once
// The external instruments the program can decode, by model code (the stored Model_CTD).

#include <map>
#include <string>

namespace vesk {

struct CtdModelEntry {
  std::string name;
  std::string serial;
  int rateHz = 0;
  std::string expectedFormat;
  bool seaBird = false;  // Sea-Bird hex models (4, 5, 7, 8); false for the decimal ones
};

class CtdCatalogue {
 public:
  static constexpr int kMicroCtd = 0;
  static constexpr int kSbe911 = 1;
  static constexpr int kFlowmeter = 2;
  static constexpr int kPressureSensor = 3;
  static constexpr int kSbe19 = 4;
  static constexpr int kSbe19plus = 5;
  static constexpr int kOs200 = 6;  // decodable, but not offered in the list
  static constexpr int kSbe49 = 7;
  static constexpr int kSbe25 = 8;

  // Fills the table in model order; every serial number starts as serial.
  explicit CtdCatalogue(const std::string& serial = "n/a");

  // The entry of a model, or nullptr when the catalogue has none (code 6, unknown codes).
  const CtdModelEntry* Find(int code) const;
  // Stores the serial number into the model's entry when the model has one.
  void SetSerial(int code, const std::string& serial);
  const std::map<int, CtdModelEntry>& Entries() const { return entries_; }

 private:
  std::map<int, CtdModelEntry> entries_;
};

}  // namespace vesk
