#pragma once
// "Playback Binary Data File": the modeless window that plays a recorded .bin file through
// the pipeline at a chosen pace, with pause, resume, progress and Quit. It deletes itself
// when closed (Quit, Esc or its title bar) and then tells the main frame, which ends the scan.

#include <QDialog>
#include <QTimer>
#include <array>
#include <string>

class QButtonGroup;
class QLabel;
class QPushButton;

namespace vesk {

class CVESKDoc;

// The speed buttons "Max", "4x", "2x", "1x" and the speed value each stands for (as stored:
// 0 as fast as it is processed, else 4 / the multiple of the recording's own pace).
inline constexpr std::array<int, 4> kPlaybackSpeeds = {0, 1, 2, 4};

class CPlaybackDataDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kProgressMs = 100;

  CPlaybackDataDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CPlaybackDataDlg() override;

  // The buttons' commands.
  void Play();
  void Pause();
  void Resume();
  // Ends the playback: the window closes (as with Esc or its title bar) and is deleted.
  void Quit();
  void SelectSpeed(int index);
  // One tick of the progress timer.
  void UpdateProgress();

  QString StatusText() const;
  int SpeedIndex() const;
  bool ProgressRunning() const { return progressTimer_.isActive(); }

 private:
  void SetButtons(bool play, bool pause, bool resume);
  void SetStatus(const char* text);

  CVESKDoc& doc_;
  QTimer progressTimer_;
  QPushButton* play_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* resume_ = nullptr;
  QButtonGroup* speeds_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace vesk
