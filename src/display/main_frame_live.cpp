// The main frame's part in the live services: the Mark commands, the alarm pane and control
// bar field, and the Publish and Alarm dialogs.

#include <QInputDialog>
#include <QMenu>

#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "display/alarm_pane.h"
#include "display/main_frame.h"
#include "display/time_plots_view.h"
#include "ui/dialogs/alarm_limits_dlg.h"
#include "ui/dialogs/publish_dlg.h"
#include "ui/dialogs/web_view_dlg.h"
#include "web/web_view.h"

namespace vesk {
namespace {

constexpr const char* kNoteTitle = "Mark with Note";
constexpr const char* kNoteLabel = "Note for the mark (optional):";

}  // namespace

void CMainFrame::SetLiveServices(LiveServices* services) {
  services_ = services;
  UpdateAlarms();
  ShowMarks();
}

void CMainFrame::BuildLiveMenus(QMenu* commands, QMenu* settings) {
  commands->addSeparator();
  QAction* mark = AddAction(commands, "&Mark Event", "Ctrl+M", false, true);
  connect(mark, &QAction::triggered, this, [this] { Mark(); });
  QAction* withNote = AddAction(commands, "Mark Event with &Note...", "Ctrl+Shift+M", false, true,
                                &CMainFrame::OnMarkWithNote);
  for (QAction* a : {mark, withNote}) {
    a->setStatusTip(
        QStringLiteral("A numbered mark in the recording's .mrk file and on the time charts"));
    scanOnly_.push_back(a);
  }
  settings->addSeparator();
  connect(AddAction(settings, "Alarm Limits...", nullptr, false, true), &QAction::triggered, this,
          [this] {
            CAlarmLimitsDlg d(doc_.Store(), this);
            if (d.exec() == QDialog::Accepted && services_ != nullptr) services_->Configure();
          });
  connect(AddAction(settings, "Publish Records...", nullptr, false, true), &QAction::triggered,
          this, [this] {
            CPublishDlg d(doc_.Store(), this);
            if (d.exec() == QDialog::Accepted && services_ != nullptr) services_->Configure();
          });
  connect(AddAction(settings, "We&b View...", nullptr, false, true), &QAction::triggered, this,
          [this] {
            CWebViewDlg d(doc_.Store(), this);
            if (d.exec() == QDialog::Accepted && web_ != nullptr) web_->Configure();
          });
}

void CMainFrame::Mark(const std::string& note) {
  if (services_ == nullptr) return;
  doc_.Dialogs().Notify(services_->AddMark(note).text);
  ShowMarks();
}

void CMainFrame::OnMarkWithNote() {
  if (services_ == nullptr) return;
  // The mark is of the moment the command was given, however long the note takes.
  std::optional<vesk::Mark> mark = services_->BeginMark();
  if (!mark) return;
  bool ok = false;
  const QString note =
      QInputDialog::getText(this, QString::fromLatin1(kNoteTitle), QString::fromLatin1(kNoteLabel),
                            QLineEdit::Normal, QString(), &ok);
  if (!ok) return;
  doc_.Dialogs().Notify(services_->FinishMark(*mark, note.toStdString()).text);
  ShowMarks();
}

void CMainFrame::UpdateAlarms() {
  if (services_ == nullptr) return;
  services_->Tick();
  alarmPane_->Show(services_->Alarms());
  bar_->SetAlarms(services_->Alarms());
}

void CMainFrame::ShowMarks() {
  if (services_ == nullptr) return;
  if (auto* charts = dynamic_cast<CTimePlotsView*>(mainView_)) {
    charts->ShowMarks(services_->ScanMarks());
  }
}

}  // namespace vesk
