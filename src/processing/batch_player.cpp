#include "processing/batch_player.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "acquisition/headless_seams.h"
#include "processing/frame_processor.h"

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

std::string BatchPlayer::PlaybackOutputPath(const std::string& input,
                                            const std::string& directory) const {
  return WithTrailingSlash(directory) + CVESKDoc::PlaybackDatName(input, clock_.LocalTime());
}

BatchResult BatchPlayer::Run(const std::string& input, const std::string& output,
                             const Progress& progress, const BatchOutputs& outputs) {
  BatchResult result;
  const int fd = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = input + ": " + std::strerror(errno);
    return result;
  }
  struct stat inStat {};
  ::fstat(fd, &inStat);
  if (S_ISDIR(inStat.st_mode)) {
    result.error = input + ": " + std::strerror(EISDIR);
    ::close(fd);
    return result;
  }

  HeadlessWindows windows;
  ConsoleDialogs dialogs(true, true);
  auto doc = std::make_unique<CVESKDoc>(store_, windows, dialogs, clock_);
  doc->playback = true;
  // No window shows a shadowgram in a batch run, and no housekeeping thread bounds it:
  // keeping the grid would only grow memory with the recording.
  doc->gridPaused = true;
  doc->rawFileName = input;
  doc->LoadNavSettings();
  doc->ResetForScan();
  doc->dataDir = DirectoryOf(output);
  const std::string partial = NameOf(output) + ".partial";
  doc->processedFileName = partial;
  bool ok = true;
  if (outputs.dat) {
    if (!doc->datFile.Create(doc->dataDir + partial)) {
      result.error = output + ": " + doc->datFile.Error();
      ::close(fd);
      return result;
    }
    doc->datFile.SetBuffered(true);
    ok = !doc->addHeaderToDatFile || doc->datFile.Write(doc->BuildFileHeader());
  }

  FrameProcessor processor(*doc);
  processor.SetBatchOutput(outputs.dat);
  std::unique_ptr<ExportStage> exports;
  if (outputs.exports) {
    auto writers = outputs.exports(output);
    if (!writers.empty()) {
      exports = std::make_unique<ExportStage>(std::move(writers));
      if (!exports->Begin(MakeExportContext(*doc))) {
        result.error = exports->Error();
        doc->datFile.Close();
        if (outputs.dat) ::unlink((doc->dataDir + partial).c_str());
        ::close(fd);
        return result;
      }
      processor.SetExportSink(exports.get());
    }
  }
  Deframer deframer;
  std::vector<std::uint8_t> buffer(1 << 20);
  const std::uint64_t total = static_cast<std::uint64_t>(inStat.st_size);
  for (;;) {
    if (cancel_ != nullptr && cancel_->load()) {
      result.error = input + ": interrupted";
      break;
    }
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
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
        [&](std::uint8_t type) {
          ++doc->frameErrorCount;
          if (type == 'L') ++doc->lFrameCount;
        });
    if (progress) progress(result.bytes, total);
  }
  ::close(fd);
  processor.FlushRecords();
  // A block lost in a flush on the way fails the run too, not only the last one.
  if (!doc->datFile.Close() || doc->datFile.WriteFailed()) ok = false;
  const std::string partialPath = doc->dataDir + partial;
  if (!ok && result.error.empty()) result.error = output + ": " + doc->datFile.Error();
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
  result.frameErrors = doc->frameErrorCount;
  result.lFrameCount = doc->lFrameCount;
  result.cumulativeTotalCount = doc->cumulativeTotalCount;
  result.cumulativeWindowCount = doc->cumulativeWindowCount;
  result.cumulativeBins = doc->cumulativeBins;
  result.ctd = doc->ctd.sample;
  return result;
}

}  // namespace vesk
