#include "display/control_bar.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cstdio>
#include <mutex>

#include "acquisition/alarm_monitor.h"
#include "acquisition/vesk_doc.h"
#include "display/alarm_pane.h"
#include "display/elided_label.h"
#include "instruments/ctd_conversions.h"

namespace vesk {
namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[64];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// Button colours: idle face, and the two phases of the running scan's flashing button.
constexpr const char* kAcquireIdle = "background-color:#2e7d32; color:white; font-weight:bold;";
constexpr const char* kLoggingIdle = "background-color:#1565c0; color:white; font-weight:bold;";
constexpr const char* kStopIdle = "background-color:#c62828; color:white; font-weight:bold;";
constexpr const char* kFlashOn = "background-color:#ffeb3b; color:black; font-weight:bold;";
constexpr const char* kDisabledFace = "background-color:#9e9e9e; color:#e0e0e0; font-weight:bold;";
constexpr const char* kConnectedLook =
    "background-color:#1b5e20; color:#76ff03; font-weight:bold; padding:2px;";
constexpr const char* kDisconnectedLook =
    "background-color:#b71c1c; color:#ffeb3b; font-weight:bold; padding:2px;";
constexpr const char* kActiveLook = "background-color:#2e7d32; color:white; padding:2px;";
constexpr const char* kInactiveLook = "color:#616161; padding:2px;";
constexpr const char* kStaleLook = "color:#9e9e9e; background-color:#fff3e0;";
constexpr const char* kAlarmLook = "color:white; background-color:#c62828; font-weight:bold;";
constexpr int kFlashMs = 500;
constexpr int kFieldPadding = 14;  // the frame and margins of a line edit

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), text.size());
}

}  // namespace

void ControlBarReader::Reset() {
  lastFrameCount_ = 0;
  haveFrame_ = false;
  deltaSeconds_ = 0;
  mepHistory_.clear();
}

BarTexts ControlBarReader::Read(CVESKDoc& doc, TimePoint now) {
  // Each table is copied under its own lock, one at a time.
  const ScanResults& results = doc.Results();
  const CtdSample ctd = results.Ctd();
  const HousekeepingTable housekeeping = results.Housekeeping();
  const std::array<std::uint32_t, kHousekeepingCount>& hk = housekeeping.words;
  const double counterValue = housekeeping.counterValue;
  const double flowSpeed = housekeeping.flowSpeed;
  const BinTable bins = results.Bins();
  const double frameTotal = bins.frameTotal;
  const std::uint32_t totalCount = bins.cumulativeTotalCount;
  const std::uint32_t windowCount = bins.cumulativeWindowCount;
  const NavDisplay nav = results.Nav();

  // The time between the last two L frames, by the PC clock: several frames may have arrived
  // since the last refresh (the refresh requests are coalesced), so the interval is shared.
  const std::uint32_t frames = doc.Results().LFrames();
  if (frames < lastFrameCount_) Reset();
  if (frames != lastFrameCount_) {
    if (haveFrame_) {
      deltaSeconds_ = std::chrono::duration<double>(now - lastFrameTime_).count() /
                      static_cast<double>(frames - lastFrameCount_);
    }
    haveFrame_ = true;
    lastFrameTime_ = now;
    lastFrameCount_ = frames;
  }

  // Particles per second over the last 10 s: from the newest refresh at least 10 s old (or
  // the oldest one, early in a scan) up to now.
  const std::uint32_t mep = doc.Results().MepParticles();
  mepHistory_.emplace_back(now, mep);
  while (mepHistory_.size() > 1 && mepHistory_[1].first <= now - kMepRateWindow) {
    mepHistory_.pop_front();
  }
  double mepRate = 0;
  const double span = std::chrono::duration<double>(now - mepHistory_.front().first).count();
  if (mepHistory_.size() > 1 && span > 0) {
    mepRate = static_cast<double>(mep - mepHistory_.front().second) / span;
  }

  BarTexts t;
  auto set = [&t](BarField f, std::string text) { t[static_cast<int>(f)] = std::move(text); };
  set(BarField::Depth,
      Format("%.2f", PressureToDepth(ctd.pressure, doc.Settings().scan.surveyLat)));
  set(BarField::Temp, Format("%.3f", ctd.temperature));
  set(BarField::Salinity, Format("%.3f", ctd.salinity));
  set(BarField::Analog, Format("%.2f", ctd.analog * doc.Settings().analogScale));
  set(BarField::Counter, Format("%.2f", counterValue));
  set(BarField::SampleNo, Format("%u", frames));
  set(BarField::DeltaTime, Format("%.2f", deltaSeconds_));
  set(BarField::FlowCounts, Format("%u / %u", hk[3], hk[4]));
  set(BarField::FlowSpeed, Format("%.3f m/s", flowSpeed));
  set(BarField::TotalCount, Format("%u", totalCount));
  set(BarField::TotalCps, Format("%.0f", frameTotal));
  set(BarField::WindowCount, Format("%u", windowCount));
  set(BarField::MepCounts, Format("%u", mep));
  set(BarField::MepCps, Format("%.0f", mepRate));
  set(BarField::LMon, Format("%u", hk[6]));
  set(BarField::LVolt, Format("%u", hk[5]));
  set(BarField::FrameErrors, Format("%u", doc.Results().FrameErrors()));
  set(BarField::Sensor, Format("%u", hk[0]));
  set(BarField::Latitude, nav.latitude);
  set(BarField::Longitude, nav.longitude);
  set(BarField::Time, nav.time);
  const FixAge age = FixAgeAt(nav, now, doc.Settings().scan.nav.staleFixSeconds);
  set(BarField::FixAge, age.text);
  positionStale_ = age.stale || !nav.lastFix;
  return t;
}

