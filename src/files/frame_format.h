#pragma once
// The counter's frames as they come over the line and stand in a recording (.bin): "~", a
// type letter (M, L, C or $), the payload with every "~" doubled, and "~*". The deframer of
// every byte source and the stream extractor both read them by these.

#include <cstddef>
#include <cstdint>

namespace vesk {

inline constexpr std::uint8_t kTilde = 0x7E;
inline constexpr std::uint8_t kStar = 0x2A;

// A frame that grows past this many bytes without its terminator is dropped like an aborted
// frame: a line that never sends "~" must not grow memory without bound.
inline constexpr std::size_t kMaxFrameLength = 65536;

inline bool IsFrameType(std::uint8_t b) {
  return b == 'M' || b == 'L' || b == 'C' || b == '$';
}

}  // namespace vesk
