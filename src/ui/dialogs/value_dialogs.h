#pragma once
// The small modal dialogs that set one value each: the counter's firmware version, the
// window count bounds, the survey latitude, the user file header, the counter constant and
// the maximum MEP length. Each checks its input with a pure function that returns the text
// shown to the user ("" when the input is accepted), and on OK writes the settings store and
// the document.

#include <QDialog>
#include <optional>
#include <string>
#include <string_view>

class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QVBoxLayout;

namespace vesk {

class CVESKDoc;
class DialogPrompts;

// --- validation (empty text: accepted) ---
std::string ValidateFirmwareVersion(std::string_view text);
// The version in the counter's status text ("VESK VERSION: 2.30"), "" when it has none.
std::string ReportedFirmwareVersion(std::string_view counterText);
std::string ValidateWindowBounds(int lower, int upper);
std::string ValidateSurveyLat(std::string_view text);
std::string ValidateCounterConstant(std::string_view text);
std::string ValidateMaxMepLength(int length);
// A whole text that is one decimal number (blanks around it allowed), read in the C locale.
std::optional<double> ParseDecimalText(std::string_view text);

// What the value dialogs share: OK runs the confirmation, then the check (a refused value is
// reported and the dialog stays open), then stores the value.
class CValueDlg : public QDialog {
  Q_OBJECT

 public:
  // Message boxes go through `prompts` (tests record them).
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 protected:
  CValueDlg(CVESKDoc& doc, QWidget* parent, const char* caption);
  // Adds the OK and Cancel buttons below what the dialog put into Body().
  void FinishLayout();
  QVBoxLayout* Body() { return body_; }
  DialogPrompts& Prompts() { return *prompts_; }

  // Asked before the check; false keeps the dialog open unchanged.
  virtual bool Confirm() { return true; }
  virtual std::string Validate() const = 0;
  virtual void Apply() = 0;
  // The field that takes the focus back after a refused value.
  virtual QWidget* Field() const = 0;

  CVESKDoc& doc_;

 private:
  DialogPrompts* prompts_;
  QVBoxLayout* body_;
};

// "VESK Firmware Version": the version text, stored as "FirmwareVer"; the version the counter
// reported, when it did, is shown and offered.
class CFirmwareVersionDlg : public CValueDlg {
  Q_OBJECT
 public:
  CFirmwareVersionDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  QLineEdit* VersionField() { return version_; }

 protected:
  std::string Validate() const override;
  void Apply() override;
  QWidget* Field() const override;

 private:
  QLineEdit* version_;
};

// "Set Window Counts Bounds": lower and upper bound, 0 to 127 each.
class CWindowCountBoundsDlg : public CValueDlg {
  Q_OBJECT
 public:
  CWindowCountBoundsDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  QSpinBox* LowerField() { return lower_; }
  QSpinBox* UpperField() { return upper_; }

 protected:
  std::string Validate() const override;
  void Apply() override;
  QWidget* Field() const override;

 private:
  QSpinBox* lower_;
  QSpinBox* upper_;
};

// "Set Survey Latitude": decimal degrees, -90 to 90.
class CSurveyLatDlg : public CValueDlg {
  Q_OBJECT
 public:
  CSurveyLatDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  QLineEdit* LatitudeField() { return latitude_; }

 protected:
  std::string Validate() const override;
  void Apply() override;
  QWidget* Field() const override;

 private:
  QLineEdit* latitude_;
};

// "User Supplied File Header": several lines put into every raw file header.
class CUserHeaderDlg : public CValueDlg {
  Q_OBJECT
 public:
  CUserHeaderDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  QPlainTextEdit* HeaderField() { return header_; }

 protected:
  std::string Validate() const override { return {}; }
  void Apply() override;
  QWidget* Field() const override;

 private:
  QPlainTextEdit* header_;
};

// "Set Counter Constant": confirmed before it is checked and stored.
class CCounterConstantDlg : public CValueDlg {
  Q_OBJECT
 public:
  CCounterConstantDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  QLineEdit* ConstantField() { return constant_; }

 protected:
  bool Confirm() override;
  std::string Validate() const override;
  void Apply() override;
  QWidget* Field() const override;

 private:
  QLineEdit* constant_;
};

// "Set Maximum MEP Length": 1 to 1000, stored under "MEP Grid".
class CMaxMepLengthDlg : public CValueDlg {
  Q_OBJECT
 public:
  CMaxMepLengthDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  QSpinBox* LengthField() { return length_; }

 protected:
  std::string Validate() const override;
  void Apply() override;
  QWidget* Field() const override;

 private:
  QSpinBox* length_;
};

}  // namespace vesk
