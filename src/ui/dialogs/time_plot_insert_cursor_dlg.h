#pragma once
// "Add New Cursor": the time since the scan started ("mm:ss", "h:mm:ss" or seconds) at which
// every shown chart gets a vertical cursor.

#include <QDialog>

class QLineEdit;

namespace vesk {

inline constexpr const char* kInsertCursorPrompt =
    "Insert Cursor at Time since the scan started (mm:ss):";

class CTimePlot_InsertCursorDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CTimePlot_InsertCursorDlg(QWidget* parent = nullptr);

  int Seconds() const;
  void SetSeconds(int seconds);
  QLineEdit* Edit() const { return edit_; }

 private:
  QLineEdit* edit_ = nullptr;
};

}  // namespace vesk
