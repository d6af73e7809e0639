#include "files/processed_records.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace vesk {
namespace {

// Records are formatted into a stack buffer through a local write pointer and appended once:
// the batch player formats hundreds of thousands of them per second. (A pointer kept in an
// object would be reloaded after every character stored, since a char store may alias it.)
constexpr char kTwoDigits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The two characters of 0..99 as a little-endian 16-bit word (first character low).
std::uint64_t TwoDigitsWord(std::uint32_t v) {
  std::uint16_t w;
  std::memcpy(&w, kTwoDigits + 2 * v, 2);
  return w;
}

// " %u". Values are mostly below 100000: their digits are made in one 64-bit word and stored
// at once, with no branch on the number of digits (as random as the values themselves). The
// store reaches up to three bytes past the digits, which the next text overwrites: callers
// leave 11 bytes of room per number.
inline char* PutNumber(char* p, std::uint32_t v) {
  static_assert(std::endian::native == std::endian::little);
  *p++ = ' ';
  if (v >= 100000) [[unlikely]] {
    return std::to_chars(p, p + 10, v).ptr;
  }
  // v / 10^4 as a 32.32 fixed-point number (exact for v < 100000): its integer part is the
  // first digit, and each multiplication of the fraction by 100 brings out the next two.
  std::uint64_t t = std::uint64_t{v} * 429497;  // 2^32 / 10^4, rounded up
  std::uint64_t word = '0' + (t >> 32);
  t = (t & 0xFFFFFFFF) * 100;
  word |= TwoDigitsWord(static_cast<std::uint32_t>(t >> 32)) << 8;
  t = (t & 0xFFFFFFFF) * 100;
  word |= TwoDigitsWord(static_cast<std::uint32_t>(t >> 32)) << 24;
  const int digits = 1 + (v >= 10) + (v >= 100) + (v >= 1000) + (v >= 10000);
  const std::uint64_t leading = word >> (8 * (5 - digits));
  std::memcpy(p, &leading, sizeof leading);
  return p + digits;
}

// " %u" for a bin count: most bins of a cast are empty or nearly so, and for them this
// well-predicted branch is the cheapest way.
inline char* PutCount(char* p, std::uint32_t v) {
  if (v >= 10) return PutNumber(p, v);
  p[0] = ' ';
  p[1] = static_cast<char>('0' + v);
  return p + 2;
}

// " %d" for an element event value, which the record prints as a signed integer.
inline char* PutEventValue(char* p, std::uint32_t value) {
  const auto v = static_cast<std::int32_t>(value);
  if (v < 0) [[unlikely]] {
    *p++ = ' ';
    return std::to_chars(p, p + 11, v).ptr;
  }
  if (v >= 100) return PutNumber(p, value);
  // One or two digits: both stored, the pointer moved by as many as there are.
  const int digits = 1 + (v >= 10);
  const std::uint64_t word = ' ' | (TwoDigitsWord(value) >> (8 * (2 - digits))) << 8;
  std::memcpy(p, &word, 4);
  return p + 1 + digits;
}

template <std::size_t N>
char* PutLiteral(char* p, const char (&text)[N]) {
  std::memcpy(p, text, N - 1);
  return p + N - 1;
}

// A line holds at most 32 numbers of up to 11 characters each, plus its label and ending.
constexpr std::size_t kMaxLine = 2 + 32 * 11 + 2;

}  // namespace

void AppendLRecord(std::string& out, const LRecordFields& f) {
  static constexpr char kLabels[4][3] = {"L1", "L2", "L3", "L4"};
  char buffer[5 * kMaxLine];
  char* p = buffer;
  const std::uint32_t* const bins = f.bins.data();
  for (int row = 0; row < 4; ++row) {
    std::memcpy(p, kLabels[row], 2);
    p += 2;
    for (int k = row * 32; k < row * 32 + 32; ++k) p = PutCount(p, bins[k]);
    p = PutLiteral(p, "\r\n");
  }
  p = PutLiteral(p, "L5");
  for (std::uint32_t h : f.housekeeping) p = PutNumber(p, h);
  if (f.firmwareVersion >= 2.25) {
    p = PutNumber(p, f.n);
    p = PutNumber(p, f.t);
  }
  if (f.firmwareVersion >= 2.36) p = PutNumber(p, f.a);
  p = PutLiteral(p, "\r\n");
  out.append(buffer, static_cast<std::size_t>(p - buffer));
}

void AppendMRecord(std::string& out, std::span<const std::uint32_t> events) {
  if (events.size() < 4) return;
  // "M " and four values of up to 11 characters, each with its blank, and the ending.
  constexpr std::size_t kMaxEventLine = 2 + 4 * 12 + 2;
  char buffer[64 * kMaxEventLine];
  char* p = buffer;
  if (events[events.size() - 3] == kPartialEventStamp) p = PutLiteral(p, "&&& ");
  for (std::size_t i = 0; i + 3 < events.size(); i += 4) {
    if (static_cast<std::size_t>(buffer + sizeof buffer - p) < kMaxEventLine) {
      out.append(buffer, static_cast<std::size_t>(p - buffer));
      p = buffer;
    }
    // Written out for each of E, S, D and Z, so that every value has branches of its own:
    // E and D are small, S and Z mostly are not, and each branch learns its value's habit.
    *p++ = 'M';
    p = PutEventValue(p, events[i]);
    p = PutEventValue(p, events[i + 1]);
    p = PutEventValue(p, events[i + 2]);
    p = PutEventValue(p, events[i + 3]);
    p = PutLiteral(p, " \r\n");
  }
  out.append(buffer, static_cast<std::size_t>(p - buffer));
}

}  // namespace vesk
