#pragma once
// "Add New Cursor": the sample number at which every shown chart gets a vertical cursor.

#include <QDialog>

class QLineEdit;

namespace vesk {

inline constexpr const char* kInsertCursorPrompt = "Insert Cursor at Sample:";

class CTimePlot_InsertCursorDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CTimePlot_InsertCursorDlg(QWidget* parent = nullptr);

  int Sample() const;
  void SetSample(int sample);
  QLineEdit* Edit() const { return edit_; }

 private:
  QLineEdit* edit_ = nullptr;
};

}  // namespace vesk
