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
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/qsettings_store.h"
#include "control/live_records.h"
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

using ProfileFiles = std::vector<std::unique_ptr<vesk::ProfileWriter>>;

// The outputs --format names, in the order they are written: the .dat and the files beside it.
struct OutputFormat {
  const char* name;
  const char* help;                  // as --help tells it
  std::vector<const char*> besides;  // the suffixes of its files beside the .dat (none: the .dat)
  // An export's writer, or the cast products' files, for the .dat at this path.
  std::unique_ptr<vesk::ExportWriter> (*exporter)(const std::string& datPath) = nullptr;
  void (*profileFiles)(const std::string& datPath, ProfileFiles& files) = nullptr;
};
const OutputFormat kFormats[] = {
    {"dat", "dat", {}},
    {"csv",
     "csv (beside the .dat)",
     {".csv"},
     [](const std::string& datPath) -> std::unique_ptr<vesk::ExportWriter> {
       return std::make_unique<vesk::CsvExporter>(vesk::ExportPath(datPath, ".csv"));
     }},
    {"netcdf",
     "netcdf (.nc, CF)",
     {".nc"},
     [](const std::string& datPath) -> std::unique_ptr<vesk::ExportWriter> {
       return std::make_unique<vesk::NetcdfExporter>(vesk::ExportPath(datPath, ".nc"));
     }},
    {"profiles",
     "profiles (_profiles.csv, _spectra.csv, _profiles.nc: the cast products)",
     {"_profiles.csv", "_spectra.csv", "_profiles.nc"},
     nullptr,
     [](const std::string& datPath, ProfileFiles& files) {
       files.push_back(std::make_unique<vesk::ProfileCsvWriter>(datPath));
       files.push_back(std::make_unique<vesk::ProfileNetcdfWriter>(datPath));
     }},
};

struct Options {
  std::string settingsFile;
  bool ignoreSettingsError = false;
  std::string output;
  std::string outputDir;
  bool summary = false;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> inputs;
  std::vector<const OutputFormat*> formats;
  std::vector<std::string> attributes;
  int maxFixAge = -1;
};

// The command line into `o`. Empty: go on; otherwise the program ends with this status.
std::optional<int> Parse(int argc, char** argv, Options& o) {
  CLI::App app{
      "Plays recorded VESK .bin files through the processing and writes their .dat files "
      "(and CSV or NetCDF exports)."};
  app.add_option("--settings", o.settingsFile, "use this INI file as the settings store")
      ->check(CLI::ExistingFile);
  app.add_flag("--ignore-settings-error", o.ignoreSettingsError,
               "process with the default settings when the settings file cannot be read");
  auto* outputOpt = app.add_option("--output", o.output, "the .dat to write (one input only)");
  app.add_option("--output-dir", o.outputDir, "directory of the .dat files (default: the input's)")
      ->excludes(outputOpt);
  app.add_flag("--summary", o.summary,
               "one JSON line per input on stdout, with the cast's profiles (section Profiles)");
  std::string names, help;
  for (const OutputFormat& f : kFormats) {
    names += std::string(names.empty() ? "" : ", ") + f.name;
    help += std::string(help.empty() ? "" : ", ") + f.help;
  }
  std::vector<std::string> formats{"dat"};
  app.add_option("--format", formats, "outputs, comma separated: " + help)
      ->delimiter(',')
      ->check(CLI::Validator(
          [names](const std::string& format) -> std::string {
            for (const OutputFormat& f : kFormats) {
              if (format == f.name) return {};
            }
            return "'" + format + "' is not one of " + names;
          },
          "FORMAT"));
  app.add_option("--attribute", o.attributes,
                 "NAME=VALUE: a data set attribute of the exports (title, summary, keywords, "
                 "institution, project, platform, creator_name, license), over the settings' "
                 "section Export");
  app.add_option("--max-fix-age", o.maxFixAge,
                 "L frames after which a GPS fix no longer gives the exports a position "
                 "(default: Export/MaxFixAge, 20)")
      ->check(vesk::NumberFrom(0, true));
  app.add_option("--jobs", o.jobs, "files processed in parallel")->check(vesk::NumberFrom(1, true));
  app.add_option("inputs", o.inputs, "recorded .bin files")->required();
  vesk::NameProgram(app, "vesk-process");
  if (const auto status = vesk::ParseCommandLine(app, argc, argv)) return status;
  // Written in the table's order, each once.
  for (const OutputFormat& f : kFormats) {
    if (std::find(formats.begin(), formats.end(), f.name) != formats.end()) {
      o.formats.push_back(&f);
    }
  }
  if (!o.output.empty() && o.inputs.size() != 1) {
    std::fprintf(stderr, "vesk-process: --output names one .dat, but %zu inputs were given\n",
                 o.inputs.size());
    return vesk::kExitUsage;
  }
  return std::nullopt;
}

