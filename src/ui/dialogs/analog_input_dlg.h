#pragma once
// "Analog Input Configuration": the caption and the scale of the control bar's analog value.
// The document takes both over on OK.

#include <QDialog>
#include <string>

class QLineEdit;

namespace vesk {

class CVESKDoc;
class DialogPrompts;

inline constexpr std::size_t kMaxAnalogCaption = 16;

// "" when the caption can be shown on the control bar (1 to 16 characters), else the refusal.
std::string CheckAnalogCaption(const std::string& caption);

class CAnalogInputDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAnalogInputDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  QLineEdit* caption_ = nullptr;
  QLineEdit* scale_ = nullptr;
};

}  // namespace vesk
