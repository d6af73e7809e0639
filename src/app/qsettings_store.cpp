#include "app/qsettings_store.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "seams/settings_keys.h"

namespace vesk {
namespace {

QString KeyPath(std::string_view section, std::string_view key) {
  return QString::fromLatin1(section.data(), static_cast<qsizetype>(section.size())) + '/' +
         QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

// INI values holding commas come back as string lists; join them as they were written.
QString AsText(const QVariant& v) {
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(',');
  return v.toString();
}

}  // namespace

QSettingsStore::QSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Corvane"), QStringLiteral("VESK"))) {}

QSettingsStore::QSettingsStore(const std::string& iniPath)
    : settings_(
          std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {}

QSettingsStore::~QSettingsStore() = default;

bool QSettingsStore::Contains(std::string_view section, std::string_view key) const {
  std::lock_guard lock(mutex_);
  return settings_->contains(KeyPath(section, key));
}

int QSettingsStore::ReadInt(std::string_view section, std::string_view key, int def) const {
  std::lock_guard lock(mutex_);
  const QVariant v = settings_->value(KeyPath(section, key));
  if (!v.isValid()) return def;
  bool ok = false;
  const int i = AsText(v).trimmed().toInt(&ok);
  return ok ? i : std::atoi(AsText(v).toLatin1().constData());
}

std::string QSettingsStore::ReadString(std::string_view section, std::string_view key,
                                       std::string_view def) const {
  std::lock_guard lock(mutex_);
  const QVariant v = settings_->value(KeyPath(section, key));
  if (!v.isValid()) return std::string(def);
  // The program's texts are single-byte Windows-1252; Latin-1 keeps every byte as it was.
  // File and folder names are kept as the file system's UTF-8 bytes.
  return IsPathKey(section, key) ? AsText(v).toStdString() : AsText(v).toLatin1().toStdString();
}

void QSettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
  std::lock_guard lock(mutex_);
  settings_->setValue(KeyPath(section, key), value);
  settings_->sync();
  NoteChange();
}

void QSettingsStore::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) {
  std::lock_guard lock(mutex_);
  const auto size = static_cast<qsizetype>(value.size());
  settings_->setValue(KeyPath(section, key), IsPathKey(section, key)
                                                 ? QString::fromUtf8(value.data(), size)
                                                 : QString::fromLatin1(value.data(), size));
  settings_->sync();
  NoteChange();
}

std::string QSettingsStore::FileName() const {
  std::lock_guard lock(mutex_);
  return settings_->fileName().toStdString();
}

}  // namespace vesk
