// The golden recordings of tests/data played by the batch player and by the program's own
// playback: every output must be, byte for byte, the one approved for it (the playback's cast
// products too).

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
  static constexpr const char* kOptions = "--format dat,csv,profiles --summary";
  void SetUp() override {
    fs::copy_file(kData + name + ".bin", dir / (name + ".bin"));
    fs::copy_file(kData + name + ".ini", dir / (name + ".ini"));
  }
  // The batch player's command line for the recording with these options.
  std::string Command(const std::string& options) const {
    return "vesk-process --settings " + name + ".ini " + options + " --output " + name + ".dat " +
           name + ".bin";
  }
  // Runs it in the recording's folder (so the summary names the input as the approved one
  // does), then `then` there.
  ProcessResult Process(const std::string& options, const std::string& then = "") const {
    const std::string tools = fs::path(VESK_PROCESS_PATH).parent_path();
    return RunProcess(
        "/bin/sh",
        {"-c", "cd \"$0\" && PATH=\"$1:$PATH\" && " + Command(options) + then, dir.Path(), tools},
        {{"HOME", dir.Path()}});
  }
  // An output beside its approved file, with the way to approve a change.
  void ExpectApproved(const std::string& produced, const std::string& approvedName,
                      const std::string& how) {
    const std::string approved = ReadFile(kData + approvedName);
    EXPECT_TRUE(produced == approved)
        << approvedName << " differs from the approved output (" << produced.size() << " bytes, "
        << approved.size() << " approved); to approve it: cd tests/data && " << how;
  }
  const std::string name = GetParam();
  TempDir dir;
};

TEST_P(GoldenRecordings, BatchOutputsAreTheApprovedOnes) {
  const ProcessResult r = Process(kOptions);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string how = Command(kOptions) + " > " + name + ".summary.jsonl";
  for (const std::string output : {".dat", ".csv", "_mep.csv", "_profiles.csv", "_spectra.csv"}) {
    ExpectApproved(ReadFile(dir / (name + output)), name + output, how);
  }
  ExpectApproved(r.out, name + ".summary.jsonl", how);
}

TEST_P(GoldenRecordings, APlaybackWritesTheApprovedRecords) {
  const ProcessResult r = RunProcess(VESK_PATH,
                                     {"--headless", "--settings", dir / (name + ".ini"),
                                      "--playback", dir / (name + ".bin"), "--speed", "8"},
                                     {{"HOME", dir.Path()}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string dat;
  for (const auto& entry : fs::directory_iterator(dir / "VESK")) {
    const std::string path = entry.path().string();
    if (path.find("_PB_") != std::string::npos && entry.path().extension() == ".dat") dat = path;
  }
  ASSERT_FALSE(dat.empty()) << r.err;
  const std::string stem = dat.substr(0, dat.size() - 4);
  for (const std::string output : {".dat", "_profiles.csv", "_spectra.csv"}) {
    ExpectApproved(ReadFile(stem + output), name + output, Command(kOptions));
  }
}

// The NetCDF export as ncdump shows it, its time of processing masked.
TEST_P(GoldenRecordings, TheNetcdfExportIsTheApprovedOne) {
  const ProcessResult r = Process("--format netcdf", " && exec ncdump " + name + ".nc");
  if (r.exitCode == 127) GTEST_SKIP() << "ncdump is not installed";
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string cdl = r.out;
  for (const char* attribute : {":date_created = \"", ":history = \""}) {
    const std::size_t at = cdl.find(attribute);
    ASSERT_NE(at, std::string::npos) << attribute;
    cdl.replace(at + std::strlen(attribute), 20, "<processing time>");
  }
  ExpectApproved(cdl, name + ".cdl",
                 Command("--format netcdf") + " && ncdump " + name + ".nc > " + name +
                     ".cdl, with the two times of processing replaced by <processing time>");
}

INSTANTIATE_TEST_SUITE_P(Recordings, GoldenRecordings,
                         testing::Values("cast", "sbe19", "edges", "downup"));

}  // namespace
}  // namespace vesk::test
