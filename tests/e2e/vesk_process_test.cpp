// vesk-process as a user runs it: recorded .bin files in, .dat files, JSON summaries, exit
// codes and messages out.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>

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
    ini = dir / "settings.ini";
    WriteFile(ini, "[Options]\nAddHeaderToDatFile=0\n");
  }

  ProcessResult Run(std::vector<std::string> args,
                    std::map<std::string, std::string> env = {}) const {
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
    std::vector<Json> all;
    std::size_t start = 0;
    while (start < out.size()) {
      const std::size_t end = out.find('\n', start);
      EXPECT_NE(end, std::string::npos) << "every summary ends with a line feed";
      if (end == std::string::npos) break;
      all.push_back(Json::parse(out.substr(start, end - start)));
      start = end + 1;
    }
    return all;
  }

  TempDir dir;
  std::string ini;
};

// A stream whose counts are known: three good L frames, a 273-byte one, an aborted L frame,
// two M frames, a C and two $ frames, noise between them.
Bytes KnownStream() {
  Bytes s = ToBytes("# ___  PC DATE-TIME  ___\r\n# Time: 10:00:00\r\n\r\n");
  for (int i = 0; i < 3; ++i) {
    LFrameFields l;
    for (int k = 0; k < 128; ++k) l.bins[k] = static_cast<std::uint16_t>(k + i);
    l.housekeeping = {1, 2, 3, 100, 1000, 5, 6};
    l.n = 4;
    l.t = 100;
    AppendWire(s, MakeLFrame(l));
    AppendText(s, "line noise \r\n");
  }
  LFrameFields bad;
  bad.length = 273;
  AppendWire(s, MakeLFrame(bad));
  AppendText(s, "~Lbroken~Mlost~*");
  const MEvent events[] = {{1, 2, 3, 4, false}, {34, 5, 6, 7, true}};
  AppendWire(s, MakeMFrame(events));
  AppendWire(s, MakeMFrame(std::span(events, 1)));
  AppendWire(s, MakeTextFrame('C', "  12.3456  35.1234   4.567 "));
  AppendWire(s, MakeTextFrame('$', "$GPGGA,123519,4807.038,N,01131.000,E"));
  AppendWire(s, MakeTextFrame('$', "$GPZDA,1"));  // too short: still a frame
  return s;
}

TEST_F(VeskProcess, SummariesInInputOrder) {
  std::vector<std::string> args{"--settings",   ini,       "--summary", "--jobs", "3",
                                "--output-dir", dir.Path()};
  std::vector<std::string> inputs;
  for (int i = 0; i < 5; ++i) {
    inputs.push_back(dir / ("in" + std::to_string(i) + ".bin"));
    WriteBytes(inputs.back(), MixedStream(5 + 20 * (4 - i), 2, 4, i + 1));
    args.push_back(inputs.back());
  }
  const ProcessResult r = Run(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto all = Summaries(r.out);
  ASSERT_EQ(all.size(), inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(all[i]["input"].get<std::string>(), inputs[i]);
    EXPECT_EQ(all[i]["frames"]["L"].get<double>(), 5 + 20 * (4 - i));
  }
}

TEST_F(VeskProcess, SummaryNamesAnyInputAsValidJson) {
  struct Case {
    std::string file;
    std::string shown;  // the summary's "input", after the directory
  };
  const Case cases[] = {
      {"odd \"name\"\t\\ \x01.bin", "odd \"name\"\t\\ \x01.bin"},
      {"d\xC3\xA4t\xC3\xA4 \xE6\x95\xB0\xE6\x8D\xAE.bin",
       "d\xC3\xA4t\xC3\xA4 \xE6\x95\xB0\xE6\x8D\xAE.bin"},
      // Latin-1, not UTF-8: the byte that is no character becomes U+FFFD.
      {"caf\xE9.bin", "caf\xEF\xBF\xBD.bin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    const std::string name = dir / c.file;
    WriteBytes(name, KnownStream());
    const ProcessResult r =
        Run({"--settings", ini, "--summary", "--output", dir / "odd.dat", name});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto all = Summaries(r.out);  // a strict parser: invalid UTF-8 throws
    ASSERT_EQ(all.size(), 1u) << r.out;
    EXPECT_EQ(all[0]["input"].get<std::string>(), dir / c.shown);
  }
}

TEST_F(VeskProcess, ExportsOntoAFullDiskFailAndLeaveNothing) {
  // A file-size limit fails every write past 64 KiB, as a full disk does.
  vesk::CastOptions cast;
  vesk::WriteSyntheticRecording(dir / "cast.bin", cast, 600);
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
    for (const auto& e : fs::directory_iterator(dir.Path())) {
      left.push_back(e.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"cast.bin", "settings.ini"}));
  }
}

