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

TEST(ValueChecks, SurveyLatitudeIsADecimalNumberWithinNinetyDegrees) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {{"91", false},     {"-90.0001", false}, {"90", true},     {"-90", true},
               {"45.1234", true}, {" 12.5 ", true},    {"+3", true},     {"", false},
               {"abc", false},    {"12,5", false},     {"12.5N", false}, {"99.9999", false},
               {"-.5", true},     {".", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(ValidateSurveyLat(c.text).empty(), c.accepted) << c.text;
  }
  EXPECT_EQ(ValidateSurveyLat("91"), "Please enter a number between -90 and 90.");
}

TEST(ValueChecks, CounterConstantFirmwareAndMepLength) {
  const std::string empty =
      "This value cannot be empty.  \n\nIf you do not wish to use the Counter Constant, set it "
      "to 0.";
  EXPECT_EQ(ValidateCounterConstant(""), empty);
  EXPECT_EQ(ValidateCounterConstant("   "), empty);
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
  EXPECT_EQ(prompts.shown[0].text, "Please confirm that you wish to change the Counter Constant.");
  EXPECT_EQ(prompts.shown[1].text,
            "This value cannot be empty.  \n\nIf you do not wish to use the Counter Constant, set "
            "it to 0.");
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
  CUserHeaderDlg again(doc);
  EXPECT_EQ(again.HeaderField()->toPlainText(), "Cruise AB-26\nStation 4\nCast 2");

  CMaxMepLengthDlg mep(doc);
  EXPECT_EQ(mep.windowTitle(), "Set Maximum MEP Length");
  EXPECT_EQ(mep.LengthField()->minimum(), 1);
  EXPECT_EQ(mep.LengthField()->maximum(), 1000);
  mep.LengthField()->setValue(250);
  mep.accept();
  EXPECT_EQ(doc.Store().ReadInt("MEP Grid", "MaxMepLength", 0), 250);
  EXPECT_EQ(doc.Settings().scan.maxMepLength, 250);
  EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace vesk
