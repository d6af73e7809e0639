#include "ui/dialogs/time_plot_insert_cursor_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "display/axis_ticks.h"
#include "display/time_chart_settings.h"

namespace vesk {

CTimePlot_InsertCursorDlg::CTimePlot_InsertCursorDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("insertCursorDlg");
  setWindowTitle("Add New Cursor");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(kInsertCursorPrompt, this));
  edit_ = new QLineEdit("0:00", this);
  edit_->setObjectName("cursorTimeEdit");
  edit_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("\\d{1,6}(:\\d{0,2}){0,2}")), edit_));
  layout->addWidget(edit_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  // A time cut short ("1:") is no time: the field keeps the focus.
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (ParseElapsedTime(edit_->text())) {
      accept();
    } else {
      edit_->setFocus();
    }
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

int CTimePlot_InsertCursorDlg::Seconds() const {
  return ParseElapsedTime(edit_->text()).value_or(0);
}

void CTimePlot_InsertCursorDlg::SetSeconds(int seconds) {
  edit_->setText(QString::fromStdString(ElapsedLabel(seconds, seconds >= 3600)));
}

}  // namespace vesk