TEST_F(VeskProcess, SameDatFilesForOneAndTwoJobs) {
  std::vector<std::string> inputs;
  for (int i = 0; i < 4; ++i) {
    inputs.push_back(dir / ("cast" + std::to_string(i) + ".bin"));
    WriteBytes(inputs.back(), MixedStream(50 + 30 * i, 3, 6, 10 + i));
  }
  fs::create_directory(dir / "one");
  fs::create_directory(dir / "two");
  std::vector<std::string> args1{"--settings", ini, "--jobs", "1", "--output-dir", dir / "one"};
  std::vector<std::string> args2{"--settings", ini, "--jobs", "2", "--output-dir", dir / "two"};
  args1.insert(args1.end(), inputs.begin(), inputs.end());
  args2.insert(args2.end(), inputs.begin(), inputs.end());
  const ProcessResult r1 = Run(args1);
  const ProcessResult r2 = Run(args2);
  ASSERT_EQ(r1.exitCode, 0) << r1.err;
  ASSERT_EQ(r2.exitCode, 0) << r2.err;
  const auto one = DatFiles(dir / "one");
  const auto two = DatFiles(dir / "two");
  ASSERT_EQ(one.size(), inputs.size());
  ASSERT_EQ(two.size(), inputs.size());
  for (std::size_t i = 0; i < one.size(); ++i) {
    // Names carry the time of the run; the stem decides which input a file belongs to.
    const std::string stem = one[i].substr(0, one[i].find("_PB_"));
    EXPECT_EQ(stem, two[i].substr(0, two[i].find("_PB_")));
    const std::string a = ReadFile(dir / ("one/" + one[i]));
    EXPECT_GT(a.size(), 1000u);
    EXPECT_EQ(a, ReadFile(dir / ("two/" + two[i]))) << one[i];
  }
}

TEST_F(VeskProcess, DefaultOutputBesideTheInputWithThePlaybackName) {
  fs::create_directory(dir / "casts");
  WriteBytes(dir / "casts/cast01.bin", KnownStream());
  const ProcessResult r = Run({"--settings", ini, dir / "casts/cast01.bin"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const auto names = DatFiles(dir / "casts");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(std::regex_match(names[0], std::regex(R"(cast01_PB_\d{4}-\d\d-\d\d_\d{6}\.dat)")))
      << names[0];
  EXPECT_EQ(fs::directory_iterator(dir / "casts") == fs::directory_iterator(), false);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "casts")) ++entries;
  EXPECT_EQ(entries, 2u);  // the input and its .dat, nothing partial left
}

