// The deframer with the frame processor behind it: any byte stream, any firmware.
#include <cstddef>
#include <cstdint>

#include "fuzz_seams.h"
#include "processing/deframer.h"
#include "processing/frame_processor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  vesk::fuzz::FuzzParts f;
  vesk::ScanSettings settings = vesk::ScanSettings::Load(f.store);
  settings.firmwareVersion = data[0] & 1 ? 2.40 : 2.20;
  const vesk::ScanSettingsChannel channel(settings);
  f.ctd.LoadScanSettings(settings.ctdModel, settings.instrInputViaMux);
  vesk::FrameProcessor processor(
      vesk::FrameProcessor::Parts{channel, f.results, f.ctd, f.writer, f.listener, f.gate});
  vesk::Deframer deframer;
  deframer.Feed(
      data + 1, size - 1, [&](std::span<const std::uint8_t> frame) { processor.Process(frame); },
      [&](std::uint8_t type) { processor.CountAbortedFrame(type); });
  return 0;
}