// The --attribute and --max-fix-age values over the settings, for this run only; false (and
// said) for an attribute that is not NAME=VALUE of a known name.
bool OverrideSettings(const Options& o, vesk::OverlaySettingsStore& store) {
  for (const std::string& attribute : o.attributes) {
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
      return false;
    }
    store.Overrides().WriteString(it->key.section, it->key.key, attribute.substr(eq + 1));
  }
  if (o.maxFixAge >= 0) {
    store.Overrides().WriteInt(vesk::keys::kExportMaxFixAge.section,
                               vesk::keys::kExportMaxFixAge.key, o.maxFixAge);
  }
  return true;
}

// What the player writes for each input: the .dat when asked for, the exports' writers, and
// the cast products (their files, and the profiles of the summary, kept by .dat path in
// `kept`, whose every entry is made before the runs start).
vesk::BatchOutputs Outputs(const Options& o, const vesk::ProfileSettings& profileSettings,
                           std::map<std::string, Profiles>& kept) {
  vesk::BatchOutputs outputs;
  outputs.dat = false;
  std::vector<const OutputFormat*> exports;
  bool castProducts = o.summary;
  for (const OutputFormat* f : o.formats) {
    outputs.dat = outputs.dat || f->besides.empty();
    castProducts = castProducts || f->profileFiles != nullptr;
    if (f->exporter != nullptr || f->profileFiles != nullptr) exports.push_back(f);
  }
  if (exports.empty() && !castProducts) return outputs;
  outputs.exports = [exports, castProducts, &profileSettings, &kept](const std::string& datPath) {
    std::vector<std::unique_ptr<vesk::ExportWriter>> writers;
    ProfileFiles files;
    for (const OutputFormat* f : exports) {
      if (f->exporter != nullptr) writers.push_back(f->exporter(datPath));
      if (f->profileFiles != nullptr) f->profileFiles(datPath, files);
    }
    if (castProducts) {
      Profiles& profiles = kept.at(datPath);
      profiles.clear();
      writers.push_back(std::make_unique<vesk::CastExportWriter>(
          profileSettings, std::move(files),
          [&profiles](const std::shared_ptr<const vesk::ProfileRecord>& p) {
            profiles.push_back(vesk::ProfileSummaryJson(*p));
          }));
    }
    return writers;
  };
  return outputs;
}

// The .dat of each input. Every input gets its own: inputs that share a file name
// (a/cast.bin, b/cast.bin) would otherwise get the same playback name in one directory.
std::vector<std::string> OutputNames(const Options& o, const vesk::BatchPlayer& player) {
  std::vector<std::string> names(o.inputs.size());
  std::set<std::string> taken;
  for (std::size_t i = 0; i < o.inputs.size(); ++i) {
    if (!o.output.empty()) {
      names[i] = o.output;
      continue;
    }
    const std::string name = player.PlaybackOutputPath(
        o.inputs[i], o.outputDir.empty() ? DirectoryOf(o.inputs[i]) : o.outputDir);
    const std::string stem = name.substr(0, name.size() - 4);  // without ".dat"
    std::string candidate = name;
    for (int n = 2; taken.count(candidate) != 0; ++n) {
      candidate = stem + "_" + std::to_string(n) + ".dat";
    }
    taken.insert(candidate);
    names[i] = candidate;
  }
  return names;
}

// Why the files of one input must not be written (one is the input itself, or two share a
// name), or empty.
std::string Clash(const Options& o, const std::string& in, const std::string& out) {
  std::vector<std::string> written;
  for (const OutputFormat* f : o.formats) {
    if (f->besides.empty()) written.push_back(out);
    for (const char* suffix : f->besides) written.push_back(vesk::ExportPath(out, suffix));
  }
  for (std::size_t a = 0; a < written.size(); ++a) {
    std::string clash;
    if (SameFile(in, written[a]) || written[a] == in) {
      clash = written[a] + ": the output is the input itself; refusing to overwrite it";
    }
    for (std::size_t b = a + 1; b < written.size(); ++b) {
      if (written[a] == written[b]) clash = written[a] + ": named for two outputs";
    }
    if (!clash.empty()) return clash;
  }
  return {};
}

