#include "ui/dialogs/time_plot_insert_cursor_dlg.h"

#include <QDialogButtonBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vesk {

CTimePlot_InsertCursorDlg::CTimePlot_InsertCursorDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("insertCursorDlg");
  setWindowTitle("Add New Cursor");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(kInsertCursorPrompt, this));
  edit_ = new QLineEdit("0", this);
  edit_->setObjectName("cursorSampleEdit");
  edit_->setValidator(new QIntValidator(0, 1000000000, edit_));
  layout->addWidget(edit_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

int CTimePlot_InsertCursorDlg::Sample() const {
  return edit_->text().toInt();
}

void CTimePlot_InsertCursorDlg::SetSample(int sample) {
  edit_->setText(QString::number(sample));
}

}  // namespace vesk