TEST_F(VeskProcess, BadInputs) {
  WriteFile(dir / "plain", "x");
  WriteFile(dir / "empty.bin", "");
  WriteFile(dir / "noise.bin", std::string(100000, 'n') + "~x~~ ~*" + std::string(1000, '*'));
  fs::create_directory(dir / "adir.bin");
  WriteBytes(dir / "good.bin", KnownStream());
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> errMentions;  // texts the message must contain
  };
  const Case cases[] = {
      {"missing file",
       {dir / "missing.bin", dir / "good.bin"},
       1,
       {dir / "missing.bin", "No such file or directory"}},
      {"directory as input", {dir / "adir.bin"}, 1, {dir / "adir.bin", "Is a directory"}},
      {"output directory under a regular file",
       {"--output-dir", dir / "plain/sub", dir / "good.bin"},
       1,
       {dir / "plain/sub", "Not a directory"}},
      {"output file under a regular file",
       {"--output", dir / "plain/x.dat", dir / "good.bin"},
       1,
       {dir / "plain/x.dat", "Not a directory"}},
      {"output is a directory",
       {"--output", dir / "adir.bin", dir / "good.bin"},
       1,
       {dir / "adir.bin", "directory"}},
      {"output is the input",
       {"--output", dir / "good.bin", dir / "good.bin"},
       1,
       {dir / "good.bin"}},
      {"--output with two inputs",
       {"--output", dir / "x.dat", dir / "good.bin", dir / "empty.bin"},
       2,
       {"--output"}},
      {"no input", {}, 2, {}},
      {"unknown option", {"--frobnicate", dir / "good.bin"}, 2, {"frobnicate"}},
      {"--jobs 0", {"--jobs", "0", dir / "good.bin"}, 2, {}},
      {"--output and --output-dir",
       {"--output", dir / "x.dat", "--output-dir", dir.Path(), dir / "good.bin"},
       2,
       {}},
  };
  const std::string good = ReadFile(dir / "good.bin");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args{"--settings", ini, "--summary"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = Run(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    for (const std::string& text : c.errMentions) {
      EXPECT_NE(r.err.find(text), std::string::npos) << "'" << text << "' not in: " << r.err;
    }
    EXPECT_EQ(ReadFile(dir / "good.bin"), good);  // inputs are never touched
    EXPECT_EQ(ReadFile(dir / "x.dat"), "<missing>");
  }
}

TEST_F(VeskProcess, OtherInputsAreStillProcessed) {
  WriteBytes(dir / "good.bin", KnownStream());
  const ProcessResult r = Run({"--settings", ini, "--summary", "--output-dir", dir / "out",
                               dir / "missing.bin", dir / "good.bin"});
  // The output directory does not exist: both fail, each with its own message.
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(dir / "missing.bin"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(dir / "out/good_PB_"), std::string::npos) << r.err;

  fs::create_directory(dir / "out");
  const ProcessResult r2 = Run({"--settings", ini, "--summary", "--output-dir", dir / "out",
                                dir / "missing.bin", dir / "good.bin"});
  EXPECT_EQ(r2.exitCode, 1);
  const auto all = Summaries(r2.out);
  ASSERT_EQ(all.size(), 1u) << r2.out;
  EXPECT_EQ(all[0]["input"].get<std::string>(), dir / "good.bin");
  EXPECT_EQ(DatFiles(dir / "out").size(), 1u);
}

TEST_F(VeskProcess, EmptyAndNoiseInputs) {
  WriteFile(ini, "[Options]\nAddHeaderToDatFile=1\n");
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"noise", std::string(200000, 'n') + "~x~~ ~* ~" + std::string(1000, '*') + "~"},
      {"a frame that never ends", "~L" + std::string(50000, 'a')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "in.bin", c.bytes);
    const ProcessResult r =
        Run({"--settings", ini, "--summary", "--output", dir / "in.dat", dir / "in.bin"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto all = Summaries(r.out);
    ASSERT_EQ(all.size(), 1u);
    const Json& j = all[0];
    EXPECT_EQ(j["bytes"].get<double>(), c.bytes.size());
    for (const char* type : {"L", "M", "C", "$"}) EXPECT_EQ(j["frames"][type].get<double>(), 0);
    EXPECT_EQ(j["frame_errors"].get<double>(), 0);
    EXPECT_EQ(j["l_frame_count"].get<double>(), 0);
    EXPECT_EQ(j["cumulative_total_count"].get<double>(), 0);
    for (const auto& b : j["cumulative_bins"]) EXPECT_EQ(b.get<double>(), 0);
    const std::string dat = ReadFile(dir / "in.dat");
    EXPECT_EQ(dat.rfind("# ___ PROCESSING INFORMATION ___\r\n", 0), 0u);
    EXPECT_EQ(dat.find("\r\nL1"), std::string::npos);
  }
}

