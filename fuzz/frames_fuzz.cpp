// The deframer with the frame processor behind it: any byte stream, any firmware.
#include <cstddef>
#include <cstdint>

#include "fuzz_seams.h"
#include "processing/frame_processor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  vesk::fuzz::FuzzDoc f;
  f.doc->firmwareVersion = data[0] & 1 ? 2.40 : 2.20;
  vesk::FrameProcessor processor(*f.doc);
  vesk::Deframer deframer;
  deframer.Feed(
      data + 1, size - 1, [&](std::span<const std::uint8_t> frame) { processor.Process(frame); },
      [&](std::uint8_t type) { f.doc->CountAbortedFrame(type); });
  return 0;
}
