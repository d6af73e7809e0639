// Every window of the program fits a laptop's 1366x768 screen (less a task bar), with the
// control bar's position fields wide enough for a whole position.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <functional>
#include <memory>

#include "app/gui/qt_window_messages.h"
#include "display/binned_data_popup_dlg.h"
#include "display/main_frame.h"
#include "gui/view_test_support.h"
#include "ui/dialogs/analog_input_dlg.h"
#include "ui/dialogs/com_port_prop_sheet.h"
#include "ui/dialogs/ctd_dlg.h"
#include "ui/dialogs/data_file_naming_dlg.h"
#include "ui/dialogs/extract_data_stream_dlg.h"
#include "ui/dialogs/grid_scaling_factor_dlg.h"
#include "ui/dialogs/lat_long_parsing_config_dlg.h"
#include "ui/dialogs/nav_viewer_dlg.h"
#include "ui/dialogs/os200_config_dlg.h"
#include "ui/dialogs/playback_data_dlg.h"
#include "ui/dialogs/remote_control_dlg.h"
#include "ui/dialogs/sbe19p_config_dlg.h"
#include "ui/dialogs/sbe49_config_dlg.h"
#include "ui/dialogs/select_time_plots_dlg.h"
#include "ui/dialogs/statistic_analysis_dlg.h"
#include "ui/dialogs/store_snapshot_dlg.h"
#include "ui/dialogs/temp_cond_coeff_dlg.h"
#include "ui/dialogs/time_charts_scaling_prop.h"
#include "ui/dialogs/time_plot_insert_cursor_dlg.h"
#include "ui/dialogs/value_dialogs.h"

namespace vesk {
namespace {

constexpr QSize kLaptop(1366, 768 - 40);

TEST(LaptopScreen, EveryWindowFits) {
  test::TestDoc t;
  CVESKDoc& doc = t.Make();
  using Make = std::function<std::unique_ptr<QWidget>()>;
  const std::pair<const char*, Make> windows[] = {
      {"analog input", [&] { return std::make_unique<CAnalogInputDlg>(doc); }},
      {"port settings", [&] { return std::make_unique<CComPortPropSheet>(doc); }},
      {"CTD", [&] { return std::make_unique<CCTDDlg>(doc); }},
      {"file naming", [&] { return std::make_unique<CDataFileNamingDlg>(doc); }},
      {"extract", [&] { return std::make_unique<CExtractDataStreamDlg>(t.store); }},
      {"grid scaling", [&] { return std::make_unique<CGridScalingFactorDlg>(doc); }},
      {"NMEA parsing", [&] { return std::make_unique<CLatLongParsingConfigDlg>(doc); }},
      {"nav viewer", [&] { return std::make_unique<CNavViewerDlg>(doc); }},
      {"OS200", [&] { return std::make_unique<COS200ConfigDlg>(t.store); }},
      {"playback", [&] { return std::make_unique<CPlaybackDataDlg>(doc); }},
      {"remote control", [&] { return std::make_unique<CRemoteControlDlg>(t.store); }},
      {"SBE 19plus", [&] { return std::make_unique<CSBE19pConfigDlg>(t.store); }},
      {"SBE 49", [&] { return std::make_unique<CSbe49ConfigDlg>(t.store); }},
      {"select charts", [&] { return std::make_unique<CSelectTimePlotsDlg>(doc); }},
      {"statistics", [&] { return std::make_unique<CStatisticAnalysisDlg>(doc); }},
      {"store snapshot", [&] { return std::make_unique<CStoreSnapshotDlg>(doc); }},
      {"coefficients", [&] { return std::make_unique<CTempCondCoeffDlg>(t.store); }},
      {"chart scaling", [&] { return std::make_unique<CTimeChartsScalingProp>(doc); }},
      {"cursor", [&] { return std::make_unique<CTimePlot_InsertCursorDlg>(); }},
      {"survey latitude", [&] { return std::make_unique<CSurveyLatDlg>(doc); }},
      {"user header", [&] { return std::make_unique<CUserHeaderDlg>(doc); }},
      {"counter constant", [&] { return std::make_unique<CCounterConstantDlg>(doc); }},
      {"max MEP length", [&] { return std::make_unique<CMaxMepLengthDlg>(doc); }},
      {"firmware", [&] { return std::make_unique<CFirmwareVersionDlg>(doc); }},
      {"window bounds", [&] { return std::make_unique<CWindowCountBoundsDlg>(doc); }},
      {"popup", [&] { return std::make_unique<CBinnedDataPopupDlg>(doc); }},
  };
  for (const auto& [name, make] : windows) {
    const std::unique_ptr<QWidget> w = make();
    const QSize wanted = w->sizeHint().expandedTo(w->minimumSizeHint());
    EXPECT_LE(wanted.width(), kLaptop.width()) << name;
    EXPECT_LE(wanted.height(), kLaptop.height()) << name;
  }

  QtWindowMessages messages;
  CMainFrame frame(doc, messages);
  EXPECT_LE(frame.minimumSizeHint().width(), kLaptop.width());
  EXPECT_LE(frame.minimumSizeHint().height(), kLaptop.height());
  frame.resize(kLaptop);
  frame.show();
  QApplication::processEvents();
  // A whole position reads in its field.
  for (BarField f : {BarField::Latitude, BarField::Longitude}) {
    auto* field = frame.ControlBar()->findChild<QLineEdit*>(
        QStringLiteral("field%1").arg(static_cast<int>(f)));
    ASSERT_NE(field, nullptr);
    EXPECT_GE(
        field->width(),
        QFontMetrics(field->font()).horizontalAdvance(QString::fromLatin1("063\xB0 30' 00\" W")) +
            8);
  }
}

}  // namespace
}  // namespace vesk
