// The instrument and port configuration dialogs: what they refuse with which text, what they
// write to the store, and what the document does with it at once.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>
#include <memory>

#include "gui/view_test_support.h"
#include "test_support/temp_dir.h"
#include "ui/dialogs/analog_input_dlg.h"
#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/com_port_dlg_du.h"
#include "ui/dialogs/com_port_dlg_zev.h"
#include "ui/dialogs/com_port_prop_sheet.h"
#include "ui/dialogs/ctd_dlg.h"
#include "ui/dialogs/lat_long_parsing_config_dlg.h"
#include "ui/dialogs/nav_viewer_dlg.h"
#include "ui/dialogs/remote_control_dlg.h"
#include "ui/dialogs/sbe19plus_config_dlg.h"
#include "ui/dialogs/temp_cond_coeff_dlg.h"
#include "ui/dialogs/web_view_dlg.h"

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
  for (const char* text :
       {"3.2500e-006", "-9.570000e-008", "0.0045", " 1000.0 ", "+12", "1E5", "0"})
    EXPECT_EQ(CheckCoefficientText("G", text), "") << text;
  for (const char* text : {"", "  ", "abc", "1.2.3", "12 mm", "1,5", "nan", "inf", "1e999"}) {
    const std::string message = CheckCoefficientText("G", text);
    EXPECT_NE(message.find("G (\"" + std::string(text) + "\") is not a number"), std::string::npos)
        << message;
  }
}

TEST(Sbe19CoefficientDialog, RefusesTextAsksForConfirmationAndWritesOnlyOnYes) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  t.store.WriteString("TC_Coeff", "TempCoeff_G", "4.1e-003");
  RecordingPrompts prompts;
  CTempCondCoeffDlg dlg(t.store);
  dlg.SetPrompts(prompts);

  SetText(dlg, "TempCoeff_H", "six");
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_NE(prompts.shown[0].text.find("is not a number"), std::string::npos);
  EXPECT_NE(dlg.result(), QDialog::Accepted);

  SetText(dlg, "TempCoeff_H", "6.5e-4");
  prompts.answers = {false};
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, kConfirmCoefficientUpdate);
  EXPECT_EQ(doc.Store().ReadString("TC_Coeff", "TempCoeff_H", "none"), "none");

  prompts.answers = {true};
  dlg.findChild<QRadioButton*>("presSet1")->setChecked(true);
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(doc.Store().ReadString("TC_Coeff", "TempCoeff_H", "none"), "6.5e-4");
  EXPECT_EQ(doc.Store().ReadString("TC_Coeff", "TempCoeff_G", "none"), "4.1e-003");
  EXPECT_EQ(doc.Store().Read(keys::kTcPresCoeff), 1);
}

// The dialogs that grow with the tables of models and coefficients still fit a laptop's
// 1366x768 screen, less a task bar.
TEST(LaptopScreen, TheTallestAndWidestDialogsFit) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  const std::unique_ptr<QWidget> dialogs[] = {
      std::make_unique<CComPortPropSheet>(doc), std::make_unique<CCTDDlg>(doc),
      std::make_unique<CSbe19plusConfigDlg>(t.store), std::make_unique<CTempCondCoeffDlg>(t.store)};
  for (const auto& dlg : dialogs) {
    const QSize wanted = dlg->sizeHint().expandedTo(dlg->minimumSizeHint());
    EXPECT_TRUE(wanted.width() <= 1366 && wanted.height() <= 768 - 40)
        << dlg->metaObject()->className() << " wants " << wanted.width() << "x" << wanted.height();
  }
}

TEST(CtdDialog, TakesModelSerialAndMultiplexerOverAtOnce) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CCTDDlg dlg(doc);
  dlg.SetPrompts(prompts);
  SelectModel(dlg, CtdCode::kSbe19);
  SetText(dlg, "serial", " 19-4711 ");
  dlg.findChild<QRadioButton*>("viaMux")->setChecked(true);
  dlg.accept();

  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(t.store.Read(keys::kModelCtd), CtdCode::kSbe19);
  EXPECT_EQ(t.store.Read(keys::kCtdSerial), "19-4711");
  EXPECT_TRUE(doc.Settings().scan.instrInputViaMux);
  EXPECT_EQ(doc.Catalogue().Find(CtdCode::kSbe19)->serial, "19-4711");
  EXPECT_EQ(doc.Settings().scan.ctdModel, CtdCode::kSbe19);
}

