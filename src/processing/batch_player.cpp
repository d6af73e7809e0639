#include "processing/batch_player.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "files/data_file.h"
#include "files/file_header.h"
#include "files/mark_log.h"
#include "files/recording_input.h"
#include "processing/deframer.h"
#include "processing/frame_processor.h"
#include "seams/settings_keys.h"
#include "seams/user_dialogs.h"

namespace vesk {
namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A batch run asks nothing and tells what went wrong in its result.
class SilentDialogs : public UserDialogs {
 public:
  void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
  void QueueMessage(const std::string&, const std::string&, MessageIcon) override {}
  void Notify(const std::string&) override {}
  bool AskYesNo(const std::string&, const std::string&, bool) override { return true; }
  std::optional<std::string> AskDataFileName(const std::string&, const std::string&,
                                             bool) override {
    return std::nullopt;
  }
};

// The records go to the .dat; a failed write shows in the file's state at its close.
class DatWriter : public RecordWriter {
 public:
  explicit DatWriter(DataFile& dat) : dat_(dat) {}
  bool Write(std::string_view records) override { return dat_.Write(records); }

 private:
  DataFile& dat_;
};

}  // namespace

int FrameTypeIndex(std::uint8_t type) {
  switch (type) {
    case 'L': return 0;
    case 'M': return 1;
    case 'C': return 2;
    case '$': return 3;
    default: return -1;
  }
}

std::string NoCounterFramesText(const std::string& path) {
  return "No counter frames were found in " + path + "; no .dat was kept.";
}

std::string BatchPlayer::PlaybackOutputPath(const std::string& input,
                                            const std::string& directory) const {
  std::string dir = directory;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir != "/") dir += '/';
  return dir + PlaybackDatName(input, clock_.LocalTime());
}

BatchResult BatchPlayer::Run(const std::string& input, const std::string& output,
                             const Progress& progress, const BatchOutputs& outputs) {
  BatchResult result;
  RecordingInput in;
  if (!in.Open(input)) {
    result.error = input + ": " + std::strerror(errno);
    return result;
  }

  // The settings a playback in the window would use, from the store.
  ScanSettings s = ScanSettings::Load(store_);
  // No window shows a shadowgram in a batch run, and no housekeeping thread bounds it:
  // keeping the grid would only grow memory with the recording.
  s.gridPaused = true;
  const ScanSettingsChannel settings(s);
  ScanResults results;
  SilentDialogs dialogs;
  CtdDecoder ctd(store_, dialogs);
  ctd.LoadScanSettings(s.ctdModel, s.instrInputViaMux);
  ctd.StartScan();
  NmeaLogGate nmeaGate;
  ProcessingListener listener;

  const std::string partialPath = DirectoryOf(output) + NameOf(output) + ".partial";
  DataFile dat;
  DatWriter writer(dat);
  bool ok = true;
  if (outputs.dat) {
    if (!dat.Create(partialPath)) {
      result.error = output + ": " + dat.Error();
      return result;
    }
    dat.SetBuffered(true);
    ok = !store_.ReadBool(keys::kAddHeaderToDatFile) ||
         dat.Write(BuildPlaybackHeader(clock_.LocalTime(), input));
  }

  FrameProcessor processor(
      FrameProcessor::Parts{settings, results, ctd, writer, listener, nmeaGate});
  processor.SetBatchOutput(outputs.dat);
  std::unique_ptr<ExportStage> exports;
  if (outputs.exports) {
    auto writers = outputs.exports(output);
    if (!writers.empty()) {
      exports = std::make_unique<ExportStage>(std::move(writers));
      ExportRunInputs run = s.ExportInputs(ctd.Model());
      run.header = ReadRawHeader(input, 1u << 20);
      run.sourcePath = input;
      run.marksPath = MarksPath(input);  // a recording's marks are beside it
      if (!exports->Begin(MakeExportContext(run, store_))) {
        result.error = exports->Error();
        dat.Close();
        if (outputs.dat) ::unlink(partialPath.c_str());
        return result;
      }
      processor.SetExportSink(exports.get());
    }
  }
  Deframer deframer;
  std::vector<std::uint8_t> buffer(1 << 20);
  const std::uint64_t total = in.Size();
  auto cancelled = [this] { return cancel_ != nullptr && cancel_->load(); };
  for (;;) {
    const ssize_t n =
        cancelled() ? RecordingInput::kStopped : in.Read(buffer.data(), buffer.size(), cancelled);
    if (n == RecordingInput::kStopped) {
      result.error = input + ": interrupted";
      break;
    }
    if (n < 0) {
      result.error = input + ": " + std::strerror(errno);
      break;
    }
    if (n == 0) break;
    result.bytes += static_cast<std::uint64_t>(n);
    deframer.Feed(
        buffer.data(), static_cast<std::size_t>(n),
        [&](std::span<const std::uint8_t> frame) {
          const int index = FrameTypeIndex(frame[0]);
          if (index >= 0) ++result.frames[index];
          processor.Process(frame);
        },
        [&](std::uint8_t type) { processor.CountAbortedFrame(type); });
    if (progress) progress(result.bytes, total);
  }
  in.Close();
  processor.FlushRecords();
  // Read to its end without one frame of the counter: no recording, and no .dat for it.
  const bool noFrames =
      result.frames[0] + result.frames[1] + result.frames[2] + result.frames[3] == 0;
  if (noFrames && result.error.empty()) result.error = NoCounterFramesText(input);
  // A block lost in a flush on the way fails the run too, not only the last one.
  if (!dat.Close() || dat.WriteFailed()) ok = false;
  if (!ok && result.error.empty()) result.error = output + ": " + dat.Error();
  if (exports && result.error.empty() && !exports->Finish()) result.error = exports->Error();
  if (!result.error.empty()) {
    if (outputs.dat) ::unlink(partialPath.c_str());
    return result;  // the export stage removes its files
  }
  if (outputs.dat && ::rename(partialPath.c_str(), output.c_str()) != 0) {
    result.error = output + ": " + std::strerror(errno);
    ::unlink(partialPath.c_str());
    if (exports) exports->Discard();
    return result;
  }

  result.ok = true;
  result.frameErrors = results.FrameErrors();
  result.lFrameCount = results.LFrames();
  const BinTable bins = results.Bins();
  result.cumulativeTotalCount = bins.cumulativeTotalCount;
  result.cumulativeWindowCount = bins.cumulativeWindowCount;
  result.cumulativeBins = bins.cumulative;
  result.ctd = ctd.Sample();
  return result;
}

}  // namespace vesk
