#pragma once
// Copies selected frame types out of a recorded .bin file into a new file, optionally without
// the framing of the text streams, and checks the length of auxiliary frames (the "Extract
// Data Stream" dialog and vesk-extract both drive this class). It has a deframer of its own:
// it never aborts a frame, so what it writes is not what acquisition would decode.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vesk {

inline constexpr int kAuxFrameLimitMax = 8192;
inline constexpr int kDefaultMinAuxFrame = 80;
inline constexpr int kDefaultMaxAuxFrame = 238;
inline constexpr char kDefaultAuxType = 'S';
// Caption of the message box that shows Message().
inline constexpr const char* kStreamExtractionCaption = "Stream Extraction";
// A recording that cannot be opened: its path, the error number and its text.
inline constexpr const char* kOpenInputText = "Error opening file: \"%s\" <%u> %s\n";

struct StreamExtractOptions {
  bool binned = false;  // L frames
  bool ctd = false;     // C frames
  bool gps = false;     // $ frames
  bool mep = false;     // M frames
  bool aux = false;     // frames introduced by auxType
  char auxType = kDefaultAuxType;
  bool stripCtd = false;  // C text only, each frame ended with CR LF
  bool stripGps = false;  // $ text only
  bool stripAux = false;  // aux text only, and the length check below
  int minAuxFrame = kDefaultMinAuxFrame;
  int maxAuxFrame = kDefaultMaxAuxFrame;
};

struct StreamExtractCounts {
  std::uint64_t processed = 0;  // frames that ended with "~*"
  std::uint64_t dropped = 0;    // aux frames outside the size range (not written)
  std::uint64_t corrupt = 0;    // aux frames longer than the minimum (cut to the minimum)
};

// The text shown at the end of a run.
std::string ExtractionMessage(const StreamExtractCounts& counts);

// Where the length failures of a run on `inputPath` are logged: the input path with its last
// three characters replaced by "err", or the input path + ".err" when the input has no
// three-character extension or is itself an .err file (the log never replaces its input).
std::string ErrorLogPathFor(const std::string& inputPath);

class StreamExtractor {
 public:
  static constexpr std::size_t kBlockSize = 8192;
  // Called after each block read: bytes read so far, input length.
  using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

  explicit StreamExtractor(const StreamExtractOptions& options);

  // Extracts `inputPath` into `outputPath` and logs length failures beside the input
  // (ErrorLogPathFor), or beside the output when the input's folder cannot be written; the
  // log is made only when there is a failure to log. The input is only read, never locked
  // or written; the output and the log appear under their names only when complete. False
  // when a file cannot be opened, read or written, or the run was cancelled; Error() then
  // holds the text to show. Otherwise Message() holds the final text and Counts() the
  // counters.
  bool Run(const std::string& inputPath, const std::string& outputPath,
           const Progress& progress = {});
  // A flag that, once set (from a signal handler, say), ends a run at its next block, or
  // while it waits for input that does not come, as a failure that leaves no output.
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

  // The deframer itself, for any way of cutting the stream into pieces: appends what the
  // bytes complete to `output` and the length failures to `log`. Byte positions count from
  // the first byte fed since construction or Reset().
  void Feed(std::span<const std::uint8_t> bytes, std::string& output, std::string& log);
  // Forgets a partial frame, the counters and the byte position.
  void Reset();

  const StreamExtractOptions& Options() const { return options_; }
  const StreamExtractCounts& Counts() const { return counts_; }
  std::string Message() const { return ExtractionMessage(counts_) + logNote_; }
  const std::string& Error() const { return error_; }

 private:
  enum class Kind : std::uint8_t { None, Binned, Ctd, Gps, Mep, Aux };

  Kind KindOf(std::uint8_t letter) const;
  bool Stripped(Kind kind) const;
  bool RunFiles(const std::string& inputPath, const std::string& outputPath,
                const Progress& progress);
  void StartFrame(std::uint8_t letter);
  void EndFrame(std::uint64_t position, std::string& output, std::string& log);

  StreamExtractOptions options_;
  bool lengthCheck_ = false;
  bool inFrame_ = false;
  std::uint8_t previous_ = 0;
  Kind kind_ = Kind::None;
  std::string frame_;
  std::uint64_t position_ = 0;
  StreamExtractCounts counts_;
  std::string error_;
  std::string logNote_;  // where the log went, when that is not beside the input
  const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace vesk