CVESKDialogBar::CVESKDialogBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("controlBar"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);

  auto group = [this, row](const char* title) {
    auto* box = new QGroupBox(QString::fromLatin1(title), this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);
    row->addWidget(box);
    return grid;
  };

  QGridLayout* external = group("External Instruments");
  AddField(external, 0, 0, BarField::Depth, "DEPTH");
  AddField(external, 1, 0, BarField::Temp, "TEMP");
  AddField(external, 2, 0, BarField::Salinity, "SALINITY");
  AddField(external, 3, 0, BarField::Analog, "ANALOG");
  // The user names this one: a long name is cut, whole in its tool tip.
  delete external->itemAtPosition(3, 0)->widget();
  analogCaption_ = new CElidedLabel(this);
  analogCaption_->setObjectName(QStringLiteral("analogCaption"));
  analogCaption_->setMaximumWidth(
      QFontMetrics(analogCaption_->font()).horizontalAdvance(QStringLiteral("SALINITY")) * 2);
  analogCaption_->SetFullText(QStringLiteral("ANALOG"));
  external->addWidget(analogCaption_, 3, 0);
  AddField(external, 4, 0, BarField::Counter, "COUNTER");

  QGridLayout* system = group("System Status");
  AddField(system, 0, 0, BarField::SampleNo, "Sample No.");
  AddField(system, 1, 0, BarField::DeltaTime, "Delta Time");
  AddField(system, 2, 0, BarField::FlowCounts, "Flow Counts");
  AddField(system, 3, 0, BarField::FlowSpeed, "Flow Speed");
  AddField(system, 4, 0, BarField::Alarms, "Alarms", kTipAlarms)->setText(QStringLiteral("none"));

  auto* buttons = new QWidget(this);
  auto* buttonGrid = new QGridLayout(buttons);
  buttonGrid->setContentsMargins(2, 2, 2, 2);
  auto makeButton = [buttons](const char* text, const char* name, const char* tip) {
    auto* b = new QPushButton(QString::fromLatin1(text), buttons);
    b->setObjectName(QString::fromLatin1(name));
    if (tip != nullptr) {
      b->setToolTip(QString::fromLatin1(tip));
      b->setStatusTip(QString::fromLatin1(tip));
    }
    b->setMinimumHeight(28);
    return b;
  };
  startAcquisition_ = makeButton("START ACQUISITION", "startAcquisition", kTipStartAcquisition);
  startLogging_ = makeButton("START LOGGING", "startLogging", kTipStartLogging);
  stop_ = makeButton("STOP", "stop", kTipStop);
  connect_ = makeButton("Connect", "connect", "Open the counter's serial port");
  connection_ = new QLabel(buttons);
  connection_->setObjectName(QStringLiteral("connectionIndicator"));
  connection_->setAlignment(Qt::AlignCenter);
  auto* snapshotCaption = new QLabel(QString::fromLatin1(kSnapshotCaption), buttons);
  snapshot_ = new QLabel(buttons);
  snapshot_->setObjectName(QStringLiteral("snapshotIndicator"));
  snapshot_->setAlignment(Qt::AlignCenter);
  for (QLabel* label : {snapshotCaption, snapshot_}) {
    label->setToolTip(QString::fromLatin1(kTipSnapshot));
    label->setStatusTip(QString::fromLatin1(kTipSnapshot));
  }
  buttonGrid->addWidget(startAcquisition_, 0, 0, 1, 2);
  buttonGrid->addWidget(startLogging_, 1, 0, 1, 2);
  buttonGrid->addWidget(stop_, 2, 0, 1, 2);
  buttonGrid->addWidget(connect_, 3, 0);
  buttonGrid->addWidget(connection_, 3, 1);
  buttonGrid->addWidget(snapshotCaption, 4, 0, Qt::AlignRight);
  buttonGrid->addWidget(snapshot_, 4, 1);
  row->addWidget(buttons);

  QGridLayout* counts = group("Plankton Counts");
  AddField(counts, 0, 0, BarField::TotalCount, "Total Count", "Total sum of binned data.");
  AddField(counts, 1, 0, BarField::TotalCps, "Total CPS", "Count Per Second");
  AddField(counts, 2, 0, BarField::WindowCount, "Window Count",
           "Sum of binned data currently visible.");
  auto makeReset = [this](const char* name, const char* tip) {
    auto* b = new QPushButton(QStringLiteral("0"), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(tip));
    b->setStatusTip(QString::fromLatin1(tip));
    b->setFixedWidth(22);
    return b;
  };
  resetTotal_ = makeReset("resetTotal", kTipResetTotal);
  resetWindow_ = makeReset("resetWindow", kTipResetWindow);
  counts->addWidget(resetTotal_, 0, 2);
  counts->addWidget(resetWindow_, 2, 2);

  QGridLayout* mep = group("MEP Grid");
  AddField(mep, 0, 0, BarField::MepCounts, "MEP Counts");
  AddField(mep, 1, 0, BarField::MepCps, "MEP CPS");
  AddField(mep, 2, 0, BarField::ScaleFactor, "Scale Factor");
  autoScroll_ = new QCheckBox(QStringLiteral("AutoScroll"), this);
  autoScroll_->setObjectName(QStringLiteral("autoScroll"));
  mep->addWidget(autoScroll_, 3, 0, 1, 2);

  QGridLayout* engineering = group("Engineering");
  AddField(engineering, 0, 0, BarField::LMon, "LMon");
  AddField(engineering, 1, 0, BarField::LVolt, "LVolt");
  AddField(engineering, 2, 0, BarField::FrameErrors, "Frame Errors");
  AddField(engineering, 3, 0, BarField::Sensor, "Sensor");

  QGridLayout* nmea = group("NMEA Data");
  AddField(nmea, 0, 0, BarField::Latitude, "Latitude");
  AddField(nmea, 1, 0, BarField::Longitude, "Longitude");
  AddField(nmea, 2, 0, BarField::Time, "Time");
  AddField(nmea, 3, 0, BarField::FixAge, "Fix Age", kTipFixAge);
  row->addStretch(1);

  connect(startAcquisition_, &QPushButton::clicked, this, &CVESKDialogBar::startAcquisitionClicked);
  connect(startLogging_, &QPushButton::clicked, this, &CVESKDialogBar::startLoggingClicked);
  connect(stop_, &QPushButton::clicked, this, &CVESKDialogBar::stopClicked);
  connect(connect_, &QPushButton::clicked, this, &CVESKDialogBar::connectClicked);
  connect(resetTotal_, &QPushButton::clicked, this, &CVESKDialogBar::resetTotalClicked);
  connect(resetWindow_, &QPushButton::clicked, this, &CVESKDialogBar::resetWindowClicked);
  connect(autoScroll_, &QCheckBox::toggled, this, &CVESKDialogBar::autoScrollToggled);
  connect(&flashTimer_, &QTimer::timeout, this, &CVESKDialogBar::Flash);

  SetConnected(false);
  SetSnapshotActive(false);
  SetScanDisplay(ScanDisplay::Idle, false);
}

