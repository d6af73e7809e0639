#pragma once
// The message boxes and questions that the views and dialogs show themselves, behind one
// small interface: the program shows QMessageBoxes, tests record the texts and answer.

#include <QMessageBox>
#include <string>

class QWidget;

namespace vesk {

class DialogPrompts {
 public:
  enum class Buttons { YesNo, OkCancel };

  virtual ~DialogPrompts() = default;
  virtual void Message(QWidget* parent, const std::string& text, const std::string& caption,
                       QMessageBox::Icon icon);
  // True for Yes or OK.
  virtual bool Ask(QWidget* parent, const std::string& text, const std::string& caption,
                   QMessageBox::Icon icon, Buttons buttons);
};

// The QMessageBox implementation every window uses unless told otherwise.
DialogPrompts& StandardPrompts();

}  // namespace vesk
