#include "app/qsettings_store.h"

#include <QFile>
#include <QFileInfo>
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

// The first line of an INI text that is neither blank, a comment, a section nor a setting,
// as "line N"; "" when every line is one of them.
std::string FirstUnreadableLine(const QByteArray& text) {
  const QList<QByteArray> lines = text.split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QByteArray line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.contains('=') ||
        (line.startsWith('[') && line.endsWith(']'))) {
      continue;
    }
    return "line " + std::to_string(i + 1) + " is no setting";
  }
  return {};
}

}  // namespace

QSettingsStore::QSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Corvane"), QStringLiteral("VESK"))) {
  CheckFile();
}

QSettingsStore::QSettingsStore(const std::string& iniPath)
    : settings_(
          std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {
  CheckFile();
}

QSettingsStore::~QSettingsStore() = default;

void QSettingsStore::CheckFile() {
  settings_->allKeys();  // the file is parsed (and its status known) at the first read
  const QString path = settings_->fileName();
  const QFileInfo info(path);
  if (info.isDir()) {
    readError_ = "it is a folder, not a settings file";
  } else if (settings_->status() == QSettings::AccessError) {
    QFile file(path);
    readError_ =
        file.open(QIODevice::ReadOnly) ? "it cannot be read" : file.errorString().toStdString();
  } else if (settings_->status() == QSettings::FormatError) {
    QFile file(path);
    const std::string line =
        file.open(QIODevice::ReadOnly) ? FirstUnreadableLine(file.readAll()) : std::string();
    readError_ = "it is not a settings (INI) file" + (line.empty() ? "" : ": " + line);
  } else if (info.exists()) {
    // (Asked of a file that is not there yet, QSettings would make its folders.)
    unwritable_ = !settings_->isWritable();
  }
}

bool QSettingsStore::Contains(std::string_view section, std::string_view key) const {
  if (!readError_.empty()) return runOnly_.Contains(section, key);
  std::lock_guard lock(mutex_);
  return settings_->contains(KeyPath(section, key));
}

int QSettingsStore::ReadInt(std::string_view section, std::string_view key, int def) const {
  if (!readError_.empty()) return runOnly_.ReadInt(section, key, def);
  std::lock_guard lock(mutex_);
  const QVariant v = settings_->value(KeyPath(section, key));
  if (!v.isValid()) return def;
  bool ok = false;
  const int i = AsText(v).trimmed().toInt(&ok);
  return ok ? i : std::atoi(AsText(v).toLatin1().constData());
}

std::string QSettingsStore::ReadString(std::string_view section, std::string_view key,
                                       std::string_view def) const {
  if (!readError_.empty()) return runOnly_.ReadString(section, key, def);
  std::lock_guard lock(mutex_);
  const QVariant v = settings_->value(KeyPath(section, key));
  if (!v.isValid()) return std::string(def);
  // The program's texts are single-byte Windows-1252; Latin-1 keeps every byte as it was.
  // File and folder names are kept as the file system's UTF-8 bytes.
  return IsPathKey(section, key) ? AsText(v).toStdString() : AsText(v).toLatin1().toStdString();
}

void QSettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
  if (!readError_.empty()) {
    runOnly_.WriteInt(section, key, value);
    NoteChange();
    return;
  }
  std::lock_guard lock(mutex_);
  settings_->setValue(KeyPath(section, key), value);
  settings_->sync();
  NoteChange();
}

void QSettingsStore::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) {
  if (!readError_.empty()) {
    runOnly_.WriteString(section, key, value);
    NoteChange();
    return;
  }
  std::lock_guard lock(mutex_);
  const auto size = static_cast<qsizetype>(value.size());
  settings_->setValue(KeyPath(section, key), IsPathKey(section, key)
                                                 ? QString::fromUtf8(value.data(), size)
                                                 : QString::fromLatin1(value.data(), size));
  settings_->sync();
  NoteChange();
}

std::string QSettingsStore::Problem() const {
  const std::string file = FileName();
  if (!readError_.empty()) {
    return "The settings file " + file + " cannot be read: " + readError_ +
           ".\n\nIt is left as it is: the program runs on its default settings and writes "
           "nothing to that file (changes made in this run are not kept).";
  }
  if (unwritable_) {
    return "The settings file " + file +
           " cannot be written: changes made in this run are not kept.";
  }
  return {};
}

std::string QSettingsStore::FileName() const {
  std::lock_guard lock(mutex_);
  return settings_->fileName().toStdString();
}

}  // namespace vesk