TEST_F(VeskProcess, OutputEqualToTheInputThroughAHardLinkIsRefused) {
  WriteBytes(dir / "cast.bin", KnownStream());
  ASSERT_EQ(::link((dir / "cast.bin").c_str(), (dir / "alias.dat").c_str()), 0);
  const std::string before = ReadFile(dir / "cast.bin");
  const ProcessResult r = Run({"--settings", ini, "--output", dir / "alias.dat", dir / "cast.bin"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(dir / "alias.dat"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir / "cast.bin"), before);
}

TEST_F(VeskProcess, ExistingOutputReplacedOnlyWhenComplete) {
  WriteFile(dir / "out.dat", "previous run");
  WriteBytes(dir / "good.bin", KnownStream());
  const ProcessResult failed =
      Run({"--settings", ini, "--output", dir / "out.dat", dir / "missing.bin"});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(ReadFile(dir / "out.dat"), "previous run");
  const ProcessResult failedDir = Run({"--settings", ini, "--output", dir / "out.dat", dir.Path()});
  EXPECT_EQ(failedDir.exitCode, 1);
  EXPECT_EQ(ReadFile(dir / "out.dat"), "previous run");

  const ProcessResult ok = Run({"--settings", ini, "--output", dir / "out.dat", dir / "good.bin"});
  ASSERT_EQ(ok.exitCode, 0) << ok.err;
  const std::string dat = ReadFile(dir / "out.dat");
  EXPECT_EQ(dat.rfind("L1 0 1 2 3", 0), 0u);
  EXPECT_EQ(ReadFile(dir / "out.dat.partial"), "<missing>");
}

TEST_F(VeskProcess, AnInterruptedRunLeavesNoPartialOutput) {
  // The recording comes through a pipe, so the run is surely in the middle of it.
  WriteFile(dir / "out.dat", "previous run");
  const std::string fifo = dir / "cast.bin";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::signal(SIGPIPE, SIG_IGN);  // the writer outlives the reader
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    ChildProcess run(VESK_PROCESS_PATH,
                     {"--settings", ini, "--format", "dat,csv", "--output", dir / "out.dat", fifo});
    {
      std::ofstream writer(fifo, std::ios::binary);
      const Bytes stream = MixedStream(200, 2, 5);
      writer.write(reinterpret_cast<const char*>(stream.data()),
                   static_cast<std::streamsize>(stream.size()));
      writer.flush();
      ASSERT_TRUE(WaitUntil([&] { return fs::exists(dir / "out.dat.partial"); }, 10));
      run.Signal(signal);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      writer.write(reinterpret_cast<const char*>(stream.data()),
                   static_cast<std::streamsize>(stream.size()));
    }
    run.Wait(10);
    EXPECT_EQ(run.KilledBy(), signal) << run.Err();
    EXPECT_NE(run.Err().find("interrupted"), std::string::npos) << run.Err();
    EXPECT_EQ(ReadFile(dir / "out.dat"), "previous run");
    EXPECT_FALSE(fs::exists(dir / "out.dat.partial"));
    EXPECT_FALSE(fs::exists(dir / "out.csv"));
    for (const auto& e : fs::directory_iterator(dir.Path())) {
      EXPECT_EQ(e.path().string().find("partial"), std::string::npos) << e.path();
    }
  }
}

