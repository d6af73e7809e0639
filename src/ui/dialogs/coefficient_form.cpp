#include "ui/dialogs/coefficient_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <cmath>
#include <cstring>

#include "seams/settings_store.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kNotANumberBefore = "The value entered for ";
constexpr const char* kNotANumberAfter =
    " is not a number.\n\nEnter a number in plain or exponent form, for example 0.0045 or "
    "3.2500e-006.";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string CheckCoefficientText(const std::string& label, const std::string& text) {
  const std::string t = Trimmed(text);
  std::size_t consumed = 0;
  ParseFloat32(t, &consumed);
  // ParseReal gives the full double; "inf" and "nan" are not coefficients.
  if (t.empty() || consumed != t.size() || !std::isfinite(ParseReal(t))) {
    return kNotANumberBefore + label + " (\"" + text + "\")" + kNotANumberAfter;
  }
  return {};
}

CoefficientForm::CoefficientForm(SettingsStore& store, const char* section,
                                 std::span<const CoefficientField> fields, int columns,
                                 QWidget* parent)
    : QWidget(parent), store_(store), section_(section), fields_(fields.begin(), fields.end()) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  const int perColumn = (static_cast<int>(fields_.size()) + columns - 1) / columns;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const CoefficientField& f = fields_[i];
    auto* edit = new QLineEdit(
        QString::fromStdString(store_.ReadString(section_, f.key, f.defaultText)), this);
    edit->setObjectName(f.key);
    auto* label = new QLabel(QString::fromLatin1(f.label), this);
    label->setBuddy(edit);
    const int row = static_cast<int>(i) % perColumn;
    const int col = static_cast<int>(i) / perColumn * 2;
    grid->addWidget(label, row, col);
    grid->addWidget(edit, row, col + 1);
    edits_.push_back(edit);
  }
}

std::string CoefficientForm::Check() const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    std::string message = CheckCoefficientText(fields_[i].label, edits_[i]->text().toStdString());
    if (!message.empty()) {
      edits_[i]->setFocus();
      edits_[i]->selectAll();
      return message;
    }
  }
  return {};
}

void CoefficientForm::Write() const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    store_.WriteString(section_, fields_[i].key, Trimmed(edits_[i]->text().toStdString()));
  }
}

QLineEdit* CoefficientForm::Field(const char* key) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (std::strcmp(fields_[i].key, key) == 0) return edits_[i];
  }
  return nullptr;
}

bool CoefficientForm::CheckAndTell(DialogPrompts& prompts, const char* caption) const {
  const std::string refusal = Check();
  if (refusal.empty()) return true;
  prompts.Message(window(), refusal, caption, QMessageBox::Warning);
  return false;
}

}  // namespace vesk
