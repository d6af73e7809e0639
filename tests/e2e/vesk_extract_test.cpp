// vesk-extract as the user runs it: a recorded file in, the extracted file, the .err log, the
// final message on stdout and the exit status out.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support/frame_builder.h"
#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class VeskExtract : public testing::Test {
 protected:
  Result Extract(const std::vector<std::string>& args) {
    std::string command = Quote(VESK_EXTRACT_PATH);
    for (const auto& a : args) command += " " + Quote(a);
    command += " >" + Quote(dir / "stdout") + " 2>" + Quote(dir / "stderr");
    const int rc = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadFile(dir / "stdout");
    r.err = ReadFile(dir / "stderr");
    return r;
  }

  TempDir dir;
  std::string in = dir / "VESK_2026-03-04_050607.bin";
  std::string out = dir / "extracted.bin";
  std::string err = dir / "VESK_2026-03-04_050607.err";
};

std::string WireText(char type, const std::string& text) {
  const Bytes w = Wire(MakeTextFrame(type, text));
  return std::string(w.begin(), w.end());
}

std::string Text(std::size_t n, char first) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(first + i % 20);
  return s;
}

TEST_F(VeskExtract, SelectedFramesAndTheMessage) {
  const std::string s79 = Text(79, 'a'), s80 = Text(80, 'b'), s100 = Text(100, 'c'),
                    s239 = Text(239, 'd');
  const std::string stream = "VESK header\r\n" + WireText('L', "bins~") + WireText('M', "ev~") +
                             WireText('C', "12.5,35.1") + WireText('$', "$GPGGA,1") +
                             WireText('S', s79) + WireText('S', s80) + WireText('S', s100) +
                             WireText('A', "other") + WireText('S', s239);
  WriteFile(in, stream);
  const std::size_t end79 = stream.find(s79) + 79 + 1;
  const std::size_t end100 = stream.find(s100) + 100 + 1;
  const std::size_t end239 = stream.find(s239) + 239 + 1;
  const std::string log =
      "\r\n\r\nFrame 1 bad, ending at byte " + std::to_string(end79) + "\r\n" + s79 +
      "\r\n\r\nFrame 3 corrupt, ending at byte " + std::to_string(end100) + "\r\n" + s100 +
      "\r\n\r\nFrame 4 bad, ending at byte " + std::to_string(end239) + "\r\n" + s239;

  struct Case {
    std::vector<std::string> args;
    std::string output;
    std::string message;
    std::string log;
  };
  for (const Case& c : std::vector<Case>{
           {{"--mep"}, "~Mev~~~*", "1 frames processed\n", ""},
           {{"--binned", "--ctd", "--strip-ctd", "--gps", "--strip-gps"},
            "~Lbins~~~*12.5,35.1\r\n$GPGGA,1",
            "3 frames processed\n",
            ""},
           {{"--strip-aux"},
            s80 + s100.substr(20),
            "4 frames processed\n2 frames dropped\n1 frames corrupt\n",
            log},
           {{"--strip-aux", "--min", "0"}, s79 + s80 + s100 + s239, "4 frames processed\n", ""},
           {{"--aux", "A"}, "~Aother~*", "1 frames processed\n", ""},
           {{"--strip-ctd"}, "", "No frames were processed.\n", ""},
       }) {
    std::vector<std::string> args = {"--input", in, "--output", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = Extract(args);
    SCOPED_TRACE(c.args.front());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(out), c.output);
    EXPECT_EQ(ReadFile(err), c.log);
  }
  EXPECT_EQ(ReadFile(in), stream);
}

TEST_F(VeskExtract, EmptyInput) {
  WriteFile(in, "");
  const Result r = Extract({"--input", in, "--output", out, "--binned"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "No frames were processed.\n");
  EXPECT_EQ(ReadFile(out), "");
}

TEST_F(VeskExtract, FailuresGoToStderr) {
  WriteFile(in, WireText('L', "x"));
  const std::string missing = dir / "missing.bin";
  for (const auto& [args, start] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--input", missing, "--output", out, "--binned"},
            "Error opening file: \"" + missing + "\" <2> "},
           {{"--input", in, "--output", in, "--binned"},
            "Error opening file for output: \"" + in + "\" <16> "},
       }) {
    const Result r = Extract(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, start.size()), start);
  }
  EXPECT_EQ(ReadFile(in), WireText('L', "x"));
}

TEST_F(VeskExtract, UsageErrors) {
  WriteFile(in, WireText('L', "x"));
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--input", in, "--binned"},
           {"--output", out, "--binned"},
           {"--input", in, "--output", out, "--min", "8193"},
           {"--input", in, "--output", out, "--max", "-1"},
           {"--input", in, "--output", out, "--aux", "AB"},
           {"--input", in, "--output", out, "--aux", "~"},
           {"--input", in, "--output", out, "--unknown"},
       }) {
    const Result r = Extract(args);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(ReadFile(out), "<missing>");
}

}  // namespace
}  // namespace vesk::test
