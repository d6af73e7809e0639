// vesk-extract as the user runs it: its options in, the extracted file, the .err log beside
// the input (or the output), the final message on stdout and the exit status out. The
// extraction itself is the stream extractor's tests' part; a signal's end is a fault run's.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "test_support/frame_builder.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

std::string WireText(char type, const std::string& text) {
  const Bytes w = Wire(MakeTextFrame(type, text));
  return std::string(w.begin(), w.end());
}

class VeskExtract : public testing::Test {
 protected:
  static ProcessResult Extract(const std::vector<std::string>& args) {
    return RunProcess(VESK_EXTRACT_PATH, args);
  }
  TempDir dir;
  std::string in = dir / "VESK_2026-03-04_050607.bin";
  std::string out = dir / "extracted.bin";
  std::string err = dir / "VESK_2026-03-04_050607.err";
};

TEST_F(VeskExtract, SelectedFramesAndTheMessage) {
  const std::string s5(5, 's'), s80(80, 't');
  const std::string stream = "VESK header\r\n" + WireText('L', "bins~") + WireText('M', "ev~") +
                             WireText('C', "12.5,35.1") + WireText('$', "$GPGGA,1") +
                             WireText('S', s5) + WireText('S', s80) + WireText('A', "other");
  WriteFile(in, stream);
  struct Case {
    std::vector<std::string> args;
    std::string output;
    std::string message;
    std::string log;  // how the .err beside the input begins: a run without failures keeps it
  };
  WriteFile(err, "earlier log");
  const std::string failures = "\r\n\r\nFrame 2 bad";
  for (const Case& c : std::vector<Case>{
           {{"--mep", "--binned", "--ctd", "--strip-ctd", "--gps", "--strip-gps"},
            "~Lbins~~~*~Mev~~~*12.5,35.1\r\n$GPGGA,1",
            "4 frames processed\n",
            "earlier log"},
           {{"--strip-aux", "--min", "5", "--max", "50"},
            s5,
            "2 frames processed\n1 frames dropped\n",
            failures},
           {{"--strip-ctd"}, "", "No frames were processed.\n", failures},
       }) {
    SCOPED_TRACE(c.args.back());
    std::vector<std::string> args = {"--input", in, "--output", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = Extract(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(out), c.output);
    EXPECT_EQ(ReadFile(err).substr(0, c.log.size()), c.log);
  }
  EXPECT_EQ(ReadFile(in), stream);

  // From a folder that cannot be written (a read-only archive, even to root): the log goes
  // beside the output, the message says where, and the archive is left as it was.
  const TempDir elsewhere;
  const std::string movedLog = elsewhere / "VESK_2026-03-04_050607.err";
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
  const ProcessResult r = Extract(
      {"--input", in, "--output", elsewhere / "x.bin", "--strip-aux", "--min", "5", "--max", "50"});
  ::chmod(dir.Path().c_str(), 0755);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2 frames processed\n1 frames dropped\nFrame length failures logged in " +
                       movedLog + " (the input's folder cannot be written)\n");
  EXPECT_EQ(ReadFile(movedLog).substr(0, failures.size()), failures);
  EXPECT_EQ(ReadFile(err).substr(0, failures.size()), failures);
  EXPECT_EQ(ReadFile(elsewhere / "x.bin"), s5);
}

TEST_F(VeskExtract, FailuresGoToStderrAndUsageErrorsWriteNothing) {
  WriteFile(in, WireText('L', "x"));
  WriteFile(dir / "plain", "");
  auto text = [](const char* what, const std::string& path, int err) {
    return std::string(what) + "\"" + path + "\" <" + std::to_string(err) + "> " +
           std::strerror(err) + "\n";
  };
  const char* openIn = "Error opening file: ";
  const char* openOut = "Error opening file for output: ";
  const std::string missing = dir / "missing.bin", under = dir / "plain/out.bin";
  for (const auto& [input, output, message] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {missing, out, text(openIn, missing, ENOENT)},
           {in, under, text(openOut, under, ENOTDIR)},
       }) {
    const ProcessResult r = Extract({"--input", input, "--output", output, "--binned"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, message);
  }
  EXPECT_EQ(ReadFile(in), WireText('L', "x"));
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--input", in, "--binned"},
           {"--output", out, "--binned"},
           {"--input", in, "--output", out, "--min", "8193"},
           {"--input", in, "--output", out, "--aux", "AB"},
           {"--input", in, "--output", out, "--unknown"},
       }) {
    const ProcessResult r = Extract(args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadFile(out), "<missing>");
}

}  // namespace
}  // namespace vesk::test
