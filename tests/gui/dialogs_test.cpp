// The value dialogs: what each refuses with which text, what OK stores in the settings and
// the document, and the confirmation before the counter constant changes.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "gui/view_test_support.h"
#include "ui/dialogs/value_dialogs.h"

namespace vesk {
namespace {

using test::RecordingPrompts;
using test::TestDoc;

TEST(ValueChecks, WindowBounds) {
  EXPECT_EQ(ValidateWindowBounds(10, 10), "The Lower Bound CANNOT EQUAL the Upper Bound");
  EXPECT_EQ(ValidateWindowBounds(11, 10), "The Lower Bound CANNOT BE GREATER than the Upper Bound");
  EXPECT_EQ(ValidateWindowBounds(5, 6), "");
  EXPECT_EQ(ValidateWindowBounds(0, 127), "");
  EXPECT_NE(ValidateWindowBounds(0, 128), "");
  EXPECT_NE(ValidateWindowBounds(-1, 5), "");
}

TEST(ValueChecks, SurveyLatitudeCounterConstantFirmwareAndMepLength) {
  for (const char* text : {"90", "-90", "45.1234", " 12.5 ", "+3", "-.5"})
    EXPECT_EQ(ValidateSurveyLat(text), "") << text;
  for (const char* text : {"91", "-90.0001", "99.9999", "", "abc", "12,5", "12.5N", "."})
    EXPECT_NE(ValidateSurveyLat(text), "") << text;
  EXPECT_EQ(ValidateSurveyLat("91"), "Please enter a number between -90 and 90.");
  EXPECT_EQ(ValidateCounterConstant("").rfind("This value cannot be empty.", 0), 0u);
  EXPECT_EQ(ValidateCounterConstant("   "), ValidateCounterConstant(""));
  EXPECT_EQ(ValidateCounterConstant("0"), "");
  EXPECT_EQ(ValidateCounterConstant("3.2500e-006"), "");
  EXPECT_EQ(ValidateFirmwareVersion("2.25"), "");
  EXPECT_NE(ValidateFirmwareVersion(""), "");
  EXPECT_NE(ValidateFirmwareVersion("v2"), "");
  EXPECT_EQ(ValidateMaxMepLength(1), "");
  EXPECT_EQ(ValidateMaxMepLength(1000), "");
  EXPECT_NE(ValidateMaxMepLength(0), "");
  EXPECT_NE(ValidateMaxMepLength(1001), "");
}

class ValueDialogTest : public ::testing::Test {
 protected:
  TestDoc t;
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
};

TEST_F(ValueDialogTest, EmptyCounterConstantIsRefusedAfterTheConfirmation) {
  doc.Store().Write(keys::kCounterConstant, "0.5");
  CCounterConstantDlg dlg(doc);
  dlg.SetPrompts(prompts);
  EXPECT_EQ(dlg.ConstantField()->text(), "0.5");
  dlg.ConstantField()->setText("");
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_TRUE(prompts.shown[0].question);
  EXPECT_EQ(prompts.shown[1].text, ValidateCounterConstant(""));
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(doc.Store().Read(keys::kCounterConstant), "0.5");

  // Cancelled confirmation: nothing checked, nothing stored.
  prompts.shown.clear();
  prompts.answers = {false};
  dlg.ConstantField()->setText("2.0");
  dlg.accept();
  EXPECT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(doc.Store().Read(keys::kCounterConstant), "0.5");

  dlg.accept();  // confirmed
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(doc.Store().Read(keys::kCounterConstant), "2.0");
  EXPECT_EQ(doc.Settings().scan.counterConstantText, "2.0");
  EXPECT_DOUBLE_EQ(doc.Settings().scan.counterScale, 2.0 / kCounterReferenceConstant);
}

TEST_F(ValueDialogTest, FirmwareHeaderAndMepLengthAreStored) {
  CFirmwareVersionDlg firmware(doc);
  firmware.SetPrompts(prompts);
  EXPECT_EQ(firmware.VersionField()->text(), "2.25");
  firmware.VersionField()->setText("2.30");
  firmware.accept();
  EXPECT_EQ(doc.Store().Read(keys::kFirmwareVer), "2.30");
  EXPECT_DOUBLE_EQ(doc.Settings().scan.firmwareVersion, 2.30);

  CUserHeaderDlg header(doc);
  header.HeaderField()->setPlainText("Cruise AB-26\nStation 4\nCast 2");
  header.accept();
  EXPECT_EQ(doc.Store().Read(keys::kUserSuppliedFileHeader), "Cruise AB-26\nStation 4\nCast 2");
  EXPECT_EQ(doc.Settings().userSuppliedFileHeader, "Cruise AB-26\nStation 4\nCast 2");

  CMaxMepLengthDlg mep(doc);
  mep.LengthField()->setValue(250);
  mep.accept();
  EXPECT_EQ(doc.Store().ReadInt("MEP Grid", "MaxMepLength", 0), 250);
  EXPECT_EQ(doc.Settings().scan.maxMepLength, 250);
  EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace vesk
