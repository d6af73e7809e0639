#pragma once
// "External Instrument Input Device": the instrument model, its serial number and the input
// path (direct or through the deck unit's multiplexer). On OK the store and the document take
// the choice over at once; "Configure" opens the selected model's coefficient dialog.

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vesk {

class CVESKDoc;
class DialogPrompts;
class SettingsStore;

inline constexpr const char* kSelectValidCtd = "Select a valid CTD device.";
inline constexpr const char* kUnableToConfigureCtd =
    "This CTD has no coefficients or options to configure.";
inline constexpr const char* kConfigWindowError =
    "An error occurred while trying to load the configuration window.";
inline constexpr const char* kCtdConfigurationCaption = "CTD Configuration";

// The configuration dialog of a model, as its row names it, or nullptr for a model that has
// none. It shows its own messages through `prompts`.
std::unique_ptr<QDialog> CreateCtdConfigDialog(int model, SettingsStore& store,
                                               DialogPrompts& prompts, QWidget* parent);
// Whether a model has such a dialog ("Configure" is offered only then).
bool HasCtdConfigDialog(int model);

class CCTDDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CCTDDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }

  // The model the list shows selected (-1 when none resolves to a catalogue entry).
  int SelectedModel() const;
  // "Configure": the selected model's dialog (the stored model when the list has none
  // selected, as for the OS200 that the list does not offer), or the refusal.
  void Configure();
  void accept() override;

 private:
  void ShowModel(int model);
  void Refresh();

  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  QListWidget* models_ = nullptr;
  QLabel* rate_ = nullptr;
  QLabel* format_ = nullptr;
  QLineEdit* serial_ = nullptr;
  QPushButton* configure_ = nullptr;
  QRadioButton* direct_ = nullptr;
  QRadioButton* viaMux_ = nullptr;
};

}  // namespace vesk
