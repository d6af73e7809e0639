// The stream extractor's own deframer with every option the first two bytes choose.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/stream_extractor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  vesk::StreamExtractOptions o;
  o.binned = data[0] & 1;
  o.ctd = data[0] & 2;
  o.gps = data[0] & 4;
  o.mep = data[0] & 8;
  o.aux = data[0] & 16;
  o.stripCtd = data[0] & 32;
  o.stripGps = data[0] & 64;
  o.stripAux = data[0] & 128;
  o.minAuxFrame = data[1] % 16;
  o.maxAuxFrame = data[1] / 16 + 1;
  vesk::StreamExtractor extractor(o);
  std::string output, log;
  extractor.Feed(std::span(data + 2, size - 2), output, log);
  return 0;
}
