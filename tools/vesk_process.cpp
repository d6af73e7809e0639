// vesk-process: plays recorded .bin files through the frame processor and writes their .dat.

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/qsettings_store.h"
#include "files/export_csv.h"
#include "files/export_netcdf.h"
#include "files/profile_csv.h"
#include "files/profile_netcdf.h"
#include "processing/batch_player.h"
#include "processing/cast_export.h"
#include "seams/overlay_settings_store.h"

namespace {

using vesk::BatchResult;
using Json = nlohmann::ordered_json;
using Profiles = std::vector<Json>;

// A profile as the summary lists it; no slope (NaN) is null.
Json ProfileSummary(const vesk::ProfileRecord& p) {
  return {{"profile", p.number},
          {"direction", vesk::DirectionName(p.direction)},
          {"first_l_frame", p.firstLFrame},
          {"last_l_frame", p.lastLFrame},
          {"depth_min_m", p.depthMin},
          {"depth_max_m", p.depthMax},
          {"frames_used", p.framesUsed},
          {"loop_edited", p.loopEdited},
          {"no_flow", p.noFlow},
          {"volume_m3", p.volume},
          {"count", p.count},
          {"concentration_per_m3", p.concentration},
          {"nbss_slope", p.fit.slope},
          {"nbss_intercept", p.fit.intercept},
          {"nbss_bins_fitted", p.fit.bins}};
}

// One JSON line per input. A file name that is not UTF-8 keeps its valid characters; each
// byte that is not becomes U+FFFD, so the line stays valid JSON.
std::string SummaryLine(const std::string& input, const BatchResult& r, const Profiles& profiles) {
  Json s;
  s["input"] = input;
  s["bytes"] = r.bytes;
  s["frames"] = {{"L", r.frames[0]}, {"M", r.frames[1]}, {"C", r.frames[2]}, {"$", r.frames[3]}};
  s["frame_errors"] = r.frameErrors;
  s["l_frame_count"] = r.lFrameCount;
  s["cumulative_total_count"] = r.cumulativeTotalCount;
  s["cumulative_window_count"] = r.cumulativeWindowCount;
  s["cumulative_bins"] = r.cumulativeBins;
  // Not-a-number values (an unset coefficient set) are written as null.
  s["ctd"] = {{"conductivity", r.ctd.conductivity},
              {"temperature", r.ctd.temperature},
              {"pressure", r.ctd.pressure},
              {"analog", r.ctd.analog},
              {"salinity", r.ctd.salinity}};
  s["profiles"] = profiles;
  return s.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// A one-line progress bar on stderr, redrawn at most ten times a second.
class ProgressBar {
 public:
  ProgressBar(std::uint64_t total, bool enabled) : total_(total), enabled_(enabled) {}
  void Add(std::uint64_t bytes) {
    const std::uint64_t done = done_ += bytes;
    if (!enabled_) return;
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(100) && done < total_) return;
    last_ = now;
    const double fraction = total_ > 0 ? static_cast<double>(done) / total_ : 1.0;
    const int width = 40;
    const int filled = static_cast<int>(fraction * width);
    std::fprintf(stderr, "\r[%s%s] %5.1f%%", std::string(filled, '#').c_str(),
                 std::string(width - filled, ' ').c_str(), fraction * 100);
  }
  void Finish() {
    if (enabled_) std::fprintf(stderr, "\n");
  }

 private:
  const std::uint64_t total_;
  const bool enabled_;
  std::atomic<std::uint64_t> done_{0};
  std::mutex mutex_;
  std::chrono::steady_clock::time_point last_{};
};

// Ctrl+C or SIGTERM: the runs end at their next block (or while they wait for input that
// does not come) and remove their partial files; the program then ends by the same signal.
std::atomic<bool> interrupted{false};
volatile std::sig_atomic_t interruptSignal = 0;
void OnInterrupt(int signal) {
  interruptSignal = signal;
  interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  // A file-size limit makes a write fail (and the run with it), not kill the program.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{
      "Plays recorded VESK .bin files through the processing and writes their .dat files "
      "(and CSV or NetCDF exports)."};
  std::string settingsFile;
  bool ignoreSettingsError = false;
  std::string output;
  std::string outputDir;
  bool summary = false;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> inputs;
  std::vector<std::string> formats;
  app.add_option("--settings", settingsFile, "use this INI file as the settings store")
      ->check(CLI::ExistingFile);
  app.add_flag("--ignore-settings-error", ignoreSettingsError,
               "process with the default settings when the settings file cannot be read");
  auto* outputOpt = app.add_option("--output", output, "the .dat to write (one input only)");
  app.add_option("--output-dir", outputDir, "directory of the .dat files (default: the input's)")
      ->excludes(outputOpt);
  app.add_flag("--summary", summary,
               "one JSON line per input on stdout, with the cast's profiles (section Profiles)");
  std::string formatList = "dat";
  app.add_option("--format", formatList,
                 "outputs, comma separated: dat, csv (beside the .dat), netcdf (.nc, CF), "
                 "profiles (_profiles.csv, _spectra.csv, _profiles.nc: the cast products)");
  std::vector<std::string> attributes;
  app.add_option("--attribute", attributes,
                 "NAME=VALUE: a data set attribute of the exports (title, summary, keywords, "
                 "institution, project, platform, creator_name, license), over the settings' "
                 "section Export");
  int maxFixAge = -1;
  app.add_option("--max-fix-age", maxFixAge,
                 "L frames after which a GPS fix no longer gives the exports a position "
                 "(default: Export/MaxFixAge, 20)")
      ->check(vesk::NumberFrom(0, true));
  app.add_option("--jobs", jobs, "files processed in parallel")->check(vesk::NumberFrom(1, true));
  app.add_option("inputs", inputs, "recorded .bin files")->required();
  vesk::NameProgram(app, "vesk-process");
  if (const auto status = vesk::ParseCommandLine(app, argc, argv)) return *status;
  for (std::size_t start = 0; start <= formatList.size();) {
    const std::size_t comma = std::min(formatList.find(',', start), formatList.size());
    const std::string format = formatList.substr(start, comma - start);
    if (format != "dat" && format != "csv" && format != "netcdf" && format != "profiles") {
      std::fprintf(stderr,
                   "vesk-process: --format: '%s' is not one of dat, csv, netcdf, profiles\n",
                   format.c_str());
      return vesk::kExitUsage;
    }
    formats.push_back(format);
    start = comma + 1;
  }
  if (!output.empty() && inputs.size() != 1) {
    std::fprintf(stderr, "vesk-process: --output names one .dat, but %zu inputs were given\n",
                 inputs.size());
    return vesk::kExitUsage;
  }

