// The statistical size analysis dialog: the limit checks and their messages, the reset of a
// refused limit, and the ranges' mean and deviation from the cumulative bins.

#include <gtest/gtest.h>

#include <QLineEdit>

#include "gui/view_test_support.h"
#include "ui/dialogs/statistic_analysis_dlg.h"

namespace vesk {
namespace {

using test::TestDoc;

TEST(StatisticsLimits, ChecksInOrder) {
  struct Case {
    LimitField field;
    unsigned value, other;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {LimitField::LowerA, 90, 375, kLowerBelow100},
      {LimitField::LowerA, 95, 90, kLowerBelow100},  // below 100 comes first
      {LimitField::LowerA, 110, 375, kNotMultipleOf15},
      {LimitField::LowerA, 375, 375, kLowerNotBelowUpper},
      {LimitField::LowerA, 390, 375, kLowerNotBelowUpper},
      {LimitField::LowerA, 105, 375, std::nullopt},
      {LimitField::LowerB, 1080, 1425, std::nullopt},
      {LimitField::LowerB, 1500, 1425, kLowerNotBelowUpper},
      {LimitField::UpperA, 380, 105, kNotMultipleOf15},
      {LimitField::UpperA, 105, 105, kUpperNotAboveLower},
      {LimitField::UpperA, 90, 105, kUpperNotAboveLower},  // no floor of 100 for upper limits
      {LimitField::UpperB, 3000, 1080, std::nullopt},      // past 1905: the last bin
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckLimit(c.field, c.value, c.other), c.message) << c.value << " vs " << c.other;
}

class StatisticsDlgTest : public ::testing::Test {
 protected:
  TestDoc t;
  CVESKDoc& doc = t.Make();
  test::RecordingPrompts prompts;
};

TEST_F(StatisticsDlgTest, RangesFromTheCumulativeBins) {
  BinCounts bins{};
  bins[10] = 10;
  bins[12] = 10;
  bins[80] = 4;
  doc.Results().AddFrameBins(bins, 24, 0);
  CStatisticAnalysisDlg dlg(doc);
  EXPECT_TRUE(dlg.IsRefreshing());
  // A 105..375 holds bins 7..25; B 1080..1425 holds bin 80 only.
  EXPECT_EQ(dlg.Average(0)->text(), "165");
  EXPECT_EQ(dlg.Deviation(0)->text(), "15");
  EXPECT_EQ(dlg.Average(1)->text(), "1200");
  EXPECT_EQ(dlg.Deviation(1)->text(), "0");
  dlg.Limit(LimitField::LowerA)->setText("165");
  dlg.Limit(LimitField::UpperA)->setText("165");
  dlg.Refresh();
  EXPECT_EQ(dlg.Average(0)->text(), "0");  // no counts in bin 11
  BinCounts one{};
  one[11] = 1;
  doc.Results().AddFrameBins(one, 1, 0);
  dlg.Refresh();
  EXPECT_EQ(dlg.Average(0)->text(), "165");
  EXPECT_EQ(dlg.Deviation(0)->text(), "0");
  dlg.accept();
  EXPECT_FALSE(dlg.IsRefreshing());
}

TEST_F(StatisticsDlgTest, RefusedLimitGoesBackToItsInitialValue) {
  CStatisticAnalysisDlg dlg(doc);
  dlg.SetPrompts(prompts);
  struct Case {
    LimitField field;
    const char* text;
    const char* shown;
    const char* after;
  };
  const Case cases[] = {
      {LimitField::LowerA, "110", kNotMultipleOf15, "105"},
      {LimitField::LowerB, "1440", kLowerNotBelowUpper, "1080"},
      {LimitField::UpperA, "90", kUpperNotAboveLower, "375"},
      {LimitField::UpperB, "1426", kNotMultipleOf15, "1425"},
      {LimitField::UpperB, "1905", nullptr, "1905"},
  };
  for (const Case& c : cases) {
    prompts.shown.clear();
    dlg.Limit(c.field)->setText(c.text);
    dlg.LimitLeft(c.field);
    EXPECT_EQ(prompts.Texts(),
              c.shown ? std::vector<std::string>{c.shown} : std::vector<std::string>{})
        << c.text;
    EXPECT_EQ(dlg.Limit(c.field)->text(), c.after) << c.text;
  }
}

}  // namespace
}  // namespace vesk
