#include "app/gui/qt_user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

namespace vesk {
namespace {

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

// The texts are single-byte Windows-1252; Latin-1 shows them alike (the degree sign).
QString Text(const std::string& text) {
  return QString::fromLatin1(text.data(), text.size());
}

bool OnUiThread() {
  const auto* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

QString Caption(const std::string& caption) {
  return caption.empty() ? QStringLiteral("VESK") : Text(caption);
}

}  // namespace

void QtUserDialogs::Print(const std::string& caption, const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    shown_.push_back(text);
  }
  std::string oneLine = text;
  for (char& c : oneLine) {
    if (c == '\n' || c == '\t') c = ' ';
  }
  std::fprintf(stderr, "vesk: %s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
               oneLine.c_str());
}

std::vector<std::string> QtUserDialogs::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

void QtUserDialogs::ShowMessage(const std::string& text, const std::string& caption,
                                MessageIcon icon) {
  if (scripted_) {
    Print(caption, text);
    return;
  }
  // A box belongs to the user-interface thread; from anywhere else it is shown later.
  if (!OnUiThread()) {
    QueueMessage(text, caption, icon);
    return;
  }
  QMessageBox box(ToQt(icon), Caption(caption), Text(text), QMessageBox::Ok, parent_.data());
  box.exec();
}

void QtUserDialogs::QueueMessage(const std::string& text, const std::string& caption,
                                 MessageIcon icon) {
  if (scripted_) {
    Print(caption, text);
    return;
  }
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [this, text, caption, icon] { ShowMessage(text, caption, icon); }, Qt::QueuedConnection);
}

void QtUserDialogs::Notify(const std::string& text) {
  std::fprintf(stderr, "vesk: %s\n", text.c_str());
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [this, text] {
        if (noteSink_) noteSink_(text);
      },
      Qt::QueuedConnection);
}

bool QtUserDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  if (scripted_) {
    Print(caption, text);
    std::fprintf(stderr, "vesk: answering Yes\n");
    return true;
  }
  if (!OnUiThread()) {
    // A worker never waits for the user (the user-interface thread may be waiting for it).
    Print(caption, text);
    std::fprintf(stderr, "vesk: not on the window thread, answering No\n");
    return false;
  }
  QMessageBox box(QMessageBox::Question, Caption(caption), Text(text),
                  QMessageBox::Yes | QMessageBox::No, parent_.data());
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtUserDialogs::AskDataFileName(const std::string& proposedName,
                                                          const std::string& directory,
                                                          bool again) {
  if (scripted_) {
    if (again) return std::nullopt;  // nobody to type another name
    return directory + proposedName + ".bin";
  }
  // Opened in the data directory: that is where the files are written whatever folder is
  // chosen, and where an existing recording would be replaced.
  QFileDialog dialog(parent_.data(), QString::fromStdString(kDataFileNameTitle),
                     QString::fromStdString(directory), QString::fromLatin1(kBinFileFilter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("bin"));
  dialog.selectFile(QString::fromStdString(proposedName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

}  // namespace vesk
