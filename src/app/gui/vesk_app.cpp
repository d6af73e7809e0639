#include "app/gui/vesk_app.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "control/udp_control.h"
#include "display/main_frame.h"
#include "web/live_cast_profile.h"
#include "web/web_view.h"

namespace vesk {
namespace {

constexpr int kCounterWaitMs = 4000;
constexpr int kCounterWaitStepMs = 100;

}  // namespace

CVESKApp::CVESKApp(SettingsStore& store, const AppOptions& options)
    : store_(store), options_(options), dialogs_(options.scripted || !options.screenshot.empty()) {
  dialogs_.SetLog(options_.messageLog);
}

CVESKApp::~CVESKApp() {
  frame_.reset();
  web_.reset();
  services_.reset();  // stops a scan that still runs
  doc_.reset();
  udp_.reset();
}

bool CVESKApp::InitInstance() {
  // 1. The remote control socket. Its commands wait for the document and the window.
  udp_ = std::make_unique<CUDPControl>(store_, CUDPControl::ActionsFor(*this), this);
  remoteControl_ = udp_->Open();
  for (const std::string& warning : udp_->Warnings()) dialogs_.Notify(warning);
  if (!remoteControl_) {
    std::fprintf(stderr, "vesk: remote control: %s\n", udp_->ErrorText().c_str());
    dialogs_.ShowMessage(std::string(kNetworkUnavailable) + "\n\n" + udp_->ErrorText() +
                             " (Settings > Remote Control...)",
                         "", MessageIcon::Information);
  }

  if (quitting_) return true;

  // 2. A settings file that cannot be read (it is left alone) or written.
  if (!options_.settingsProblem.empty()) {
    dialogs_.ShowMessage(options_.settingsProblem, "", MessageIcon::Warning);
  } else if (!store_.Contains(keys::kComPortDu.section, keys::kComPortDu.key) &&
             !store_.Contains(keys::kDeviceDu.section, keys::kDeviceDu.key)) {
    // 5. First run: no counter port, by number or by device, has been configured.
    dialogs_.ShowMessage(kFirstRunMessage, "", MessageIcon::Information);
  }
  if (quitting_) return true;

  // 8. The document (its settings, the survey latitude warning) and the counter port.
  doc_ = std::make_unique<CVESKDoc>(store_, messages_, dialogs_, clock_);
  if (quitting_) return true;
  doc_->ConnectCounterPort();
  if (doc_->Connected()) doc_->PollCounterStatus();
  services_ = std::make_unique<LiveServices>(*doc_);
  if (quitting_) return true;
  web_ = std::make_unique<WebView>(LiveSources{
      *doc_, *services_, [this] { return DescribeReceivedCommand(udp_->LastReceived()); },
      CastProfileSource(doc_->Results())});
  web_->Configure();

  // 9. The main window.
  frame_ = std::make_unique<CMainFrame>(*doc_, messages_);
  frame_->SetLiveServices(services_.get());
  frame_->SetWebView(web_.get());
  if (remoteControl_) frame_->SetRemoteControl(udp_.get());
  dialogs_.SetParent(frame_.get());
  dialogs_.SetNoteSink([frame = QPointer<CMainFrame>(frame_.get())](const std::string& text) {
    if (frame) frame->ShowNote(text);
  });
  if (options_.screenshot.empty()) {
    frame_->showMaximized();
  } else {
    // A picture has the same size on every machine whose screen holds it; a smaller screen
    // (a laptop's 1366x768) shows the window as it would fill that screen.
    QSize size(1600, 1000);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      size = size.boundedTo(screen->availableSize());
    frame_->resize(size);
    frame_->show();
  }
  return true;
}

int CVESKApp::Run() {
  QIcon icon;
  for (const char* picture : {":/vesk/vesk-48.png", ":/vesk/vesk-256.png"}) {
    icon.addFile(QString::fromLatin1(picture));
  }
  QApplication::setWindowIcon(icon);
  QCoreApplication::instance()->installEventFilter(&titleFitter_);
  // The run's length counts from the start, whatever waits for an answer meanwhile.
  if (options_.duration > 0) {
    QTimer::singleShot(static_cast<int>(options_.duration * 1000), this, [this] { Quit(0); });
  }
  if (!InitInstance()) return 1;
  if (quitting_) {
    if (doc_ && doc_->Scanning()) doc_->StopScan();
    return exitCode_;
  }
  // A scan asked for on the command line starts once the counter has said it is there (or
  // after a short wait, when the start operation asks whether to start anyway).
  auto* waitTimer = new QTimer(this);
  auto waited = std::make_shared<int>(0);
  connect(waitTimer, &QTimer::timeout, this, [this, waitTimer, waited] {
    *waited += kCounterWaitStepMs;
    const bool wantScan = options_.log || options_.acquire;
    if (wantScan && doc_->Connected() && !doc_->CounterResponding() && *waited < kCounterWaitMs &&
        !doc_->PollCounterStatus().responding) {
      return;
    }
    waitTimer->stop();
    waitTimer->deleteLater();
    if (quitting_) return;
    if (options_.log) {
      frame_->StartLogging();
    } else if (options_.acquire) {
      frame_->StartAcquisition();
    }
    if (options_.popup) frame_->ShowPopup();
  });
  waitTimer->start(kCounterWaitStepMs);
  if (!options_.screenshot.empty()) {
    QTimer::singleShot(static_cast<int>(options_.screenshotAfter * 1000), this,
                       [this] { TakeScreenshot(); });
  }
  const int code = QApplication::exec();
  if (doc_ && doc_->Scanning()) doc_->StopScan();
  return exitCode_ != 0 ? exitCode_ : code;
}

void CVESKApp::StartLogging() {
  if (frame_) frame_->StartLogging();
}

void CVESKApp::Stop() {
  if (frame_) frame_->Stop();
}

void CVESKApp::StartAcquisition() {
  if (frame_) frame_->StartAcquisition();
}

void CVESKApp::Mark(const std::string& note) {
  if (frame_) frame_->Mark(note);
}

quint16 CVESKApp::RemoteControlPort() const {
  return udp_ && remoteControl_ ? udp_->LocalPort() : 0;
}

void CVESKApp::TakeScreenshot() {
  // Layouts and chart axes asked for by the last messages first, so the picture agrees.
  QCoreApplication::processEvents();
  QPixmap picture = frame_->grab();
  // The popup is a window of its own: put it where it stands over the main window.
  if (QWidget* popup = frame_->Popup(); popup != nullptr && popup->isVisible()) {
    QPainter painter(&picture);
    QPoint at = popup->frameGeometry().topLeft() - frame_->geometry().topLeft();
    at.setX(std::clamp(at.x(), 0, std::max(0, picture.width() - popup->width())));
    at.setY(std::clamp(at.y(), 0, std::max(0, picture.height() - popup->height())));
    painter.drawPixmap(at, popup->grab());
  }
  const QString path = QString::fromStdString(options_.screenshot);
  if (!picture.save(path)) {
    std::fprintf(stderr, "vesk: cannot save the picture to %s\n", options_.screenshot.c_str());
    Quit(1);
    return;
  }
  std::fprintf(stderr, "vesk: main window saved to %s\n", options_.screenshot.c_str());
  Quit(0);
}

void CVESKApp::Quit(int code) {
  if (!quitting_) exitCode_ = code;
  quitting_ = true;
  // A box waits in a loop of its own: closed, it answers No, and the start-up (or the
  // command) that showed it checks quitting_ before it goes on.
  if (QWidget* box = QApplication::activeModalWidget()) box->close();
  // Once that loop has ended: the main window, and the program's own loop.
  QTimer::singleShot(0, this, [this] {
    if (frame_) frame_->CloseUnasked();  // the remote command 3, the end of --duration
    QCoreApplication::exit(exitCode_);
  });
}

}  // namespace vesk