TEST_F(VeskProcess, InputsWithTheSameNameDoNotOverwriteEachOther) {
  fs::create_directories(dir / "a");
  fs::create_directories(dir / "b");
  fs::create_directories(dir / "out");
  WriteBytes(dir / "a/cast.bin", Wire(MakeMFrame(std::vector<MEvent>{{1, 2, 3, 4, false}})));
  WriteBytes(dir / "b/cast.bin", Wire(MakeMFrame(std::vector<MEvent>{{5, 6, 7, 8, false}})));
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(testing::Message() << "--jobs " << jobs);
    for (const auto& e : fs::directory_iterator(dir / "out")) fs::remove(e.path());
    const ProcessResult r = Run({"--settings", ini, "--jobs", jobs, "--output-dir", dir / "out",
                                 dir / "a/cast.bin", dir / "b/cast.bin"});
    std::string all;
    for (const auto& name : DatFiles(dir / "out")) all += ReadFile(dir / ("out/" + name));
    // Either both records survive, or the clash is reported.
    const bool bothKept =
        all.find("M 1 2 3 4 ") != std::string::npos && all.find("M 5 6 7 8 ") != std::string::npos;
    EXPECT_TRUE(bothKept || r.exitCode == 1) << "exit " << r.exitCode << ", .dat: " << all;
    if (!bothKept) {
      EXPECT_NE(r.err.find("cast_PB_"), std::string::npos) << r.err;
    }
  }
}

TEST_F(VeskProcess, MemoryStaysBoundedOnNoisyTimeStamps) {
#ifdef VESK_SANITIZED
  GTEST_SKIP() << "a sanitizer reserves more address space than the limit allows";
#endif
  // Random time stamps make each element event span thousands of grid rows.
  WriteBytes(dir / "noisy.bin", MixedStream(250, 4, 20, 11, true));
  const std::string command = "ulimit -v 1000000 && exec \"$0\" \"$@\"";
  const ProcessResult r =
      RunProcess("/bin/sh",
                 {"-c", command, VESK_PROCESS_PATH, "--settings", ini, "--summary", "--output",
                  dir / "noisy.dat", dir / "noisy.bin"},
                 {{"HOME", dir.Path()}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto all = Summaries(r.out);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0]["frames"]["M"].get<double>(), 1000);
  EXPECT_GT(ReadFile(dir / "noisy.dat").size(), 100000u);
}

TEST_F(VeskProcess, NeverWritesTheSettingsStore) {
  WriteFile(ini, "[Settings]\nFirmwareVer=2.40\n; a comment the tool must keep\n");
  const std::string before = ReadFile(ini);
  struct stat st {};
  ASSERT_EQ(::stat(ini.c_str(), &st), 0);
  WriteBytes(dir / "good.bin", KnownStream());
  const ProcessResult r = Run({"--settings", ini, "--output", dir / "out.dat", dir / "good.bin"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(ini), before);
  struct stat after {};
  ASSERT_EQ(::stat(ini.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, st.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, st.st_mtim.tv_nsec);
  EXPECT_FALSE(fs::exists(dir / ".config/Corvane"));
  // The settings were used: firmware 2.40 prints N, T and A.
  EXPECT_NE(ReadFile(dir / "out.dat").find("\r\nL5 1 2 3 100 1000 5 6 4 100 0\r\n"),
            std::string::npos);
}

TEST_F(VeskProcess, SameOutputUnderADecimalCommaLocale) {
  DecimalCommaLocale locale;
  if (locale.Name().empty()) GTEST_SKIP() << "no locale with a decimal comma available";
  WriteBytes(dir / "mixed.bin", MixedStream(40, 2, 5, 3));
  const ProcessResult c =
      Run({"--settings", ini, "--summary", "--output", dir / "c.dat", dir / "mixed.bin"},
          {{"LC_ALL", "C"}});
  std::map<std::string, std::string> env{{"LC_ALL", locale.Name()}, {"LANG", locale.Name()}};
  if (!locale.LocPath().empty()) env["LOCPATH"] = locale.LocPath();
  const ProcessResult de =
      Run({"--settings", ini, "--summary", "--output", dir / "de.dat", dir / "mixed.bin"}, env);
  ASSERT_EQ(c.exitCode, 0) << c.err;
  ASSERT_EQ(de.exitCode, 0) << de.err;
  EXPECT_EQ(ReadFile(dir / "de.dat"), ReadFile(dir / "c.dat"));
  EXPECT_EQ(de.out.substr(de.out.find(",\"bytes\"")), c.out.substr(c.out.find(",\"bytes\"")));
}

}  // namespace
}  // namespace vesk::test
