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
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/qsettings_store.h"
#include "files/export_csv.h"
#include "files/export_netcdf.h"
#include "processing/batch_player.h"

namespace {

using vesk::BatchResult;

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string SummaryLine(const std::string& input, const BatchResult& r) {
  std::string s = "{\"input\": " + JsonString(input) + ", \"bytes\": " + std::to_string(r.bytes);
  s += ", \"frames\": {\"L\": " + std::to_string(r.frames[0]) +
       ", \"M\": " + std::to_string(r.frames[1]) + ", \"C\": " + std::to_string(r.frames[2]) +
       ", \"$\": " + std::to_string(r.frames[3]) + "}";
  s += ", \"frame_errors\": " + std::to_string(r.frameErrors);
  s += ", \"l_frame_count\": " + std::to_string(r.lFrameCount);
  s += ", \"cumulative_total_count\": " + std::to_string(r.cumulativeTotalCount);
  s += ", \"cumulative_window_count\": " + std::to_string(r.cumulativeWindowCount);
  s += ", \"cumulative_bins\": [";
  for (std::size_t k = 0; k < r.cumulativeBins.size(); ++k) {
    if (k > 0) s += ", ";
    s += std::to_string(r.cumulativeBins[k]);
  }
  s += "], \"ctd\": {\"conductivity\": " + JsonNumber(r.ctd.conductivity) +
       ", \"temperature\": " + JsonNumber(r.ctd.temperature) +
       ", \"pressure\": " + JsonNumber(r.ctd.pressure) +
       ", \"analog\": " + JsonNumber(r.ctd.analog) +
       ", \"salinity\": " + JsonNumber(r.ctd.salinity) + "}}";
  return s;
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

// Ctrl+C or SIGTERM: the runs end at their next block and remove their partial files; the
// program then ends by the same signal.
std::atomic<bool> interrupted{false};
volatile std::sig_atomic_t interruptSignal = 0;
void OnInterrupt(int signal) {
  interruptSignal = signal;
  interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  CLI::App app{
      "Plays recorded VESK .bin files through the processing and writes their .dat files "
      "(and CSV or NetCDF exports)."};
  std::string settingsFile;
  std::string output;
  std::string outputDir;
  bool summary = false;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> inputs;
  std::vector<std::string> formats;
  app.add_option("--settings", settingsFile, "use this INI file as the settings store")
      ->check(CLI::ExistingFile);
  auto* outputOpt = app.add_option("--output", output, "the .dat to write (one input only)");
  app.add_option("--output-dir", outputDir, "directory of the .dat files (default: the input's)")
      ->excludes(outputOpt);
  app.add_flag("--summary", summary, "one JSON line per input on stdout");
  std::string formatList = "dat";
  app.add_option("--format", formatList,
                 "outputs, comma separated: dat, csv (beside the .dat), netcdf (.nc, CF)");
  app.add_option("--jobs", jobs, "files processed in parallel")->check(CLI::PositiveNumber);
  app.add_option("inputs", inputs, "recorded .bin files")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  for (std::size_t start = 0; start <= formatList.size();) {
    const std::size_t comma = std::min(formatList.find(',', start), formatList.size());
    const std::string format = formatList.substr(start, comma - start);
    if (format != "dat" && format != "csv" && format != "netcdf") {
      std::fprintf(stderr, "vesk-process: --format: '%s' is not one of dat, csv, netcdf\n",
                   format.c_str());
      return 2;
    }
    formats.push_back(format);
    start = comma + 1;
  }
  if (!output.empty() && inputs.size() != 1) {
    std::fprintf(stderr, "vesk-process: --output names one .dat, but %zu inputs were given\n",
                 inputs.size());
    return 2;
  }

  // The tool only reads the store.
  std::unique_ptr<vesk::SettingsStore> store;
  if (!settingsFile.empty()) {
    store = std::make_unique<vesk::QSettingsStore>(settingsFile);
  } else {
    store = std::make_unique<vesk::QSettingsStore>();
  }
  vesk::SystemClock clock;
  vesk::BatchPlayer player(*store, clock);
  player.SetCancel(&interrupted);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, OnInterrupt);
  auto wants = [&](const char* format) {
    return std::find(formats.begin(), formats.end(), format) != formats.end();
  };
  vesk::BatchOutputs outputs;
  outputs.dat = wants("dat");
  const bool csv = wants("csv");
  const bool netcdf = wants("netcdf");
  if (csv || netcdf) {
    outputs.exports = [csv, netcdf](const std::string& datPath) {
      std::vector<std::unique_ptr<vesk::ExportWriter>> writers;
      if (csv) {
        writers.push_back(std::make_unique<vesk::CsvExporter>(vesk::ExportPath(datPath, ".csv")));
      }
      if (netcdf) {
        writers.push_back(std::make_unique<vesk::NetcdfExporter>(vesk::ExportPath(datPath, ".nc")));
      }
      return writers;
    };
  }

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
      status = 1;
      continue;
    }
    if (summary) std::printf("%s\n", SummaryLine(inputs[i], results[i]).c_str());
  }
  std::fflush(stdout);
  return status;
}
