// The golden recordings of tests/data played by the batch player and by the program's own
// playback: every output must be, byte for byte, the one approved for it.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

namespace fs = std::filesystem;

const std::string kData = VESK_SOURCE_DIR "/tests/data/";

class GoldenRecordings : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string name = GetParam();
    fs::copy_file(kData + name + ".bin", dir / (name + ".bin"));
    fs::copy_file(kData + name + ".ini", dir / (name + ".ini"));
  }
  // An output beside its approved file, with the way to approve a change.
  void ExpectApproved(const std::string& produced, const std::string& approvedName,
                      const std::string& how) {
    const std::string approved = ReadFile(kData + approvedName);
    EXPECT_TRUE(produced == approved)
        << approvedName << " differs from the approved output (" << produced.size() << " bytes, "
        << approved.size() << " approved); to approve it: " << how;
  }
  TempDir dir;
};

TEST_P(GoldenRecordings, BatchOutputsAreTheApprovedOnes) {
  const std::string name = GetParam();
  // Run in the recording's folder, so the summary names it as the approved one does.
  const std::string command =
      "cd \"$1\" && exec \"$0\" --settings \"$2.ini\" --format dat,csv "
      "--summary --output \"$2.dat\" \"$2.bin\"";
  const ProcessResult r = RunProcess(
      "/bin/sh", {"-c", command, VESK_PROCESS_PATH, dir.Path(), name}, {{"HOME", dir.Path()}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string how = "cd tests/data && vesk-process --settings " + name +
                          ".ini --format dat,csv --summary --output " + name + ".dat " + name +
                          ".bin > " + name + ".summary.jsonl";
  ExpectApproved(ReadFile(dir / (name + ".dat")), name + ".dat", how);
  ExpectApproved(ReadFile(dir / (name + ".csv")), name + ".csv", how);
  ExpectApproved(ReadFile(dir / (name + "_mep.csv")), name + "_mep.csv", how);
  ExpectApproved(r.out, name + ".summary.jsonl", how);
}

TEST_P(GoldenRecordings, APlaybackWritesTheApprovedRecords) {
  const std::string name = GetParam();
  const ProcessResult r = RunProcess(VESK_PATH,
                                     {"--headless", "--settings", dir / (name + ".ini"),
                                      "--playback", dir / (name + ".bin"), "--speed", "8"},
                                     {{"HOME", dir.Path()}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string dat;
  for (const auto& entry : fs::directory_iterator(dir / "VESK")) {
    if (entry.path().string().find("_PB_") != std::string::npos) dat = entry.path().string();
  }
  ASSERT_FALSE(dat.empty()) << r.err;
  ExpectApproved(ReadFile(dat), name + ".dat", "see BatchOutputsAreTheApprovedOnes");
}

// The NetCDF export as ncdump shows it, its time of processing masked.
TEST_P(GoldenRecordings, TheNetcdfExportIsTheApprovedOne) {
  const std::string name = GetParam();
  const std::string command =
      "cd \"$1\" && \"$0\" --settings \"$2.ini\" --format netcdf --output \"$2.dat\" "
      "\"$2.bin\" && exec ncdump \"$2.nc\"";
  const ProcessResult r = RunProcess(
      "/bin/sh", {"-c", command, VESK_PROCESS_PATH, dir.Path(), name}, {{"HOME", dir.Path()}});
  if (r.exitCode == 127) GTEST_SKIP() << "ncdump is not installed";
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string cdl = r.out;
  for (const char* attribute : {":date_created = \"", ":history = \""}) {
    const std::size_t at = cdl.find(attribute);
    ASSERT_NE(at, std::string::npos) << attribute;
    const std::size_t value = at + std::strlen(attribute);
    cdl.replace(value, 20, "<processing time>");
  }
  ExpectApproved(cdl, name + ".cdl",
                 "cd tests/data && vesk-process --settings " + name + ".ini --format netcdf " +
                     "--output " + name + ".dat " + name + ".bin && ncdump " + name + ".nc > " +
                     name +
                     ".cdl, with the two times of processing replaced by "
                     "<processing time>");
}

INSTANTIATE_TEST_SUITE_P(Recordings, GoldenRecordings, testing::Values("cast", "sbe19", "edges"));

}  // namespace
}  // namespace vesk::test
