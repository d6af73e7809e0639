// The CSV of a scan (the option the window program offers): frames through the frame
// processor of a scan, rows out beside its .dat.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "files/export_csv.h"
#include "seams/settings_keys.h"
#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

// An L frame whose bin k counts k, with H6 = `laser` and no flow.
Frame CountingLFrame(std::uint16_t laser) {
  LFrameFields l;
  for (std::uint16_t k = 0; k < 128; ++k) l.bins[k] = k;
  l.housekeeping[6] = laser;
  l.length = 271;
  return MakeLFrame(l);
}

// The scan's CSV export, as the processing thread begins it beside the .dat.
std::unique_ptr<ExportStage> StartCsv(Pipeline& p, const std::string& datPath, std::string* error) {
  ExportRunInputs run = p.settings.ExportInputs(p.ctd->Model());
  run.sourcePath = datPath;
  return StartScanCsvExport(p.store, datPath, run, error);
}

// The CSV rows of a started pipeline's scan of `frames`.
std::vector<std::string> CsvRows(Pipeline& p, const std::vector<Frame>& frames) {
  std::string error;
  auto stage = StartCsv(p, p.DatPath(), &error);
  EXPECT_NE(stage, nullptr) << error;
  if (!stage) return {};
  p.processor->SetExportSink(stage.get());
  for (const Frame& f : frames) p.Process(f);
  EXPECT_TRUE(stage->Finish()) << stage->Error();
  return SplitLines(ReadFile(p.dir / "out.csv"));
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

// The rows' form is the golden recordings' part (the batch player writes them alike).
TEST(ScanCsvExport, WritesBesideTheDatWhenTheOptionIsOn) {
  Pipeline off;
  off.Start();
  std::string error;
  EXPECT_EQ(StartCsv(off, off.DatPath(), &error), nullptr);
  Pipeline p;
  p.store.Write(keys::kExportCsv, 1);
  p.Start();
  const std::vector<std::string> lines = CsvRows(p, {CountingLFrame(7), CountingLFrame(8)});
  ASSERT_EQ(lines.size(), 3u);
  // No CTD line and no fix yet: their fields are empty; no flow: 0 counts per volume.
  EXPECT_EQ(lines[1].rfind("0,,,,,,,,,,,,0,0,8128,8001,0,7,0,1,2,", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("1,", 0), 0u) << lines[2];
  EXPECT_EQ(p.Dat().find("L1 0 1 2 3"), 0u) << "the .dat is written as ever";
}

TEST(ScanCsvExport, WhatTheInstrumentDoesNotMeasureIsMissing) {
  struct Case {
    int model;
    const char* line;
    // pressure, temperature, conductivity, salinity, analog as the CSV shows them
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {1, "10.5 4.2914 0 7", {"0", "10.5", "4.2914", "*", "7"}},  // *: salinity from C, T and P
      {2, "1,2,3,4,12.5 3", {"12.5", "", "", "", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Pipeline p;
    p.store.Write(keys::kExportCsv, 1);
    p.store.WriteInt("Settings", "Model_CTD", c.model);
    p.Start();
    const auto lines = CsvRows(p, {MakeTextFrame('C', c.line), CountingLFrame(7)});
    ASSERT_EQ(lines.size(), 2u);
    const std::vector<std::string> f = Fields(lines[1]);
    ASSERT_GT(f.size(), 12u);
    const std::vector<std::string> ctd = {f[6], f[8], f[9], f[10], f[11]};
    for (std::size_t i = 0; i < ctd.size(); ++i) {
      EXPECT_TRUE(c.expected[i] == "*" ? ctd[i] != "" : ctd[i] == c.expected[i])
          << i << ": " << ctd[i];
    }
    EXPECT_NE(f[7], "") << "depth from the pressure";
  }
}

TEST(ScanCsvExport, AFileThatCannotBeCreatedIsReported) {
  Pipeline p;
  p.store.Write(keys::kExportCsv, 1);
  p.Start();
  WriteFile(p.dir / "out.csv.partial", "");
  std::string error;  // a file where a directory should be:
  EXPECT_EQ(StartCsv(p, p.dir / "out.csv.partial/out.dat", &error), nullptr);
  EXPECT_NE(error.find("out.csv.partial/out.csv"), std::string::npos) << error;
}

}  // namespace
}  // namespace vesk::test
