#include "files/stream_extractor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "files/data_file.h"
#include "files/frame_format.h"
#include "files/recording_input.h"

namespace vesk {
namespace {

// The two escapes are written out once this much has collected.
constexpr std::size_t kWriteThreshold = 1 << 20;

constexpr const char* kNoFramesText = "No frames were processed.";
constexpr const char* kProcessedText = "%" PRIu64 " frames processed";
constexpr const char* kDroppedText = "\n%" PRIu64 " frames dropped";
constexpr const char* kCorruptText = "\n%" PRIu64 " frames corrupt";
constexpr const char* kBadFrameText =
    "\r\n\r\nFrame %" PRIu64 " bad, ending at byte %" PRIu64 "\r\n";
constexpr const char* kCorruptFrameText =
    "\r\n\r\nFrame %" PRIu64 " corrupt, ending at byte %" PRIu64 "\r\n";
constexpr const char* kTooLongFrameText =
    "\r\n\r\nFrame dropped: no end within %zu bytes, at byte %" PRIu64 "\r\n";
constexpr const char* kOpenOutputText = "Error opening file for output: \"%s\" <%u> %s\n";
constexpr const char* kReadText = "Error reading file: \"%s\" <%u> %s\n";
constexpr const char* kWriteText = "Error writing file: \"%s\" <%u> %s\n";
constexpr const char* kInterruptedText =
    "Extraction interrupted: nothing was written to \"%s\" (the partial output was removed)\n";
constexpr const char* kLogMovedText =
    "\nFrame length failures logged in %s (the input's folder cannot be written)";

template <class... Args>
std::string Printf(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string s(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
  std::snprintf(s.data(), s.size(), format, args...);
  s.resize(static_cast<std::size_t>(std::max(n, 0)));
  return s;
}

std::string FileError(const char* format, const std::string& path, int err,
                      const char* reason = nullptr) {
  return Printf(format, path.c_str(), static_cast<unsigned>(err),
                reason != nullptr ? reason : std::strerror(err));
}

class Fd {
 public:
  Fd() = default;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now; the errno of a failed close, else 0.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Two names of one place, whether it exists yet or not.
bool SamePath(const std::string& a, const std::string& b) {
  std::error_code ea, eb;
  return std::filesystem::weakly_canonical(a, ea) == std::filesystem::weakly_canonical(b, eb) &&
         !ea && !eb;
}

// The mode bits decide as well as access(): root may write anywhere, but a folder made
// read-only is an archive to leave as it is.
bool FolderWritable(const std::string& dir) {
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0 &&
         ::access(dir.c_str(), W_OK | X_OK) == 0;
}

// Writes and empties `bytes`; the errno of a failed write, else 0. A write that waits (on a
// FIFO nobody reads) ends when a signal comes and `cancel` is set.
int WriteOut(int fd, std::string& bytes, const std::atomic<bool>* cancel) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR && (cancel == nullptr || !cancel->load())) continue;
      return errno;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  bytes.clear();
  return 0;
}

// A file the extraction writes: under "<path>.partial" until Commit puts it under its name,
// so an interrupted or failed run leaves nothing that looks complete (and an earlier file of
// that name as it was). A device or FIFO that already has the name is written directly.
class OutputFile {
 public:
  OutputFile(std::string path, const std::atomic<bool>* cancel)
      : path_(std::move(path)), cancel_(cancel) {}
  ~OutputFile() { Discard(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(OutputFile&& other) noexcept {
    Discard();
    path_ = std::move(other.path_);
    partial_ = std::exchange(other.partial_, {});
    cancel_ = other.cancel_;
    fd_.Reset(other.fd_.Release());
    held_.Reset(other.held_.Release());
    return *this;
  }

  bool IsOpen() const { return fd_.Get() >= 0; }
  const std::string& Path() const { return path_; }

  bool Open(std::string& error) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) return Fail(error, path_, EISDIR);
      if (!S_ISREG(st.st_mode)) {
        fd_.Reset(::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        return IsOpen() || Fail(error, path_, errno);
      }
      // A file another program writes (a running extraction, say) is not replaced.
      held_.Reset(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
      if (held_.Get() >= 0 && ::flock(held_.Get(), LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK) {
        return Fail(error, path_, errno, errno == EWOULDBLOCK ? kFileInUse : nullptr);
      }
    }
    // Emptied only once locked: the partial file of a run still going on is left alone.
    const std::string partial = path_ + ".partial";
    fd_.Reset(::open(partial.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
    if (!IsOpen()) return Fail(error, path_, errno);
    if (::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK) {
      const int err = errno;
      fd_.Close();
      return Fail(error, path_, err, err == EWOULDBLOCK ? kFileInUse : nullptr);
    }
    partial_ = partial;
    return ::ftruncate(fd_.Get(), 0) == 0 || Fail(error, path_, errno);
  }
  bool Write(std::string& bytes, std::string& error) {
    const int err = WriteOut(fd_.Get(), bytes, cancel_);
    return err == 0 || Fail(error, path_, err, nullptr, kWriteText);
  }
  // Closed and under its name.
  bool Commit(std::string& error) {
    if (const int err = fd_.Close(); err != 0) return Fail(error, path_, err, nullptr, kWriteText);
    if (!partial_.empty() && ::rename(partial_.c_str(), path_.c_str()) != 0) {
      return Fail(error, path_, errno, nullptr, kWriteText);
    }
    partial_.clear();
    held_.Close();
    return true;
  }

 private:
  bool Fail(std::string& error, const std::string& path, int err, const char* reason = nullptr,
            const char* format = kOpenOutputText) {
    error = FileError(format, path, err, reason);
    return false;
  }
  void Discard() {
    fd_.Close();
    if (!partial_.empty()) ::unlink(partial_.c_str());
    partial_.clear();
  }

  std::string path_;
  const std::atomic<bool>* cancel_;
  std::string partial_;
  Fd fd_;
  Fd held_;  // the existing file of the name, locked while the run writes its successor
};

}  // namespace

std::string ExtractionMessage(const StreamExtractCounts& counts) {
  if (counts.processed == 0) return kNoFramesText;
  std::string text = Printf(kProcessedText, counts.processed);
  if (counts.dropped > 0) text += Printf(kDroppedText, counts.dropped);
  if (counts.corrupt > 0) text += Printf(kCorruptText, counts.corrupt);
  return text;
}

std::string ErrorLogPathFor(const std::string& inputPath) {
  const std::size_t n = inputPath.size();
  const bool hasExtension = n >= 4 && inputPath[n - 4] == '.' &&
                            inputPath.find_first_of("./", n - 3) == std::string::npos;
  if (hasExtension) {
    std::string log = inputPath.substr(0, n - 3) + "err";
    if (log != inputPath) return log;
  }
  return inputPath + ".err";
}

StreamExtractor::StreamExtractor(const StreamExtractOptions& options) : options_(options) {
  options_.minAuxFrame = std::clamp(options_.minAuxFrame, 0, kAuxFrameLimitMax);
  options_.maxAuxFrame = std::clamp(options_.maxAuxFrame, 0, kAuxFrameLimitMax);
  lengthCheck_ =
      options_.stripAux && options_.minAuxFrame >= 1 && options_.maxAuxFrame > options_.minAuxFrame;
}

void StreamExtractor::Reset() {
  inFrame_ = false;
  previous_ = 0;
  kind_ = Kind::None;
  frame_.clear();
  position_ = 0;
  counts_ = {};
}

StreamExtractor::Kind StreamExtractor::KindOf(std::uint8_t letter) const {
  // The counter's own types come first when the auxiliary letter is one of them.
  if (letter == 'L' && options_.binned) return Kind::Binned;
  if (letter == 'C' && options_.ctd) return Kind::Ctd;
  if (letter == '$' && options_.gps) return Kind::Gps;
  if (letter == 'M' && options_.mep) return Kind::Mep;
  if (options_.aux && letter == static_cast<std::uint8_t>(options_.auxType)) return Kind::Aux;
  return Kind::None;
}

bool StreamExtractor::Stripped(Kind kind) const {
  switch (kind) {
    case Kind::Ctd: return options_.stripCtd;
    case Kind::Gps: return options_.stripGps;
    case Kind::Aux: return options_.stripAux;
    default: return false;
  }
}

void StreamExtractor::StartFrame(std::uint8_t letter) {
  inFrame_ = true;
  frame_.clear();
  if (!Stripped(kind_)) {
    frame_.push_back(static_cast<char>(kTilde));
    frame_.push_back(static_cast<char>(letter));
  }
}

void StreamExtractor::EndFrame(std::uint64_t position, std::string& output, std::string& log) {
  inFrame_ = false;
  if (!Stripped(kind_)) {
    frame_ += "~*";
  } else if (kind_ == Kind::Ctd) {
    frame_ += "\r\n";
  }
  const std::uint64_t number = ++counts_.processed;
  if (kind_ == Kind::Aux && lengthCheck_) {
    const auto length = frame_.size();
    const auto min = static_cast<std::size_t>(options_.minAuxFrame);
    const auto max = static_cast<std::size_t>(options_.maxAuxFrame);
    if (length < min || length > max) {
      log += Printf(kBadFrameText, number, position);
      log += frame_;
      ++counts_.dropped;
      frame_.clear();
      return;
    }
    if (length > min) {
      log += Printf(kCorruptFrameText, number, position);
      log += frame_;
      ++counts_.corrupt;
      frame_.erase(0, length - min);
    }
  }
  output += frame_;
  frame_.clear();
}

void StreamExtractor::Feed(std::span<const std::uint8_t> bytes, std::string& output,
                           std::string& log) {
  const std::uint8_t* const begin = bytes.data();
  const std::uint8_t* const end = begin + bytes.size();
  const std::uint8_t* p = begin;
  while (p < end) {
    if (!inFrame_) {
      if (previous_ == kTilde) {
        const std::uint8_t b = *p++;
        kind_ = KindOf(b);
        if (kind_ != Kind::None) {
          previous_ = b;
          StartFrame(b);
        } else {
          // A blank, so that "~~M" outside a frame starts nothing.
          previous_ = ' ';
        }
        continue;
      }
      const void* t = std::memchr(p, kTilde, static_cast<std::size_t>(end - p));
      if (t == nullptr) {
        previous_ = end[-1];
        break;
      }
      p = static_cast<const std::uint8_t*>(t) + 1;
      previous_ = kTilde;
      continue;
    }

    if (previous_ == kTilde) {
      // The byte after a held-back "~" decides: escaped "~", end, or the "~" is dropped.
      const std::uint8_t b = *p++;
      if (b == kTilde) {
        // A framed copy keeps the escape, so it plays back as the counter sent it.
        if (!Stripped(kind_)) frame_.push_back(static_cast<char>(kTilde));
        frame_.push_back(static_cast<char>(kTilde));
        previous_ = 0;
      } else if (b == kStar) {
        previous_ = b;
        EndFrame(position_ + static_cast<std::uint64_t>(p - 1 - begin), output, log);
      } else {
        frame_.push_back(static_cast<char>(b));
        previous_ = b;
      }
      continue;
    }

    // Payload: everything up to the next "~" in one go, as far as a frame may grow.
    if (frame_.size() >= kMaxFrameLength) {
      // A frame without its end (a cut or noisy recording) is dropped, as acquisition does:
      // memory stays flat whatever the file holds.
      log += Printf(kTooLongFrameText, kMaxFrameLength,
                    position_ + static_cast<std::uint64_t>(p - begin));
      ++counts_.dropped;
      inFrame_ = false;
      frame_.clear();
      frame_.shrink_to_fit();
      continue;
    }
    const std::size_t room = kMaxFrameLength - frame_.size();
    const std::size_t avail = std::min(room, static_cast<std::size_t>(end - p));
    const void* t = std::memchr(p, kTilde, avail);
    const std::uint8_t* stop = t == nullptr ? p + avail : static_cast<const std::uint8_t*>(t);
    if (stop > p) {
      frame_.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(stop - p));
      previous_ = stop[-1];
      p = stop;
    }
    if (p < end && *p == kTilde) {
      previous_ = kTilde;  // held back until the next byte says what it is
      ++p;
    }
  }
  position_ += bytes.size();
}

bool StreamExtractor::Run(const std::string& inputPath, const std::string& outputPath,
                          const Progress& progress) {
  Reset();
  error_.clear();
  logNote_.clear();
  if (RunFiles(inputPath, outputPath, progress)) return true;
  // Whatever a signal broke off (a read, an open or a write that waited), it is told as such.
  if (cancel_ != nullptr && cancel_->load()) error_ = Printf(kInterruptedText, outputPath.c_str());
  return false;
}

bool StreamExtractor::RunFiles(const std::string& inputPath, const std::string& outputPath,
                               const Progress& progress) {
  // A plain read-only open without a lock: the recording may still be written by a scan.
  RecordingInput in;
  struct stat inStat {};
  if (!in.Open(inputPath) || ::stat(inputPath.c_str(), &inStat) != 0) {
    error_ = FileError(kOpenInputText, inputPath, errno);
    return false;
  }

  // The log goes beside the input, or beside the output when the input's folder (an
  // archive, a read-only medium) cannot be written. It is made only for a failure to log.
  const std::string usualLogPath = ErrorLogPathFor(inputPath);
  const std::string besideOutput = DirectoryOf(outputPath) + BaseName(usualLogPath);
  const std::string logPath =
      FolderWritable(DirectoryOf(usualLogPath)) ? usualLogPath : besideOutput;
  struct stat outStat {};
  const bool outExists = ::stat(outputPath.c_str(), &outStat) == 0;
  if ((outExists && SameFile(outStat, inStat)) || SamePath(outputPath, inputPath)) {
    error_ = FileError(kOpenOutputText, outputPath, EBUSY, "it is the input file");
    return false;
  }
  if (SamePath(outputPath, logPath)) {
    error_ = FileError(kOpenOutputText, outputPath, EBUSY, "it is the error log");
    return false;
  }
  OutputFile out(outputPath, cancel_);
  if (!out.Open(error_)) return false;
  OutputFile log(logPath, cancel_);

  std::vector<std::uint8_t> block(kBlockSize);
  std::string outBytes;
  std::string logBytes;
  std::uint64_t done = 0;
  auto writeOut = [&](bool all) {
    if ((all || outBytes.size() >= kWriteThreshold) && !outBytes.empty() &&
        !out.Write(outBytes, error_)) {
      return false;
    }
    if ((all || logBytes.size() >= kWriteThreshold) && !logBytes.empty()) {
      // First failure to log: the log is made now, or beside the output when it cannot be.
      if (!log.IsOpen() && !log.Open(error_)) {
        if (log.Path() == besideOutput || SamePath(besideOutput, outputPath)) return false;
        log = OutputFile(besideOutput, cancel_);
        if (!log.Open(error_)) return false;
      }
      if (log.Path() != usualLogPath) logNote_ = Printf(kLogMovedText, log.Path().c_str());
      if (!log.Write(logBytes, error_)) return false;
    }
    return true;
  };
  auto cancelled = [this] { return cancel_ != nullptr && cancel_->load(); };

  for (;;) {
    const ssize_t n =
        cancelled() ? RecordingInput::kStopped : in.Read(block.data(), block.size(), cancelled);
    if (n == RecordingInput::kStopped) return false;  // the partial files go with `out`, `log`
    if (n < 0) {
      error_ = FileError(kReadText, inputPath, errno);
      return false;
    }
    if (n == 0) break;
    Feed(std::span<const std::uint8_t>(block.data(), static_cast<std::size_t>(n)), outBytes,
         logBytes);
    done += static_cast<std::uint64_t>(n);
    if (progress) progress(done, in.Size());
    if (!writeOut(false)) return false;
  }
  return writeOut(true) && out.Commit(error_) && (!log.IsOpen() || log.Commit(error_));
}

}  // namespace vesk