QLineEdit* CVESKDialogBar::AddField(QGridLayout* grid, int row, int column, BarField field,
                                    const char* caption, const char* tip) {
  auto* label = new QLabel(QString::fromLatin1(caption), this);
  auto* edit = new QLineEdit(this);
  edit->setReadOnly(true);
  edit->setFocusPolicy(Qt::NoFocus);
  edit->setAlignment(Qt::AlignRight);
  // Wide enough for its value and no wider, so that the bar fits a 1366-pixel screen.
  const QFontMetrics metrics(edit->font());
  const bool position = field == BarField::Latitude || field == BarField::Longitude;
  const QString widest = QString::fromLatin1(position ? "000\xB0 00' 00\" W" : "0000000000");
  edit->setMinimumWidth(metrics.horizontalAdvance(widest) + kFieldPadding);
  edit->setMaximumWidth(metrics.horizontalAdvance(widest) * 4 / 3 + kFieldPadding);
  edit->setObjectName(QStringLiteral("field%1").arg(static_cast<int>(field)));
  if (tip != nullptr) {
    edit->setToolTip(QString::fromLatin1(tip));
    edit->setStatusTip(QString::fromLatin1(tip));
    label->setToolTip(QString::fromLatin1(tip));
  }
  grid->addWidget(label, row, column);
  grid->addWidget(edit, row, column + 1);
  fields_[static_cast<int>(field)] = edit;
  return edit;
}

