#pragma once
// The settings store on QSettings: the user's store (organization "Corvane", application
// "VESK") or an explicit INI file. QSettings is not thread-safe, so every call is serialised.
// A file that cannot be read as settings (junk, a folder) is never written: QSettings would
// replace it with what little it understood, and a CTD's calibration lives there. Such a
// store reads as empty (every setting at its default) and keeps what is written for the run.

#include <memory>
#include <mutex>
#include <string>

#include "seams/memory_settings_store.h"
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
  // Why the file cannot be read ("" when it can): it is then never written.
  const std::string& ReadError() const { return readError_; }
  // A file that can be read but not written: what this run changes is not kept.
  bool Unwritable() const { return unwritable_; }
  // What the user is told of either at the start ("" when the file is fine).
  std::string Problem() const;

 private:
  void CheckFile();

  mutable std::mutex mutex_;
  std::unique_ptr<QSettings> settings_;
  std::string readError_;
  bool unwritable_ = false;
  MemorySettingsStore runOnly_;  // the store of this run when the file cannot be read
};

}  // namespace vesk
