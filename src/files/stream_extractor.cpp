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
#include <initializer_list>
#include <vector>

#include "files/data_file.h"

namespace vesk {
namespace {

constexpr std::uint8_t kTilde = 0x7E;
constexpr std::uint8_t kStar = 0x2A;
// The longest frame kept: the acquisition deframer's bound.
constexpr std::size_t kMaxFrameLength = 65536;
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

 private:
  int fd_ = -1;
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens (creating) a file to write and empties it, but only after checking that it is none of
// the files in `protect` and that no other program holds it: a refused file is left as it was.
struct Protected {
  const struct stat* file;
  const char* reason;
};
bool OpenForOutput(const std::string& path, std::initializer_list<Protected> protect, Fd& fd,
                   struct stat& st, std::string& error) {
  fd.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
    error = FileError(kOpenOutputText, path, errno);
    return false;
  }
  for (const Protected& p : protect) {
    if (p.file != nullptr && SameFile(st, *p.file)) {
      error = FileError(kOpenOutputText, path, EBUSY, p.reason);
      return false;
    }
  }
  if (S_ISDIR(st.st_mode)) {
    error = FileError(kOpenOutputText, path, EISDIR);
    return false;
  }
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK) {
    const int err = errno;
    error = FileError(kOpenOutputText, path, err, err == EWOULDBLOCK ? kFileInUse : nullptr);
    return false;
  }
  // Character devices (such as /dev/null) cannot be truncated; regular files can.
  if (::ftruncate(fd.Get(), 0) != 0 && errno != EINVAL) {
    error = FileError(kOpenOutputText, path, errno);
    return false;
  }
  return true;
}

// Writes and empties `bytes`; the errno of a failed write, else 0.
int WriteOut(int fd, std::string& bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  bytes.clear();
  return 0;
}

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

  // A plain read-only open without a lock: the recording may still be written by a scan.
  Fd in;
  in.Reset(::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  struct stat inStat {};
  if (in.Get() < 0 || ::fstat(in.Get(), &inStat) != 0) {
    error_ = FileError(kOpenInputText, inputPath, errno);
    return false;
  }
  if (S_ISDIR(inStat.st_mode)) {
    error_ = FileError(kOpenInputText, inputPath, EISDIR);
    return false;
  }
  const std::uint64_t total =
      S_ISREG(inStat.st_mode) ? static_cast<std::uint64_t>(inStat.st_size) : 0;

  const std::string logPath = ErrorLogPathFor(inputPath);
  Fd log;
  struct stat logStat {};
  if (!OpenForOutput(logPath, {{&inStat, "it is the input file"}}, log, logStat, error_)) {
    return false;
  }
  Fd out;
  struct stat outStat {};
  if (!OpenForOutput(outputPath,
                     {{&inStat, "it is the input file"}, {&logStat, "it is the error log"}}, out,
                     outStat, error_)) {
    return false;
  }

  std::vector<std::uint8_t> block(kBlockSize);
  std::string outBytes;
  std::string logBytes;
  std::uint64_t done = 0;
  auto writeOut = [&](bool all) {
    if ((all || outBytes.size() >= kWriteThreshold) && !outBytes.empty()) {
      if (const int err = WriteOut(out.Get(), outBytes); err != 0) {
        error_ = FileError(kWriteText, outputPath, err);
        return false;
      }
    }
    if ((all || logBytes.size() >= kWriteThreshold) && !logBytes.empty()) {
      if (const int err = WriteOut(log.Get(), logBytes); err != 0) {
        error_ = FileError(kWriteText, logPath, err);
        return false;
      }
    }
    return true;
  };

  for (;;) {
    const ssize_t n = ::read(in.Get(), block.data(), block.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = FileError(kReadText, inputPath, errno);
      return false;
    }
    if (n == 0) break;
    Feed(std::span<const std::uint8_t>(block.data(), static_cast<std::size_t>(n)), outBytes,
         logBytes);
    done += static_cast<std::uint64_t>(n);
    if (progress) progress(done, total);
    if (!writeOut(false)) return false;
  }
  if (!writeOut(true)) return false;
  if (const int err = out.Close(); err != 0) {
    error_ = FileError(kWriteText, outputPath, err);
    return false;
  }
  if (const int err = log.Close(); err != 0) {
    error_ = FileError(kWriteText, logPath, err);
    return false;
  }
  return true;
}

}  // namespace vesk
