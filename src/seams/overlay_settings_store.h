#pragma once
// A settings store that reads through to another one but keeps some values for this run
// only: `vesk --simulate` points the counter port at the simulator without saving it.

#include "seams/memory_settings_store.h"

namespace vesk {

class OverlaySettingsStore final : public SettingsStore {
 public:
  explicit OverlaySettingsStore(SettingsStore& base) : base_(base) {}

  // Values that shadow the base store; never written to it.
  MemorySettingsStore& Overrides() { return overrides_; }

  bool Contains(std::string_view section, std::string_view key) const override {
    return overrides_.Contains(section, key) || base_.Contains(section, key);
  }
  int ReadInt(std::string_view section, std::string_view key, int def) const override {
    return overrides_.Contains(section, key) ? overrides_.ReadInt(section, key, def)
                                             : base_.ReadInt(section, key, def);
  }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override {
    return overrides_.Contains(section, key) ? overrides_.ReadString(section, key, def)
                                             : base_.ReadString(section, key, def);
  }
  std::uint64_t Changes() const override { return base_.Changes() + overrides_.Changes(); }
  // Writes go to the base store, except for keys this run overrides.
  void WriteInt(std::string_view section, std::string_view key, int value) override {
    if (overrides_.Contains(section, key)) {
      overrides_.WriteInt(section, key, value);
    } else {
      base_.WriteInt(section, key, value);
    }
  }
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value) override {
    if (overrides_.Contains(section, key)) {
      overrides_.WriteString(section, key, value);
    } else {
      base_.WriteString(section, key, value);
    }
  }

 private:
  SettingsStore& base_;
  MemorySettingsStore overrides_;
};

}  // namespace vesk