void CVESKDialogBar::SetField(BarField field, const QString& text) {
  QLineEdit* edit = fields_[static_cast<int>(field)];
  if (edit->text() != text) edit->setText(text);
}

QString CVESKDialogBar::FieldText(BarField field) const {
  return fields_[static_cast<int>(field)]->text();
}

void CVESKDialogBar::SetFields(const BarTexts& texts) {
  for (int i = 0; i < kBarFieldCount; ++i) {
    const auto field = static_cast<BarField>(i);
    if (field == BarField::ScaleFactor || field == BarField::Alarms) continue;
    SetField(static_cast<BarField>(i), Latin1(texts[i]));
  }
}

void CVESKDialogBar::SetAnalogCaption(const QString& caption) {
  analogCaption_->SetFullText(caption);
}

void CVESKDialogBar::SetScanDisplay(ScanDisplay state, bool connected) {
  display_ = state;
  startAcquisition_->setEnabled(state == ScanDisplay::Idle);
  startLogging_->setEnabled(state != ScanDisplay::Logging);
  stop_->setEnabled(state != ScanDisplay::Idle);
  connect_->setEnabled(!connected);
  flashOn_ = false;
  if (state == ScanDisplay::Idle) {
    flashTimer_.stop();
  } else if (!flashTimer_.isActive()) {
    flashTimer_.start(kFlashMs);
  }
  PaintButtons();
}

void CVESKDialogBar::PaintButtons() {
  auto face = [](QPushButton* b, const char* idle) {
    b->setStyleSheet(QString::fromLatin1(b->isEnabled() ? idle : kDisabledFace));
  };
  face(startAcquisition_, kAcquireIdle);
  face(startLogging_, kLoggingIdle);
  face(stop_, kStopIdle);
  QPushButton* active = display_ == ScanDisplay::Acquiring ? startAcquisition_
                        : display_ == ScanDisplay::Logging ? startLogging_
                                                           : nullptr;
  if (active != nullptr) {
    active->setStyleSheet(QString::fromLatin1(
        flashOn_ ? kFlashOn : (active == startAcquisition_ ? kAcquireIdle : kLoggingIdle)));
  }
}

void CVESKDialogBar::Flash() {
  flashOn_ = !flashOn_;
  PaintButtons();
}

void CVESKDialogBar::SetConnected(bool connected) {
  connection_->setText(QString::fromLatin1(connected ? kConnected : kDisconnected));
  connection_->setStyleSheet(QString::fromLatin1(connected ? kConnectedLook : kDisconnectedLook));
  connect_->setEnabled(!connected);
}

void CVESKDialogBar::SetSnapshotActive(bool active) {
  snapshot_->setText(QString::fromLatin1(active ? kSnapshotActive : kSnapshotInactive));
  snapshot_->setStyleSheet(QString::fromLatin1(active ? kActiveLook : kInactiveLook));
}

void CVESKDialogBar::SetPositionStale(bool stale) {
  if (stale == positionStale_) return;
  positionStale_ = stale;
  for (BarField f : {BarField::Latitude, BarField::Longitude, BarField::Time, BarField::FixAge})
    fields_[static_cast<int>(f)]->setStyleSheet(stale ? QString::fromLatin1(kStaleLook)
                                                      : QString());
}

void CVESKDialogBar::SetAlarms(const AlarmMonitor& alarms) {
  const std::vector<AlarmId> active = alarms.ActiveAlarms();
  const QString text = active.empty()       ? QStringLiteral("none")
                       : active.size() == 1 ? QString::fromLatin1(AlarmLabel(active[0]))
                                            : QStringLiteral("%1 alarms").arg(active.size());
  SetField(BarField::Alarms, text);
  QLineEdit* edit = fields_[static_cast<int>(BarField::Alarms)];
  edit->setToolTip(active.empty() ? QString::fromLatin1(kTipAlarms) : AlarmTexts(alarms));
  if (alarmsRaised_ == !active.empty()) return;
  alarmsRaised_ = !active.empty();
  edit->setStyleSheet(alarmsRaised_ ? QString::fromLatin1(kAlarmLook) : QString());
}

void CVESKDialogBar::SetAutoScroll(bool on) {
  const QSignalBlocker block(autoScroll_);
  autoScroll_->setChecked(on);
}

}  // namespace vesk
