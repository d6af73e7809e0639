#pragma once
// The settings store on QSettings: the user's store (organization "Corvane", application
// "VESK") or an explicit INI file. QSettings is not thread-safe, so every call is serialised.

#include <memory>
#include <mutex>
#include <string>

#include "seams/settings_store.h"

class QSettings;

namespace vesk {

class QSettingsStore final : public SettingsStore {
 public:
  // The user's store.
  QSettingsStore();
  // An INI file (created on the first write).
  explicit QSettingsStore(const std::string& iniPath);
  ~QSettingsStore() override;

  bool Contains(std::string_view section, std::string_view key) const override;
  int ReadInt(std::string_view section, std::string_view key, int def) const override;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const override;
  void WriteInt(std::string_view section, std::string_view key, int value) override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;

  // The file behind the store (for messages).
  std::string FileName() const;

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<QSettings> settings_;
};

}  // namespace vesk
