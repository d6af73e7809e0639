#pragma once
// A grid of labelled text fields, one per calibration coefficient of one store section. The
// store keeps coefficients as text ("3.2500e-006", "0.0045"): a field shows that text as it
// is, accepts any number in plain or exponent form, and writes the trimmed text back.

#include <QWidget>
#include <span>
#include <string>
#include <vector>

#include "instruments/ctd_coefficient_tables.h"

class QLineEdit;

namespace vesk {

class DialogPrompts;

class SettingsStore;

// A field per coefficient of the model's table: its key (also the field's object name), its
// label, and the text shown while the store has none.
using CoefficientField = CoefficientText;

// "" when `text` is a finite number (leading and trailing blanks allowed, read like C strtod
// in the C locale); otherwise the message that refuses the value of `label`.
std::string CheckCoefficientText(const std::string& label, const std::string& text);

class CoefficientForm : public QWidget {
  Q_OBJECT

 public:
  CoefficientForm(SettingsStore& store, const char* section,
                  std::span<const CoefficientField> fields, int columns, QWidget* parent = nullptr);

  // The first refusal (fields in order) or "": the refused field gets the focus.
  std::string Check() const;
  // Check() for an OK button: false, with the refusal shown as a warning over the dialog,
  // when a field is refused.
  bool CheckAndTell(DialogPrompts& prompts, const char* caption) const;
  // Writes every field's trimmed text to the store.
  void Write() const;
  QLineEdit* Field(const char* key) const;

 private:
  SettingsStore& store_;
  const char* section_;
  std::vector<CoefficientField> fields_;
  std::vector<QLineEdit*> edits_;
};

}  // namespace vesk
