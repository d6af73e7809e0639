#include "ui/dialogs/playback_data_dlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "acquisition/vesk_doc.h"
#include "processing/batch_player.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Playback Binary Data File";
constexpr const char* kPlayCaption = "Play   >";
constexpr const char* kPauseCaption = "Pause   | |";
constexpr const char* kResumeCaption = "Resume";
constexpr const char* kQuitCaption = "Quit";
constexpr const char* kSpeedGroup = "Playback Speed";
constexpr std::array<const char*, 4> kSpeedCaptions = {"Max", "4x", "2x", "1x"};
constexpr std::array<const char*, 4> kSpeedTips = {
    "As fast as the recording is processed", "Four times the recording's own pace",
    "Twice the recording's own pace",
    "The recording's own pace (its L frames, two a second, or "
    "its GPS time)"};
constexpr const char* kHint = "Select the 'Playback Speed' and click 'Play'.";
constexpr const char* kInitialStatus = "Select speed and click 'Play'";
constexpr const char* kPlayingStatus = kPlaybackPlayingText;
constexpr const char* kPausedStatus = kPlaybackPausedText;
constexpr const char* kResumedStatus = kPlaybackResumedText;
constexpr const char* kCompleteStatus = "Processing Complete - click 'Quit'";
constexpr const char* kProgressFormat = "Processing bytes %llu of %llu";

int ClampSpeedIndex(int index) {
  return std::clamp(index, 0, static_cast<int>(kPlaybackSpeeds.size()) - 1);
}

}  // namespace

CPlaybackDataDlg::CPlaybackDataDlg(CVESKDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
  setObjectName("playbackDialog");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(kCaption);

  play_ = new QPushButton(kPlayCaption, this);
  play_->setObjectName("playButton");
  pause_ = new QPushButton(kPauseCaption, this);
  pause_->setObjectName("pauseButton");
  resume_ = new QPushButton(kResumeCaption, this);
  resume_->setObjectName("resumeButton");
  auto* quit = new QPushButton(kQuitCaption, this);
  quit->setObjectName("quitButton");
  for (QPushButton* b : {play_, pause_, resume_, quit}) b->setAutoDefault(false);

  auto* group = new QGroupBox(kSpeedGroup, this);
  auto* groupLayout = new QHBoxLayout(group);
  speeds_ = new QButtonGroup(this);
  for (int i = 0; i < static_cast<int>(kSpeedCaptions.size()); ++i) {
    auto* radio = new QRadioButton(kSpeedCaptions[i], group);
    radio->setObjectName(QString("speed%1").arg(i));
    radio->setToolTip(kSpeedTips[static_cast<std::size_t>(i)]);
    speeds_->addButton(radio, i);
    groupLayout->addWidget(radio);
  }
  status_ = new QLabel(kInitialStatus, this);
  status_->setObjectName("playbackStatus");
  status_->setFrameShape(QFrame::Panel);
  status_->setFrameShadow(QFrame::Sunken);
  status_->setMinimumWidth(300);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(kHint, this));
  layout->addWidget(group);
  auto* row = new QHBoxLayout();
  for (QPushButton* b : {play_, pause_, resume_, quit}) row->addWidget(b);
  layout->addLayout(row);
  layout->addWidget(status_);

  // The shown button decides the pace: a stored speed that disagrees with it is replaced.
  const int index = ClampSpeedIndex(doc_.Store().Read(keys::kPlaybackSpeedBtn));
  speeds_->button(index)->setChecked(true);
  doc_.SetPlaybackSpeed(kPlaybackSpeeds[static_cast<std::size_t>(index)]);
  SetButtons(true, false, false);

  connect(play_, &QPushButton::clicked, this, &CPlaybackDataDlg::Play);
  connect(pause_, &QPushButton::clicked, this, &CPlaybackDataDlg::Pause);
  connect(resume_, &QPushButton::clicked, this, &CPlaybackDataDlg::Resume);
  connect(quit, &QPushButton::clicked, this, &CPlaybackDataDlg::Quit);
  connect(speeds_, &QButtonGroup::idClicked, this, &CPlaybackDataDlg::SelectSpeed);
  progressTimer_.setInterval(kProgressMs);
  connect(&progressTimer_, &QTimer::timeout, this, &CPlaybackDataDlg::UpdateProgress);
}

CPlaybackDataDlg::~CPlaybackDataDlg() {
  progressTimer_.stop();
  doc_.Windows().Send(WindowTarget::MainFrame, Uwm::ClosePlayback);
}

void CPlaybackDataDlg::SelectSpeed(int index) {
  index = ClampSpeedIndex(index);
  const int speed = kPlaybackSpeeds[static_cast<std::size_t>(index)];
  doc_.Store().Write(keys::kPlaybackSpeedBtn, index);
  doc_.Store().Write(keys::kPlaybackSpeed, speed);
  doc_.SetPlaybackSpeed(speed);  // the running playback paces itself by it at once
  if (speeds_->checkedId() != index) speeds_->button(index)->setChecked(true);
}

int CPlaybackDataDlg::SpeedIndex() const {
  return speeds_->checkedId();
}

void CPlaybackDataDlg::Play() {
  progressTimer_.start();
  doc_.SetPlaybackPaused(false);
  SetButtons(false, true, false);
  SetStatus(kPlayingStatus);
  if (!doc_.StartScan()) {
    // Nothing plays: say so rather than show a playback that is not happening.
    progressTimer_.stop();
    SetButtons(true, false, false);
    SetStatus(kInitialStatus);
  }
}

void CPlaybackDataDlg::Pause() {
  progressTimer_.stop();
  doc_.SetPlaybackPaused(true);
  SetButtons(false, false, true);
  SetStatus(kPausedStatus);
}

void CPlaybackDataDlg::Resume() {
  progressTimer_.start();
  doc_.SetPlaybackPaused(false);
  SetButtons(false, true, false);
  SetStatus(kResumedStatus);
}

void CPlaybackDataDlg::Quit() {
  progressTimer_.stop();
  reject();  // hides the window, which then deletes itself; its destructor tells the main frame
}

void CPlaybackDataDlg::UpdateProgress() {
  if (doc_.PlaybackPaused()) return;
  const PlaybackProgress progress = doc_.Playback();
  const std::uint64_t done = progress.done;
  const std::uint64_t total = progress.total;
  // Before the source thread has measured the file both are 0: that is not the end.
  if (progress.atEnd || (total > 0 && done == total)) {
    // A file without one frame of the counter is no recording: said so, not "complete".
    if (progress.noCounterFrames) {
      // Over lines of its own: a long path never widens the window past the screen.
      status_->setWordWrap(true);
      status_->setText(QString::fromStdString(NoCounterFramesText(doc_.PlayedPath())));
      adjustSize();
    } else {
      SetStatus(kCompleteStatus);
    }
    SetButtons(false, false, false);
    return;
  }
  char text[96];
  std::snprintf(text, sizeof text, kProgressFormat, static_cast<unsigned long long>(done),
                static_cast<unsigned long long>(total));
  SetStatus(text);
}

QString CPlaybackDataDlg::StatusText() const {
  return status_->text();
}

void CPlaybackDataDlg::SetButtons(bool play, bool pause, bool resume) {
  play_->setEnabled(play);
  pause_->setEnabled(pause);
  resume_->setEnabled(resume);
}

void CPlaybackDataDlg::SetStatus(const char* text) {
  status_->setText(text);
}

}  // namespace vesk