TEST(CtdDialog, RefusesNoSelectionAndAModelWithoutConfiguration) {
  TestDoc t;
  t.store.Write(keys::kModelCtd, CtdCode::kOs200);  // stored, but not in the list
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CCTDDlg dlg(doc);
  dlg.SetPrompts(prompts);
  EXPECT_EQ(dlg.SelectedModel(), -1);
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, kSelectValidCtd);
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(t.store.Read(keys::kModelCtd), CtdCode::kOs200);

  EXPECT_TRUE(dlg.findChild<QPushButton*>("configure")->isEnabled());  // the stored OS200's
  SelectModel(dlg, 2);  // a model without a configuration dialog: nothing to offer
  EXPECT_FALSE(dlg.findChild<QPushButton*>("configure")->isEnabled());
}

TEST(AnalogInputDialog, CaptionAndScaleReachTheDocument) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CAnalogInputDlg dlg(doc);
  dlg.SetPrompts(prompts);
  const std::pair<const char*, const char*> refused[] = {
      {"", "2.0"}, {"A CAPTION LONGER THAN 16", "2.0"}, {"FLUOR", "two"}, {"FLUOR", "0.0"}};
  for (const auto& [caption, scale] : refused) {
    SetText(dlg, "AnalogCaption", caption);
    SetText(dlg, "AnalogScale", scale);
    dlg.accept();
    EXPECT_EQ(prompts.shown.size(), 1u) << caption << " " << scale;
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    prompts.shown.clear();
  }
  SetText(dlg, "AnalogScale", "2.5e-1");
  dlg.accept();
  EXPECT_EQ(doc.Settings().analogCaption, "FLUOR");
  EXPECT_DOUBLE_EQ(doc.Settings().analogScale, 0.25);
  EXPECT_EQ(t.store.Read(keys::kAnalogScale), "2.5e-1");
}

TEST(NmeaRules, IdentifiersAndTerminations) {
  for (const char* id : {"", "$GPGGA", "$GPRMC"}) EXPECT_EQ(CheckNmeaIdentifier(id), "") << id;
  for (const char* id : {"$GPGG", "GPGGA", "GPGGAX", "$GPGGAA", "$", " $GPGGA"})
    EXPECT_EQ(CheckNmeaIdentifier(id), kNmeaIdentifierWarning) << id;

  // Neither character is refused, one is warned about, both pass.
  EXPECT_TRUE(CheckNmeaTermination(3, false, false).refused);
  for (const auto& [cr, lf] : {std::pair{false, true}, std::pair{true, false}}) {
    EXPECT_FALSE(CheckNmeaTermination(2, cr, lf).refused);
    EXPECT_FALSE(CheckNmeaTermination(2, cr, lf).message.empty());
  }
  EXPECT_TRUE(CheckNmeaTermination(1, true, true).message.empty());
}

TEST(PortSheet, TheSamePortIsRefusedComparingResolvedDevices) {
  test::TempDir dev;
  test::WriteFile(dev / "ttyUSB0", "");
  std::filesystem::create_symlink(dev / "ttyUSB0", dev / "by-id-link");
  auto port = [](int n, std::string device) {
    PortSettings p;
    p.port = n;
    p.device = std::move(device);
    return p;
  };
  const auto same = [](const PortSettings& counter, const PortSettings& aux) {
    return !CheckPortsDiffer(counter, aux).empty();
  };
  EXPECT_TRUE(same(port(1, ""), port(1, "")));
  EXPECT_FALSE(same(port(1, ""), port(2, "")));
  EXPECT_TRUE(same(port(1, ""), port(7, "/dev/ttyS0")));
  EXPECT_TRUE(same(port(1, dev / "ttyUSB0"), port(1, dev / "by-id-link")));
  EXPECT_FALSE(same(port(3, dev / "ttyUSB0"), port(3, "")));
}

