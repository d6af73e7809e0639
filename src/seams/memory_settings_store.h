#pragma once
// A settings store that lives in memory only: for tests and for runs that must not touch
// the user's store.

#include <map>
#include <mutex>
#include <string>
#include <variant>

#include "seams/settings_store.h"

namespace vesk {

class MemorySettingsStore final : public SettingsStore {
 public:
  bool Contains(std::string_view section, std::string_view key) const override;
  int ReadInt(std::string_view section, std::string_view key, int def) const override;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override;
  void WriteInt(std::string_view section, std::string_view key, int value) override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  using Value = std::variant<int, std::string>;
  mutable std::mutex mutex_;
  std::map<std::string, Value, std::less<>> values_;  // "section/key"
};

}  // namespace vesk
