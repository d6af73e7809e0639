#include "seams/memory_settings_store.h"

#include <cstdlib>

namespace vesk {
namespace {

std::string Path(std::string_view section, std::string_view key) {
  std::string p(section);
  p += '/';
  p += key;
  return p;
}

}  // namespace

bool MemorySettingsStore::Contains(std::string_view section, std::string_view key) const {
  std::lock_guard lock(mutex_);
  return values_.count(Path(section, key)) != 0;
}

int MemorySettingsStore::ReadInt(std::string_view section, std::string_view key, int def) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(Path(section, key));
  if (it == values_.end()) return def;
  if (const int* i = std::get_if<int>(&it->second)) return *i;
  return std::atoi(std::get<std::string>(it->second).c_str());
}

std::string MemorySettingsStore::ReadString(std::string_view section, std::string_view key,
                                            std::string_view def) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(Path(section, key));
  if (it == values_.end()) return std::string(def);
  if (const int* i = std::get_if<int>(&it->second)) return std::to_string(*i);
  return std::get<std::string>(it->second);
}

void MemorySettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
  std::lock_guard lock(mutex_);
  values_[Path(section, key)] = value;
  NoteChange();
}

void MemorySettingsStore::WriteString(std::string_view section, std::string_view key,
                                      std::string_view value) {
  std::lock_guard lock(mutex_);
  values_[Path(section, key)] = std::string(value);
  NoteChange();
}

}  // namespace vesk
