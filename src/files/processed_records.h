#pragma once
// The text records of the .dat file, one group per frame, every line ending "\r\n".

#include <cstdint>
#include <span>
#include <string>

namespace vesk {

// What an L record prints besides the bins.
struct LRecordFields {
  std::span<const std::uint32_t> bins;          // 128 bins
  std::span<const std::uint32_t> housekeeping;  // H0..H6
  std::uint32_t n = 0;
  std::uint32_t t = 0;
  std::uint32_t a = 0;
  double firmwareVersion = 0;
};

// "L1".."L4" with 32 bins each and "L5" with H0..H6, N and T (firmware 2.25 and higher) and A
// (firmware 2.36 and higher). Appends to out.
void AppendLRecord(std::string& out, const LRecordFields& fields);

// One "M E S D Z \r\n" line per event (four values per event); when the last event is partial
// (S = 99999) the first line starts with "&&& ". Appends to out.
void AppendMRecord(std::string& out, std::span<const std::uint32_t> events);

inline constexpr std::uint32_t kPartialEventStamp = 99999;

}  // namespace vesk