TEST(PortSheet, OkTakesEveryValueOverUnlessBothPagesNameOneDevice) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CComPortPropSheet sheet(doc);
  sheet.SetPrompts(prompts);
  CComPortDlgZEV* aux = sheet.PageZEV();
  aux->findChild<QRadioButton*>("mode1")->click();
  aux->findChild<QLineEdit*>("nmeaStart1")->setText("$GPGGA");
  sheet.accept();                                                      // no device: refused
  aux->findChild<QComboBox*>("device")->setCurrentText("/dev/ttyS0");  // the counter port's
  sheet.accept();
  ASSERT_EQ(prompts.Texts().size(), 2u);
  EXPECT_EQ(prompts.Texts()[1], kSamePortError);
  EXPECT_NE(sheet.result(), QDialog::Accepted);
  EXPECT_FALSE(t.store.Contains("PortSettings", "ComPort_ZEV"));
  EXPECT_EQ(doc.Settings().auxPort.port, 2);

  aux->findChild<QComboBox*>("device")->setCurrentText("/dev/ttyS3");
  aux->findChild<QComboBox*>("bitRate")->setCurrentText("9600");
  aux->findChild<QComboBox*>("parity")->setCurrentIndex(2);
  sheet.PageDU()->findChild<QComboBox*>("device")->setCurrentText("/dev/ttyUSB7");
  prompts.shown.clear();
  sheet.accept();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(t.store.Read(keys::kBpsZev), 9600);
  EXPECT_EQ(t.store.Read(keys::kParityZev), 2);
  EXPECT_EQ(t.store.ReadString("NavSettings", "NmeaEnd1", ""), "\r\n");
  EXPECT_EQ(doc.Settings().auxPort.device, "/dev/ttyS3");
  EXPECT_EQ(doc.Settings().counterPort.device, "/dev/ttyUSB7");
  EXPECT_EQ(doc.Settings().auxPortMode, 1);
  EXPECT_EQ(doc.Settings().scan.nav.nmeaStart[0], "$GPGGA");
}

TEST(LatLongParsingDialog, WritesThePositions) {
  TestDoc t;
  t.store.WriteString("NavSettings", "NmeaStart1", "$GPGGA");
  CVESKDoc& doc = t.Make();
  CLatLongParsingConfigDlg dlg(doc);
  dlg.findChild<QComboBox*>("SentenceToParse")->setCurrentText("$GPGGA");
  const std::pair<const char*, int> positions[] = {
      {"LatPos", 3}, {"LatNSPos", 4}, {"LongPos", 5}, {"LongEWPos", 6}, {"TimePos", 2}};
  for (const auto& [key, value] : positions) dlg.findChild<QSpinBox*>(key)->setValue(value);
  dlg.findChild<QSpinBox*>("StaleFixSeconds")->setValue(30);
  dlg.accept();
  EXPECT_EQ(doc.Settings().scan.nav.staleFixSeconds, 30);
  for (const auto& [key, value] : positions)
    EXPECT_EQ(t.store.ReadInt("NavSettings", key, 0), value);
  EXPECT_EQ(doc.Settings().scan.nav.timePos, 2);
}

// The viewer shows the captured sentences within the log's bound; a
// viewer opened later shows the recent ones at once.
TEST(NavViewer, AppendsWithinItsBound) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  auto* viewer = new CNavViewerDlg(doc);
  viewer->resize(560, 320);
  viewer->show();
  NavViewerLog& log = doc.Results().Viewer();
  const int sentences = 3000;
  for (int i = 0; i < sentences; ++i) {
    log.Append("$GPGGA," + std::to_string(i) + ",4807.038,N,01131.000,E*47\r\n");
    if (i % 700 == 0) viewer->OnMessage(Uwm::NavViewerUpdate);
  }
  viewer->OnMessage(Uwm::NavViewerUpdate);
  QStringList shown = viewer->Text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(shown.size(), static_cast<qsizetype>(NavViewerLog::kMaxLines));
  EXPECT_EQ(shown.front(), QString("$GPGGA,%1,4807.038,N,01131.000,E*47").arg(sentences - 500));
  EXPECT_EQ(shown.back(), QString("$GPGGA,%1,4807.038,N,01131.000,E*47").arg(sentences - 1));
  delete viewer;
  CNavViewerDlg reopened(doc);
  EXPECT_EQ(reopened.Text().split('\n', Qt::SkipEmptyParts), shown);
}