  // The tool only reads the store; what the command line sets shadows it for this run.
  std::unique_ptr<vesk::QSettingsStore> userStore;
  if (!settingsFile.empty()) {
    userStore = std::make_unique<vesk::QSettingsStore>(settingsFile);
  } else {
    userStore = std::make_unique<vesk::QSettingsStore>();
  }
  // The outputs depend on the settings (the firmware, a CTD's calibration): default values
  // in place of a store that cannot be read would give wrong files that look right.
  if (!userStore->ReadError().empty() && !ignoreSettingsError) {
    std::fprintf(stderr,
                 "vesk-process: the settings file %s cannot be read: %s; nothing was processed "
                 "(--ignore-settings-error processes with the default settings)\n",
                 userStore->FileName().c_str(), userStore->ReadError().c_str());
    return vesk::kExitUsage;
  }
  vesk::OverlaySettingsStore store(*userStore);
  for (const std::string& attribute : attributes) {
    const std::size_t eq = attribute.find('=');
    const std::string name = attribute.substr(0, eq);
    const auto& known = vesk::MetadataKeys();
    const auto it = std::find_if(known.begin(), known.end(),
                                 [&](const vesk::MetadataKey& m) { return name == m.attribute; });
    if (eq == std::string::npos || it == known.end()) {
      std::fprintf(stderr,
                   "vesk-process: --attribute: '%s' is not NAME=VALUE with NAME one of title, "
                   "summary, keywords, institution, project, platform, creator_name, license\n",
                   attribute.c_str());
      return vesk::kExitUsage;
    }
    store.Overrides().WriteString(it->key.section, it->key.key, attribute.substr(eq + 1));
  }
  if (maxFixAge >= 0) {
    store.Overrides().WriteInt(vesk::keys::kExportMaxFixAge.section,
                               vesk::keys::kExportMaxFixAge.key, maxFixAge);
  }
  vesk::SystemClock clock;
  vesk::BatchPlayer player(store, clock);
  player.SetCancel(&interrupted);
  // No call is restarted after these signals; reads that wait look at the flag in short steps.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
  auto wants = [&](const char* format) {
    return std::find(formats.begin(), formats.end(), format) != formats.end();
  };
  vesk::BatchOutputs outputs;
  outputs.dat = wants("dat");
  const bool csv = wants("csv");
  const bool netcdf = wants("netcdf");
  const bool profiles = wants("profiles");
  const vesk::ProfileSettings profileSettings = vesk::ProfileSettings::Read(store);
  if (profiles || summary) {
    if (const std::string problem = profileSettings.Problem(); !problem.empty()) {
      std::fprintf(stderr, "vesk-process: %s\n", problem.c_str());
      return vesk::kExitUsage;
    }
  }
  // The profiles of each run by its .dat path (every entry made before the runs start).
  std::map<std::string, Profiles> profilesByOutput;

