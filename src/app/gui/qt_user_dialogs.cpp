#include "app/gui/qt_user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "files/file_naming.h"

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

LogSeverity SeverityOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error: return LogSeverity::Error;
    case MessageIcon::Warning: return LogSeverity::Warning;
    case MessageIcon::Information: return LogSeverity::Info;
    case MessageIcon::Question:
    case MessageIcon::None: break;
  }
  return LogSeverity::Notice;
}

std::string OneLine(const std::string& caption, const std::string& text) {
  std::string line = caption.empty() ? text : caption + ": " + text;
  for (char& c : line) {
    if (c == '\n' || c == '\t') c = ' ';
  }
  return line;
}

}  // namespace

void QtUserDialogs::Print(const std::string& caption, const std::string& text, MessageIcon icon,
                          bool keep) {
  if (keep) {
    std::lock_guard lock(mutex_);
    shown_.push_back(text);
  }
  if (log_ != nullptr) {
    log_->Write(SeverityOf(icon), OneLine(caption, text));
  } else {
    std::fprintf(stderr, "vesk: %s\n", OneLine(caption, text).c_str());
  }
}

void QtUserDialogs::Log(const std::string& caption, const std::string& text, MessageIcon icon) {
  if (log_ != nullptr) log_->Write(SeverityOf(icon), OneLine(caption, text), false);
}

std::vector<std::string> QtUserDialogs::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

void QtUserDialogs::ShowMessage(const std::string& text, const std::string& caption,
                                MessageIcon icon) {
  if (scripted_) {
    Print(caption, text, icon);
    return;
  }
  // A box belongs to the user-interface thread; from anywhere else it is shown later.
  if (!OnUiThread()) {
    QueueMessage(text, caption, icon);
    return;
  }
  Log(caption, text, icon);
  QMessageBox box(ToQt(icon), Caption(caption), Text(text), QMessageBox::Ok, parent_.data());
  box.exec();
}

void QtUserDialogs::QueueMessage(const std::string& text, const std::string& caption,
                                 MessageIcon icon) {
  if (scripted_) {
    Print(caption, text, icon);
    return;
  }
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [this, text, caption, icon] { ShowMessage(text, caption, icon); }, Qt::QueuedConnection);
}

void QtUserDialogs::Notify(const std::string& text) {
  if (log_ != nullptr) {
    log_->Write(LogSeverity::Notice, text);
  } else {
    std::fprintf(stderr, "vesk: %s\n", text.c_str());
  }
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [this, text] {
        if (noteSink_) noteSink_(text);
      },
      Qt::QueuedConnection);
}

bool QtUserDialogs::AskYesNo(const std::string& text, const std::string& caption, bool defaultYes) {
  if (scripted_) {
    Print(caption, text, MessageIcon::Question);
    Print("", "answering Yes", MessageIcon::Question, false);
    return true;
  }
  if (!OnUiThread()) {
    // A worker never waits for the user (the user-interface thread may be waiting for it).
    Print(caption, text, MessageIcon::Question);
    Print("", "not on the window thread, answering No", MessageIcon::Question, false);
    return false;
  }
  Log(caption, text, MessageIcon::Question);
  QMessageBox box(QMessageBox::Question, Caption(caption), Text(text),
                  QMessageBox::Yes | QMessageBox::No, parent_.data());
  box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
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
