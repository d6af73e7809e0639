// vesk-process as a user runs it: recorded .bin files in, .dat files, JSON summaries, exit
// codes and messages out. What it writes for a normal recording the golden tests approve.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "sim/cast_generator.h"
#include "test_support/frame_builder.h"
#include "test_support/locale.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

class VeskProcess : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile(ini, "[Options]\nAddHeaderToDatFile=0\n");
    WriteBytes(good, Wire(MakeLFrame(LFrameFields{})));
  }

  ProcessResult Run(std::vector<std::string> args,
                    std::map<std::string, std::string> env = {}) const {
    args.insert(args.begin(), {"--settings", ini});
    env.emplace("HOME", dir.Path());  // never the user's own store
    return RunProcess(VESK_PROCESS_PATH, args, env);
  }
  // The .dat files in a directory, by name.
  static std::vector<std::string> DatFiles(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(directory)) {
      if (e.path().extension() == ".dat") names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::vector<Json> Summaries(const std::string& out) {
    EXPECT_TRUE(out.empty() || out.back() == '\n') << "every summary ends with a line feed";
    std::vector<Json> all;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) all.push_back(Json::parse(line));
    return all;
  }

  TempDir dir;
  std::string ini = dir / "settings.ini";
  std::string good = dir / "good.bin";
};

// Inputs with one name in two folders, and names that are no plain text: each its own .dat,
// named as valid JSON in its summary.
TEST_F(VeskProcess, AnyNumberOfJobsGivesTheSameFilesAndSummariesInInputOrder) {
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  const std::pair<std::string, std::string> names[] = {
      // the file, as the summary names it (in this order their outputs sort by name)
      {"a/c.bin", "a/c.bin"},
      {"b/c.bin", "b/c.bin"},
      // Latin-1, not UTF-8: the byte that is no character becomes U+FFFD.
      {"caf\xE9.bin", "caf\xEF\xBF\xBD.bin"},
      {"d\xC3\xA4t\xC3\xA4 \xE6\x95\xB0\xE6\x8D\xAE.bin",
       "d\xC3\xA4t\xC3\xA4 \xE6\x95\xB0\xE6\x8D\xAE.bin"},
      {"odd \"name\"\t\\ \x01.bin", "odd \"name\"\t\\ \x01.bin"},
  };
  std::vector<std::string> inputs;
  for (int i = 0; i < 5; ++i) {
    inputs.push_back(dir / names[i].first);
    WriteBytes(inputs.back(), MixedStream(5 + 20 * (4 - i), 2, 4, i + 1));
  }
  std::vector<std::string> dats[2];
  for (int jobs : {1, 3}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir / ("jobs" + std::to_string(jobs));
    fs::create_directory(out);
    std::vector<std::string> args{"--summary", "--jobs", std::to_string(jobs), "--output-dir", out};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const ProcessResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto all = Summaries(r.out);  // a strict parser: invalid UTF-8 throws
    ASSERT_EQ(all.size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      EXPECT_EQ(all[i]["input"].get<std::string>(), dir / names[i].second);
      EXPECT_EQ(all[i]["frames"]["L"].get<double>(), 5 + 20 * (4 - i));
    }
    // Names carry the time of the run; by name they are in input order.
    for (const auto& name : DatFiles(out)) dats[jobs > 1].push_back(ReadFile(out + "/" + name));
  }
  ASSERT_EQ(dats[0].size(), inputs.size());
  EXPECT_EQ(std::set<std::string>(dats[0].begin(), dats[0].end()).size(), inputs.size());
  EXPECT_EQ(dats[0], dats[1]);
}

TEST_F(VeskProcess, ExportsOntoAFullDiskFailAndLeaveNothing) {
  // A file-size limit fails every write past 64 KiB, as a full disk does.
  vesk::WriteSyntheticRecording(dir / "cast.bin", vesk::CastOptions{}, 600);
  for (const char* format : {"netcdf", "csv", "dat,csv,netcdf"}) {
    SCOPED_TRACE(format);
    const ProcessResult r =
        RunProcess("/bin/sh",
                   {"-c", "ulimit -f 64 && exec \"$0\" \"$@\"", VESK_PROCESS_PATH, "--settings",
                    ini, "--format", format, "--output", dir / "out.dat", dir / "cast.bin"},
                   {{"HOME", dir.Path()}});
    EXPECT_EQ(r.exitCode, 1) << r.err;  // not killed, not a crash in the library's exit
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.Path())) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"cast.bin", "good.bin", "settings.ini"}));
  }
}

