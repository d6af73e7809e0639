#include "ui/dialogs/dialog_prompts.h"

namespace vesk {

void DialogPrompts::Message(QWidget* parent, const std::string& text, const std::string& caption,
                            QMessageBox::Icon icon) {
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, parent);
  box.exec();
}

bool DialogPrompts::Ask(QWidget* parent, const std::string& text, const std::string& caption,
                        QMessageBox::Icon icon, Buttons buttons) {
  const bool yesNo = buttons == Buttons::YesNo;
  QMessageBox box(
      icon, QString::fromStdString(caption), QString::fromStdString(text),
      yesNo ? (QMessageBox::Yes | QMessageBox::No) : (QMessageBox::Ok | QMessageBox::Cancel),
      parent);
  const int answer = box.exec();
  return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

DialogPrompts& StandardPrompts() {
  static DialogPrompts prompts;  // stateless: one instance serves every window
  return prompts;
}

}  // namespace vesk
