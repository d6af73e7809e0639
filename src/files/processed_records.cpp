#include "files/processed_records.h"

#include <charconv>
#include <cstring>

namespace vesk {
namespace {

// Records are formatted into a stack buffer and appended once: the batch player formats
// hundreds of thousands of them per second.
constexpr char kTwoDigits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

class LineBuffer {
 public:
  void Text(const char* text, std::size_t size) {
    std::memcpy(p_, text, size);
    p_ += size;
  }
  template <std::size_t N>
  void Literal(const char (&text)[N]) {
    Text(text, N - 1);
  }
  void Char(char c) { *p_++ = c; }
  // Most counts are below 100: those take a table look-up.
  void Number(std::uint32_t v) {
    if (v < 10) {
      *p_++ = static_cast<char>('0' + v);
    } else if (v < 100) {
      std::memcpy(p_, kTwoDigits + 2 * v, 2);
      p_ += 2;
    } else {
      p_ = std::to_chars(p_, end_, v).ptr;
    }
  }
  void Signed(std::int32_t v) {
    if (v >= 0) {
      Number(static_cast<std::uint32_t>(v));
    } else {
      p_ = std::to_chars(p_, end_, v).ptr;
    }
  }
  // Room for `bytes` more characters, flushing into `out` when needed.
  void Reserve(std::string& out, std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - p_) < bytes) Flush(out);
  }
  void Flush(std::string& out) {
    out.append(buf_, static_cast<std::size_t>(p_ - buf_));
    p_ = buf_;
  }

 private:
  char buf_[2048];
  char* p_ = buf_;
  char* const end_ = buf_ + sizeof buf_;
};

// A line holds at most 32 numbers of up to 11 characters each, plus its label and ending.
constexpr std::size_t kMaxLine = 2 + 32 * 12 + 2;

}  // namespace

void AppendLRecord(std::string& out, const LRecordFields& f) {
  static constexpr char kLabels[4][3] = {"L1", "L2", "L3", "L4"};
  LineBuffer line;
  for (int row = 0; row < 4; ++row) {
    line.Reserve(out, kMaxLine);
    line.Text(kLabels[row], 2);
    for (int k = row * 32; k < row * 32 + 32; ++k) {
      line.Char(' ');
      line.Number(f.bins[k]);
    }
    line.Literal("\r\n");
  }
  line.Reserve(out, kMaxLine);
  line.Literal("L5");
  for (std::uint32_t h : f.housekeeping) {
    line.Char(' ');
    line.Number(h);
  }
  if (f.firmwareVersion >= 2.25) {
    line.Char(' ');
    line.Number(f.n);
    line.Char(' ');
    line.Number(f.t);
  }
  if (f.firmwareVersion >= 2.36) {
    line.Char(' ');
    line.Number(f.a);
  }
  line.Literal("\r\n");
  line.Flush(out);
}

void AppendMRecord(std::string& out, std::span<const std::uint32_t> events) {
  if (events.size() < 4) return;
  LineBuffer line;
  if (events[events.size() - 3] == kPartialEventStamp) line.Literal("&&& ");
  for (std::size_t i = 0; i + 3 < events.size(); i += 4) {
    line.Reserve(out, 2 + 4 * 12 + 2);
    line.Literal("M ");
    for (std::size_t j = 0; j < 4; ++j) {
      // The record prints each value as a signed integer followed by a blank.
      line.Signed(static_cast<std::int32_t>(events[i + j]));
      line.Char(' ');
    }
    line.Literal("\r\n");
  }
  line.Flush(out);
}

}  // namespace vesk
