// The main frame's part in the live services: the Mark commands, the alarm pane and control
// bar field, and the services' new settings after the Publish and Alarm dialogs.

#include <QInputDialog>

#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "display/alarm_pane.h"
#include "display/main_frame.h"
#include "display/time_plots_view.h"
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

void CMainFrame::ConfigureLiveServices() {
  if (services_ != nullptr) services_->Configure();
}

void CMainFrame::ConfigureWebView() {
  if (web_ != nullptr) web_->Configure();
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