TEST(RemoteControlRules, AddressesAndTheOpenToOtherHostsTest) {
  for (const char* bind : {"127.8.0.1", "::1", "::ffff:127.0.0.1"}) {
    EXPECT_EQ(CheckBindAddress(bind), "") << bind;
    EXPECT_FALSE(OpensToOtherHosts(bind)) << bind;
  }
  for (const char* bind : {"0.0.0.0", "*", "", "::", "192.168.1.20"}) {
    EXPECT_EQ(CheckBindAddress(bind), "") << bind;
    EXPECT_TRUE(OpensToOtherHosts(bind)) << bind;
  }
  for (const char* bind : {"localhost", "1.2.3"}) EXPECT_NE(CheckBindAddress(bind), "") << bind;
  // Names are looked up at start.
  for (const char* hosts : {"", " 10.0.0.5 , fe80::1 ,", "10.0.0.5, bridge-pc"})
    EXPECT_EQ(CheckAllowedHosts(hosts), "") << hosts;
  for (const char* hosts : {"bridge pc", "-gw", "10.0.0.256"})
    EXPECT_NE(CheckAllowedHosts(hosts), "") << hosts;
  EXPECT_NE(OtherHostsWarning("0.0.0.0", "10.0.0.5").find("may send commands: 10.0.0.5"),
            std::string::npos);
}

TEST(RemoteControlDialog, OpeningToOtherHostsNeedsAYes) {
  TestDoc t;
  t.Make();
  RecordingPrompts prompts;
  CRemoteControlDlg dlg(t.store);
  dlg.SetPrompts(prompts);
  dlg.findChild<QSpinBox*>("port")->setValue(50000);
  dlg.accept();  // loopback: nothing to ask
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(t.store.Read(keys::kRemotePort), 50000);

  SetText(dlg, "bindAddress", "0.0.0.0");
  prompts.answers = {false};
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_TRUE(prompts.shown[0].question);
  EXPECT_EQ(t.store.Read(keys::kRemoteBindAddress), "127.0.0.1");

  SetText(dlg, "allowedHosts", "10.0.0.5,ship lab");
  prompts.shown.clear();
  dlg.accept();  // refused before anything is asked
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_FALSE(prompts.shown[0].question);

  SetText(dlg, "allowedHosts", "10.0.0.5");
  prompts.answers = {true};
  dlg.accept();
  EXPECT_EQ(t.store.Read(keys::kRemoteAllowedHosts), "10.0.0.5");
}

TEST(WebViewDialog, RefusesUnusableHostsAndStoresTheRest) {
  for (const char* hosts : {"", " * ", "10.0.0.0/24, bridge-pc, fe80::1", "2001:db8::/32 ,"})
    EXPECT_EQ(CheckWebAllowedHosts(hosts), "") << hosts;
  for (const char* hosts : {"10.0.0.0/33", "ship lab", "10.0.0.256", "*/8"})
    EXPECT_NE(CheckWebAllowedHosts(hosts), "") << hosts;
  TestDoc t;
  t.Make();
  RecordingPrompts prompts;
  CWebViewDlg dlg(t.store);
  dlg.SetPrompts(prompts);
  dlg.findChild<QCheckBox*>("webEnabled")->setChecked(true);
  dlg.findChild<QSpinBox*>("webPort")->setValue(8080);
  SetText(dlg, "webAllowedHosts", "10.0.0.0/24, ship lab");
  dlg.accept();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(t.store.Read(keys::kWebEnabled), 0);  // refused: nothing stored
  SetText(dlg, "webAllowedHosts", "10.0.0.0/24");
  dlg.accept();
  EXPECT_EQ(t.store.Read(keys::kWebEnabled), 1);
  EXPECT_EQ(t.store.Read(keys::kWebPort), 8080);
  EXPECT_EQ(t.store.Read(keys::kWebAllowedHosts), "10.0.0.0/24");
}

}  // namespace
}  // namespace vesk
