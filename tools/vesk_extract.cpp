// vesk-extract: copies selected frame types out of a recorded .bin file into a new file.
// stdout carries the final message only; errors go to stderr. Length failures of auxiliary
// frames are logged in the .err file beside the input (beside the output when the input's
// folder cannot be written). The settings store is not used. Ctrl+C or SIGTERM ends a run
// without leaving its output, and the program then ends by that signal.

#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "files/stream_extractor.h"

namespace {

std::atomic<bool> interrupted{false};
volatile sig_atomic_t interruptSignal = 0;
void OnInterrupt(int signal) {
  interruptSignal = signal;
  interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  CLI::App app{"Copies selected frame types out of a recorded VESK .bin file."};
  vesk::StreamExtractOptions options;
  std::string input;
  std::string output;
  std::string auxType;
  app.add_option("--input", input, "recorded .bin file to read")->required();
  app.add_option("--output", output, "file to write the extracted frames to")->required();
  app.add_flag("--binned", options.binned, "extract L frames (binned data)");
  app.add_flag("--ctd", options.ctd, "extract C frames (CTD data)");
  app.add_flag("--gps", options.gps, "extract $ frames (GPS data)");
  app.add_flag("--mep", options.mep, "extract M frames (MEP data)");
  app.add_option("--aux", auxType, "extract auxiliary frames introduced by this letter")
      ->check(
          [](const std::string& s) {
            if (s.size() != 1) return std::string("the auxiliary type is one character");
            if (s[0] == '~') return std::string("\"~\" cannot be a frame type");
            return std::string();
          },
          "LETTER");
  app.add_flag("--strip-ctd", options.stripCtd,
               "C frames without ~C and ~*, each ended with CR LF");
  app.add_flag("--strip-gps", options.stripGps, "$ frames without ~$ and ~*");
  app.add_flag("--strip-aux", options.stripAux,
               "auxiliary frames without framing, with the length check (implies --aux S)");
  app.add_option("--min", options.minAuxFrame, "minimum auxiliary frame length")
      ->check(CLI::Range(0, vesk::kAuxFrameLimitMax))
      ->capture_default_str();
  app.add_option("--max", options.maxAuxFrame, "maximum auxiliary frame length")
      ->check(CLI::Range(0, vesk::kAuxFrameLimitMax))
      ->capture_default_str();
  vesk::NameProgram(app, "vesk-extract");
  if (const auto status = vesk::ParseCommandLine(app, argc, argv)) return *status;
  if (!auxType.empty()) {
    options.aux = true;
    options.auxType = auxType[0];
  }
  // As in the dialog: stripping the auxiliary framing also selects the auxiliary frames.
  if (options.stripAux) options.aux = true;

  // No call is restarted after these signals: an open or write that waits on a FIFO ends.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);

  const bool showProgress = ::isatty(STDERR_FILENO) != 0;
  int shown = -1;
  vesk::StreamExtractor extractor(options);
  extractor.SetCancel(&interrupted);
  const bool ok = extractor.Run(input, output, [&](std::uint64_t done, std::uint64_t total) {
    if (!showProgress || total == 0) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == shown) return;
    shown = percent;
    std::fprintf(stderr, "\r%3d%%", percent);
  });
  if (shown >= 0) std::fprintf(stderr, "\n");
  if (!ok) {
    std::fprintf(stderr, "%s", extractor.Error().c_str());
    if (interrupted) {
      ::signal(interruptSignal, SIG_DFL);
      ::raise(interruptSignal);
      return 128 + interruptSignal;
    }
    return 1;
  }
  std::printf("%s\n", extractor.Message().c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}
