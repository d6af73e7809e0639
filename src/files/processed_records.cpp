#include "files/processed_records.h"

#include <charconv>

namespace vesk {
namespace {

inline void AppendNumber(std::string& out, std::uint32_t v) {
  char text[16];
  const auto r = std::to_chars(text, text + sizeof text, v);
  out.append(text, r.ptr);
}

inline void AppendSpaced(std::string& out, std::uint32_t v) {
  out += ' ';
  AppendNumber(out, v);
}

}  // namespace

void AppendLRecord(std::string& out, const LRecordFields& f) {
  static constexpr const char* kLabels[4] = {"L1", "L2", "L3", "L4"};
  for (int line = 0; line < 4; ++line) {
    out += kLabels[line];
    for (int k = line * 32; k < line * 32 + 32; ++k) AppendSpaced(out, f.bins[k]);
    out += "\r\n";
  }
  out += "L5";
  for (std::uint32_t h : f.housekeeping) AppendSpaced(out, h);
  if (f.firmwareVersion >= 2.25) {
    AppendSpaced(out, f.n);
    AppendSpaced(out, f.t);
  }
  if (f.firmwareVersion >= 2.36) AppendSpaced(out, f.a);
  out += "\r\n";
}

void AppendMRecord(std::string& out, std::span<const std::uint32_t> events) {
  if (events.size() < 4) return;
  if (events[events.size() - 3] == kPartialEventStamp) out += "&&& ";
  for (std::size_t i = 0; i + 3 < events.size(); i += 4) {
    out += "M ";
    for (std::size_t j = 0; j < 4; ++j) {
      // The record prints each value as a signed integer followed by a blank.
      const auto v = static_cast<std::int32_t>(events[i + j]);
      if (v < 0) {
        out += '-';
        AppendNumber(out, static_cast<std::uint32_t>(-static_cast<std::int64_t>(v)));
      } else {
        AppendNumber(out, static_cast<std::uint32_t>(v));
      }
      out += ' ';
    }
    out += "\r\n";
  }
}

}  // namespace vesk
