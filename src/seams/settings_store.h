#pragma once
// The settings store seam: named sections of integer and text values, as the program
// keeps them between runs. Real numbers are kept as text and read like C atof.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "seams/settings_keys.h"

namespace vesk {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  virtual bool Contains(std::string_view section, std::string_view key) const = 0;
  virtual int ReadInt(std::string_view section, std::string_view key, int def) const = 0;
  virtual std::string ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const = 0;
  virtual void WriteInt(std::string_view section, std::string_view key, int value) = 0;
  virtual void WriteString(std::string_view section, std::string_view key,
                           std::string_view value) = 0;
  // Counts the writes made through this store (from any thread), so that a reader may keep
  // what it worked out from the store until the count moves.
  virtual std::uint64_t Changes() const { return changes_.load(std::memory_order_acquire); }

  // A real number stored as text: the text default when the key is absent, then atof.
  double ReadReal(std::string_view section, std::string_view key, std::string_view defText) const;
  // A real number with a numeric default for an absent key.
  double ReadReal(std::string_view section, std::string_view key, double def) const;
  // Stores a real number as text ("%g" with enough digits to read back the same value).
  void WriteReal(std::string_view section, std::string_view key, double value);

  // The same through the key table, so that every default lives in one place.
  int Read(const IntKey& k) const { return ReadInt(k.section, k.key, k.def); }
  bool ReadBool(const IntKey& k) const { return ReadInt(k.section, k.key, k.def) != 0; }
  std::string Read(const TextKey& k) const { return ReadString(k.section, k.key, k.def); }
  double ReadReal(const TextKey& k) const { return ReadReal(k.section, k.key, k.def); }
  void Write(const IntKey& k, int value) { WriteInt(k.section, k.key, value); }
  void Write(const TextKey& k, std::string_view value) { WriteString(k.section, k.key, value); }

 protected:
  // Implementations call this after every write.
  void NoteChange() { changes_.fetch_add(1, std::memory_order_release); }

 private:
  std::atomic<std::uint64_t> changes_{0};
};

// C atof semantics in the C locale whatever the process locale: leading blanks and a
// sign accepted, the longest number prefix read, 0 when there is none.
double ParseReal(std::string_view text);
// Like strtof in the C locale (32-bit result); sets *consumed to the characters read.
float ParseFloat32(std::string_view text, std::size_t* consumed = nullptr);

}  // namespace vesk