TEST_F(VeskProcess, BadInputsAndOptionsAreRefusedAndTouchNothing) {
  WriteFile(dir / "plain", "x");
  WriteFile(dir / "empty.bin", "");
  WriteFile(dir / "x.dat", "previous run");
  fs::create_directory(dir / "adir.bin");
  fs::create_directory(dir / "out");
  ASSERT_EQ(::link(good.c_str(), (dir / "alias.dat").c_str()), 0);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> errMentions;  // texts the message must contain
    std::size_t summaries = 0;             // of the inputs that were processed
  };
  const std::string x = dir / "x.dat", missing = dir / "missing.bin", adir = dir / "adir.bin",
                    underFile = dir / "plain/x.dat";
  const Case cases[] = {
      {"missing input", {"--output", x, missing}, 1, {missing, "No such"}},
      {"one of two inputs missing", {"--output-dir", dir / "out", missing, good}, 1, {missing}, 1},
      {"no output folder",
       {"--output-dir", dir / "no", missing, good},
       1,
       {missing, "no/good_PB_"}},
      {"directory as input", {"--output", x, adir}, 1, {adir, "Is a directory"}},
      {"output folder under a file",
       {"--output-dir", underFile, good},
       1,
       {underFile, "Not a dir"}},
      {"output is a directory", {"--output", adir, good}, 1, {adir, "dir"}},
      {"output is the input", {"--output", good, good}, 1, {good}},
      {"output is the input by a hard link", {"--output", dir / "alias.dat", good}, 1, {"alias"}},
      {"--output with two inputs", {"--output", x, good, dir / "empty.bin"}, 2, {"--output"}},
      {"unknown option", {"--frobnicate", good}, 2, {"frobnicate"}},
  };
  const std::string before = ReadFile(good);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args{"--summary"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = Run(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    for (const std::string& text : c.errMentions) {
      EXPECT_NE(r.err.find(text), std::string::npos) << "'" << text << "' not in: " << r.err;
    }
    EXPECT_EQ(Summaries(r.out).size(), c.summaries) << r.out;
    EXPECT_EQ(ReadFile(good), before);  // inputs are never touched
    EXPECT_EQ(ReadFile(x), "previous run");
    EXPECT_EQ(ReadFile(x + ".partial"), "<missing>");
  }
  EXPECT_EQ(DatFiles(dir / "out").size(), 1u);
}

// That the settings are used the golden recordings' outputs show (firmware, CTD model).
TEST_F(VeskProcess, WritesBesideTheInputWithTheSettingsNeverWritingThem) {
  WriteFile(ini, "[Settings]\nFirmwareVer=2.40\n; a comment the tool must keep\n");
  const std::string before = ReadFile(ini);
  fs::create_directory(dir / "casts");
  WriteBytes(dir / "casts/cast01.bin", Wire(MakeLFrame(LFrameFields{})));
  const ProcessResult r = Run({dir / "casts/cast01.bin"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(ini), before);
  std::vector<std::string> names;  // the input and its .dat, nothing partial left
  for (const auto& e : fs::directory_iterator(dir / "casts")) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(std::regex_match(names[1], std::regex(R"(cast01_PB_\d{4}-\d\d-\d\d_\d{6}\.dat)")))
      << names[1];
}

TEST_F(VeskProcess, SameOutputUnderADecimalCommaLocale) {
  DecimalCommaLocale locale;
  if (locale.Name().empty()) GTEST_SKIP() << "no locale with a decimal comma available";
  WriteBytes(dir / "mixed.bin", MixedStream(40, 2, 5, 3));
  const ProcessResult c =
      Run({"--summary", "--output", dir / "c.dat", dir / "mixed.bin"}, {{"LC_ALL", "C"}});
  std::map<std::string, std::string> env{{"LC_ALL", locale.Name()}, {"LANG", locale.Name()}};
  if (!locale.LocPath().empty()) env["LOCPATH"] = locale.LocPath();
  const ProcessResult de = Run({"--summary", "--output", dir / "de.dat", dir / "mixed.bin"}, env);
  ASSERT_EQ(c.exitCode, 0) << c.err;
  ASSERT_EQ(de.exitCode, 0) << de.err;
  EXPECT_EQ(ReadFile(dir / "de.dat"), ReadFile(dir / "c.dat"));
  EXPECT_EQ(de.out.substr(de.out.find(",\"bytes\"")), c.out.substr(c.out.find(",\"bytes\"")));
}

}  // namespace
}  // namespace vesk::test