// Plays every input into its .dat (`outs`) on `jobs` threads, a progress bar on a terminal's
// stderr.
std::vector<BatchResult> RunAll(const Options& o, vesk::BatchPlayer& player,
                                const std::vector<std::string>& outs,
                                const vesk::BatchOutputs& outputs) {
  std::uint64_t totalBytes = 0;
  for (const auto& in : o.inputs) {
    struct stat st {};
    if (::stat(in.c_str(), &st) == 0) totalBytes += static_cast<std::uint64_t>(st.st_size);
  }
  ProgressBar bar(totalBytes, ::isatty(STDERR_FILENO) != 0);
  std::vector<BatchResult> results(o.inputs.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < o.inputs.size(); i = next++) {
      const std::string& in = o.inputs[i];
      if (std::string clash = Clash(o, in, outs[i]); !clash.empty()) {
        results[i].error = clash;
        continue;
      }
      std::uint64_t reported = 0;
      try {
        results[i] = player.Run(
            in, outs[i],
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
  const unsigned n = std::min<unsigned>(o.jobs, static_cast<unsigned>(o.inputs.size()));
  for (unsigned t = 0; t < n; ++t) threads.emplace_back(worker);
  for (auto& t : threads) t.join();
  bar.Finish();
  return results;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  // A file-size limit makes a write fail (and the run with it), not kill the program.
  std::signal(SIGXFSZ, SIG_IGN);
  Options o;
  if (const auto status = Parse(argc, argv, o)) return *status;

  // The tool only reads the store; what the command line sets shadows it for this run.
  auto userStore = o.settingsFile.empty() ? std::make_unique<vesk::QSettingsStore>()
                                          : std::make_unique<vesk::QSettingsStore>(o.settingsFile);
  // The outputs depend on the settings (the firmware, a CTD's calibration): default values
  // in place of a store that cannot be read would give wrong files that look right.
  if (!userStore->ReadError().empty() && !o.ignoreSettingsError) {
    std::fprintf(stderr,
                 "vesk-process: the settings file %s cannot be read: %s; nothing was processed "
                 "(--ignore-settings-error processes with the default settings)\n",
                 userStore->FileName().c_str(), userStore->ReadError().c_str());
    return vesk::kExitUsage;
  }
  vesk::OverlaySettingsStore store(*userStore);
  if (!OverrideSettings(o, store)) return vesk::kExitUsage;
  vesk::SystemClock clock;
  vesk::BatchPlayer player(store, clock);
  player.SetCancel(&interrupted);
  // No call is restarted after these signals; reads that wait look at the flag in short steps.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);

  const vesk::ProfileSettings profileSettings = vesk::ProfileSettings::Read(store);
  const bool castProducts =
      o.summary || std::any_of(o.formats.begin(), o.formats.end(),
                               [](const OutputFormat* f) { return f->profileFiles != nullptr; });
  if (const std::string problem = profileSettings.Problem(); castProducts && !problem.empty()) {
    std::fprintf(stderr, "vesk-process: %s\n", problem.c_str());
    return vesk::kExitUsage;
  }
  const std::vector<std::string> outs = OutputNames(o, player);
  std::map<std::string, Profiles> profiles;
  for (const std::string& out : outs) profiles[out];
  const std::vector<BatchResult> results =
      RunAll(o, player, outs, Outputs(o, profileSettings, profiles));
  if (interrupted) {
    std::fprintf(stderr, "vesk-process: interrupted; no partial output was left\n");
    std::signal(interruptSignal, SIG_DFL);
    std::raise(interruptSignal);
    return 128 + interruptSignal;
  }
  int status = 0;
  for (std::size_t i = 0; i < o.inputs.size(); ++i) {
    if (!results[i].ok) {
      std::fprintf(stderr, "vesk-process: %s\n", results[i].error.c_str());
      status = vesk::kExitFailure;
      continue;
    }
    if (o.summary) {
      std::printf("%s\n", SummaryLine(o.inputs[i], results[i], profiles[outs[i]]).c_str());
    }
  }
  std::fflush(stdout);
  return status;
}
