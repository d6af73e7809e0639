#pragma once
// "Extract Data Stream": copies the chosen frame types of a recorded .bin file into a new
// file (StreamExtractor does the work), with a progress bar and the final counts. It runs on
// the window thread and has nothing to do with an acquisition scan.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "files/stream_extractor.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace vesk {

class DialogPrompts;
class SettingsStore;

inline constexpr const char* kExtractInputPrompt = "Select a VESK data file to start...";
inline constexpr const char* kExtractRangeRefused =
    "The smallest data packet size (%d) is above the largest (%d).\n\nPlease correct the "
    "range.";

// The label of the auxiliary framing box for the auxiliary type letter.
std::string AuxFramingLabel(char auxType);
// The auxiliary type of a combo box text: its first character, '_' when it is empty.
char AuxTypeOf(const std::string& selection);

class CExtractDataStreamDlg : public QDialog {
  Q_OBJECT

 public:
  // Asks for the output file (a text file, .txt, when `text`, else a .bin); nothing when the
  // user cancels.
  using OutputChooser = std::function<std::optional<std::string>(QWidget* parent, bool text)>;

  explicit CExtractDataStreamDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void SetOutputChooser(OutputChooser chooser) { chooseOutput_ = std::move(chooser); }

  // What the controls say.
  StreamExtractOptions Options() const;
  std::string InputPath() const;
  void SetInputPath(const std::string& path);
  // "EXTRACT" (offered once a file and a stream are chosen): checks the input and the size
  // range, asks for the output, runs, shows the final message and stores the size range.
  // True when a run completed.
  bool Extract();
  // Every stream chosen is text without its framing: the output is offered as .txt.
  bool TextOutput() const;
  int ProgressValue() const;

 private:
  void Browse();
  void AuxToggled(bool on);
  void StripAuxToggled(bool on);
  void AuxTypeChanged();
  void UpdateExtract();

  SettingsStore& store_;
  DialogPrompts* prompts_;
  OutputChooser chooseOutput_;
  QLineEdit* input_ = nullptr;
  QCheckBox* binned_ = nullptr;
  QCheckBox* ctd_ = nullptr;
  QCheckBox* gps_ = nullptr;
  QCheckBox* mep_ = nullptr;
  QCheckBox* aux_ = nullptr;
  QCheckBox* stripCtd_ = nullptr;
  QCheckBox* stripGps_ = nullptr;
  QCheckBox* stripAux_ = nullptr;
  QComboBox* auxType_ = nullptr;
  QSpinBox* min_ = nullptr;
  QSpinBox* max_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* extract_ = nullptr;
};

}  // namespace vesk