  std::uint64_t totalBytes = 0;
  for (const auto& in : inputs) {
    struct stat st {};
    if (::stat(in.c_str(), &st) == 0) totalBytes += static_cast<std::uint64_t>(st.st_size);
  }
  ProgressBar bar(totalBytes, ::isatty(STDERR_FILENO) != 0);

  // Every input gets its own output: inputs that share a file name (a/cast.bin, b/cast.bin)
  // would otherwise get the same playback name in one directory.
  std::vector<std::string> outputsByInput(inputs.size());
  std::set<std::string> taken;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (!output.empty()) {
      outputsByInput[i] = output;
      continue;
    }
    const std::string name = player.PlaybackOutputPath(
        inputs[i], outputDir.empty() ? DirectoryOf(inputs[i]) : outputDir);
    const std::string stem = name.substr(0, name.size() - 4);  // without ".dat"
    std::string candidate = name;
    for (int n = 2; taken.count(candidate) != 0; ++n) {
      candidate = stem + "_" + std::to_string(n) + ".dat";
    }
    taken.insert(candidate);
    outputsByInput[i] = candidate;
  }

  if (csv || netcdf || profiles || summary) {
    for (const std::string& out : outputsByInput) profilesByOutput[out];
    outputs.exports = [&](const std::string& datPath) {
      std::vector<std::unique_ptr<vesk::ExportWriter>> writers;
      if (csv) {
        writers.push_back(std::make_unique<vesk::CsvExporter>(vesk::ExportPath(datPath, ".csv")));
      }
      if (netcdf) {
        writers.push_back(std::make_unique<vesk::NetcdfExporter>(vesk::ExportPath(datPath, ".nc")));
      }
      if (profiles || summary) {
        std::vector<std::unique_ptr<vesk::ProfileWriter>> files;
        if (profiles) {
          files.push_back(std::make_unique<vesk::ProfileCsvWriter>(datPath));
          files.push_back(std::make_unique<vesk::ProfileNetcdfWriter>(datPath));
        }
        Profiles& kept = profilesByOutput.at(datPath);
        kept.clear();
        writers.push_back(std::make_unique<vesk::CastExportWriter>(
            profileSettings, std::move(files),
            [&kept](const std::shared_ptr<const vesk::ProfileRecord>& p) {
              kept.push_back(ProfileSummary(*p));
            }));
      }
      return writers;
    };
  }

  std::vector<BatchResult> results(inputs.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < inputs.size(); i = next++) {
      const std::string& in = inputs[i];
      const std::string& out = outputsByInput[i];
      std::vector<std::string> written;
      if (outputs.dat) written.push_back(out);
      if (csv) written.push_back(vesk::ExportPath(out, ".csv"));
      if (netcdf) written.push_back(vesk::ExportPath(out, ".nc"));
      if (profiles) {
        for (const char* suffix : {"_profiles.csv", "_spectra.csv", "_profiles.nc"}) {
          written.push_back(vesk::ExportPath(out, suffix));
        }
      }
      std::string clash;
      for (std::size_t a = 0; a < written.size() && clash.empty(); ++a) {
        if (SameFile(in, written[a]) || written[a] == in) {
          clash = written[a] + ": the output is the input itself; refusing to overwrite it";
        }
        for (std::size_t b = a + 1; b < written.size(); ++b) {
          if (written[a] == written[b]) clash = written[a] + ": named for two outputs";
        }
      }
      if (!clash.empty()) {
        results[i].error = clash;
        continue;
      }
      std::uint64_t reported = 0;
      try {
        results[i] = player.Run(
            in, out,
            [&](std::uint64_t done, std::uint64_t) {
              bar.Add(done - reported);
              reported = done;
            },
            outputs);
      } catch (const std::exception& e) {
        results[i] = BatchResult{};
        results[i].error = in + ": " + e.what();
      }
    }
  };
  std::vector<std::thread> threads;
  const unsigned n = std::min<unsigned>(jobs, static_cast<unsigned>(inputs.size()));
  for (unsigned t = 0; t < n; ++t) threads.emplace_back(worker);
  for (auto& t : threads) t.join();
  bar.Finish();
  if (interrupted) {
    std::fprintf(stderr, "vesk-process: interrupted; no partial output was left\n");
    std::signal(interruptSignal, SIG_DFL);
    std::raise(interruptSignal);
    return 128 + interruptSignal;
  }

  int status = 0;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (!results[i].ok) {
      std::fprintf(stderr, "vesk-process: %s\n", results[i].error.c_str());
      status = vesk::kExitFailure;
      continue;
    }
    if (summary) {
      const Profiles& p = profilesByOutput[outputsByInput[i]];
      std::printf("%s\n", SummaryLine(inputs[i], results[i], p).c_str());
    }
  }
  std::fflush(stdout);
  return status;
}
