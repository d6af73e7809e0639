// The instrument and port configuration dialogs: what they refuse with which text, what they
// write to the store, and what the document does with it at once.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "gui/view_test_support.h"
#include "ui/dialogs/analog_input_dlg.h"
#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/ctd_dlg.h"
#include "ui/dialogs/os200_config_dlg.h"
#include "ui/dialogs/sbe19p_config_dlg.h"
#include "ui/dialogs/sbe49_config_dlg.h"
#include "ui/dialogs/temp_cond_coeff_dlg.h"

namespace vesk {
namespace {

using test::RecordingPrompts;
using test::TestDoc;

void SetText(QWidget& dlg, const char* name, const char* text) {
  auto* edit = dlg.findChild<QLineEdit*>(name);
  ASSERT_NE(edit, nullptr) << name;
  edit->setText(text);
}

void SelectModel(QWidget& dlg, int code) {
  auto* list = dlg.findChild<QListWidget*>("models");
  for (int row = 0; row < list->count(); ++row) {
    if (list->item(row)->data(Qt::UserRole).toInt() == code) list->setCurrentRow(row);
  }
}

TEST(CoefficientText, NumbersInTheStoredFormsAreAcceptedAndOtherTextRefused) {
  const struct {
    const char* text;
    bool accepted;
  } table[] = {
      {"3.2500e-006", true}, {"-9.570000e-008", true},
      {"0.0045", true},      {" 1000.0 ", true},
      {"+12", true},         {"1E5", true},
      {"0", true},           {"", false},
      {"  ", false},         {"abc", false},
      {"1.2.3", false},      {"12 mm", false},
      {"1,5", false},        {"nan", false},
      {"inf", false},        {"1e999", false},
  };
  for (const auto& row : table) {
    const std::string message = CheckCoefficientText("G", row.text);
    EXPECT_EQ(message.empty(), row.accepted) << '"' << row.text << '"';
    if (!row.accepted) {
      EXPECT_NE(message.find("G (\"" + std::string(row.text) + "\") is not a number"),
                std::string::npos)
          << message;
    }
  }
}

TEST(Sbe19CoefficientDialog, RefusesTextAsksForConfirmationAndWritesOnlyOnYes) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  t.store.WriteString("TC_Coeff", "TempCoeff_G", "4.1e-003");
  RecordingPrompts prompts;
  CTempCondCoeffDlg dlg(t.store);
  dlg.SetPrompts(prompts);
  // The stored text is shown as it is.
  EXPECT_EQ(dlg.findChild<QLineEdit*>("TempCoeff_G")->text(), "4.1e-003");
  EXPECT_EQ(dlg.findChild<QLineEdit*>("CondCoeff_CpcorG")->text(), "-9.570000e-008");

  SetText(dlg, "TempCoeff_H", "six");
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_FALSE(prompts.shown[0].question);
  EXPECT_NE(prompts.shown[0].text.find("is not a number"), std::string::npos);
  EXPECT_NE(dlg.result(), QDialog::Accepted);

  SetText(dlg, "TempCoeff_H", "6.5e-4");
  prompts.answers = {false};
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, kConfirmCoefficientUpdate);
  EXPECT_TRUE(prompts.shown[1].question);
  EXPECT_EQ(doc.store.ReadString("TC_Coeff", "TempCoeff_H", "none"), "none");
  EXPECT_NE(dlg.result(), QDialog::Accepted);

  prompts.answers = {true};
  dlg.findChild<QRadioButton*>("presSet1")->setChecked(true);
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(doc.store.ReadString("TC_Coeff", "TempCoeff_H", "none"), "6.5e-4");
  EXPECT_EQ(doc.store.ReadString("TC_Coeff", "TempCoeff_G", "none"), "4.1e-003");
  EXPECT_EQ(doc.store.Read(keys::kTcPresCoeff), 1);
}

TEST(Sbe19CoefficientDialog, ANewCoefficientTakesEffectOnTheNextDecodedLine) {
  TestDoc t;
  t.store.Write(keys::kModelCtd, CtdCatalogue::kSbe19);
  t.store.WriteString("TC_Coeff", "PresCoeff_PA1", "1.0");
  CVESKDoc& doc = t.Make();
  // Pressure word 0x0064: count 100; (PA0 + PA1 N + PA2 N^2 - 14.7) x 0.689476 dbar.
  auto decode = [&doc] {
    std::lock_guard lock(doc.ctdLock);
    doc.ctd.line = "0FA00FA00064";
    doc.DecodeCtdLine();
    return doc.ctd.sample.pressure;
  };
  EXPECT_NEAR(decode(), (100 - 14.7) * 0.689476, 1e-9);

  RecordingPrompts prompts;  // answers Yes
  CTempCondCoeffDlg dlg(t.store);
  dlg.SetPrompts(prompts);
  SetText(dlg, "PresCoeff_PA0", "1.47e+001");
  dlg.accept();
  ASSERT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_NEAR(decode(), 100 * 0.689476, 1e-9);
}

