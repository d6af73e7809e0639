#include "processing/deframer.h"

namespace vesk {

void AppendEncodedFrame(std::vector<std::uint8_t>& out, std::uint8_t type,
                        std::span<const std::uint8_t> payload) {
  out.push_back(kTilde);
  out.push_back(type);
  for (std::uint8_t b : payload) {
    out.push_back(b);
    if (b == kTilde) out.push_back(kTilde);
  }
  out.push_back(kTilde);
  out.push_back(kStar);
}

std::vector<std::uint8_t> EncodeFrame(std::uint8_t type, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> out;
  out.reserve(payload.size() + 8);
  AppendEncodedFrame(out, type, payload);
  return out;
}

}  // namespace vesk