TEST(CtdDialog, TakesModelSerialAndMultiplexerOverAtOnce) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CCTDDlg dlg(doc);
  dlg.SetPrompts(prompts);
  EXPECT_EQ(dlg.windowTitle(), "External Instrument Input Device");
  EXPECT_EQ(dlg.SelectedModel(), 0);  // the stored model is selected

  SelectModel(dlg, CtdCatalogue::kSbe19);
  EXPECT_EQ(dlg.findChild<QLabel*>("rate")->text(), "2 Hz");
  EXPECT_EQ(dlg.findChild<QLabel*>("format")->text(), "ASCII HEX: ( ttttccccpppp )");
  SetText(dlg, "serial", " 19-4711 ");
  dlg.findChild<QRadioButton*>("viaMux")->setChecked(true);
  dlg.accept();

  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(t.store.Read(keys::kModelCtd), CtdCatalogue::kSbe19);
  EXPECT_EQ(t.store.Read(keys::kCtdSerial), "19-4711");
  EXPECT_EQ(t.store.Read(keys::kInstrInputViaMux), 1);
  EXPECT_TRUE(doc.instrInputViaMux);
  EXPECT_EQ(doc.catalogue.Find(CtdCatalogue::kSbe19)->serial, "19-4711");
  std::lock_guard lock(doc.ctdLock);
  EXPECT_EQ(doc.ctd.model, CtdCatalogue::kSbe19);
  EXPECT_TRUE(doc.ctd.viaMux);
}

TEST(CtdDialog, RefusesNoSelectionAndModelsWithoutConfiguration) {
  TestDoc t;
  t.store.Write(keys::kModelCtd, CtdCatalogue::kOs200);  // stored, but not in the list
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CCTDDlg dlg(doc);
  dlg.SetPrompts(prompts);
  EXPECT_EQ(dlg.SelectedModel(), -1);
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, kSelectValidCtd);
  EXPECT_EQ(prompts.shown[0].caption, "Error");
  EXPECT_EQ(prompts.shown[0].icon, QMessageBox::Warning);
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(t.store.Read(keys::kModelCtd), CtdCatalogue::kOs200);

  for (int model : {0, 1, 2, 3, 8}) {
    SelectModel(dlg, model);
    prompts.shown.clear();
    dlg.Configure();
    ASSERT_EQ(prompts.shown.size(), 1u) << model;
    EXPECT_EQ(prompts.shown[0].text, kUnableToConfigureCtd);
    EXPECT_EQ(prompts.shown[0].caption, kCtdConfigurationCaption);
  }
}

TEST(CtdDialog, EachConfigurableModelOpensItsOwnDialog) {
  TestDoc t;
  t.Make();
  RecordingPrompts prompts;
  EXPECT_NE(
      qobject_cast<CTempCondCoeffDlg*>(CreateCtdConfigDialog(4, t.store, prompts, nullptr).get()),
      nullptr);
  EXPECT_NE(
      qobject_cast<CSBE19pConfigDlg*>(CreateCtdConfigDialog(5, t.store, prompts, nullptr).get()),
      nullptr);
  EXPECT_NE(
      qobject_cast<COS200ConfigDlg*>(CreateCtdConfigDialog(6, t.store, prompts, nullptr).get()),
      nullptr);
  EXPECT_NE(
      qobject_cast<CSbe49ConfigDlg*>(CreateCtdConfigDialog(7, t.store, prompts, nullptr).get()),
      nullptr);
  for (int model : {-1, 0, 1, 2, 3, 8, 9}) {
    EXPECT_EQ(CreateCtdConfigDialog(model, t.store, prompts, nullptr), nullptr) << model;
  }
}

TEST(CoefficientDialogs, RefuseTextAndWriteNumbersAsTyped) {
  TestDoc t;
  t.Make();
  RecordingPrompts prompts;
  const struct {
    const char* section;
    const char* key;
    bool confirms;
  } table[] = {
      {"SBE19plusConfig", "CTcor", true}, {"OS200Config", "TB", false}, {"SBE49", "PTCB1", false}};
  for (const auto& row : table) {
    std::unique_ptr<QDialog> dlg =
        CreateCtdConfigDialog(std::string(row.section) == "SBE49"         ? 7
                              : std::string(row.section) == "OS200Config" ? 6
                                                                          : 5,
                              t.store, prompts, nullptr);
    prompts.shown.clear();
    SetText(*dlg, row.key, "1.0x");
    dlg->accept();
    ASSERT_EQ(prompts.shown.size(), 1u) << row.section;
    EXPECT_NE(prompts.shown[0].text.find("is not a number"), std::string::npos);
    EXPECT_FALSE(t.store.Contains(row.section, row.key));

    SetText(*dlg, row.key, "3.2500e-006");
    dlg->accept();
    EXPECT_EQ(dlg->result(), QDialog::Accepted) << row.section;
    EXPECT_EQ(prompts.shown.size(), row.confirms ? 2u : 1u) << row.section;
    EXPECT_EQ(t.store.ReadString(row.section, row.key, ""), "3.2500e-006");
  }
}

TEST(AnalogInputDialog, CaptionAndScaleReachTheDocument) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CAnalogInputDlg dlg(doc);
  dlg.SetPrompts(prompts);
  EXPECT_EQ(dlg.windowTitle(), "Analog Input Configuration");
  const struct {
    const char* caption;
    const char* scale;
    bool accepted;
  } table[] = {{"", "2.0", false},
               {"A CAPTION LONGER THAN 16", "2.0", false},
               {"FLUOR", "two", false},
               {"FLUOR", "2.5e-1", true}};
  for (const auto& row : table) {
    prompts.shown.clear();
    SetText(dlg, "AnalogCaption", row.caption);
    SetText(dlg, "AnalogScale", row.scale);
    dlg.accept();
    EXPECT_EQ(prompts.shown.empty(), row.accepted) << row.caption << " " << row.scale;
  }
  EXPECT_EQ(doc.analogCaption, "FLUOR");
  EXPECT_DOUBLE_EQ(doc.analogScale, 0.25);
  EXPECT_EQ(t.store.Read(keys::kAnalogScale), "2.5e-1");
}

}  // namespace
}  // namespace vesk
