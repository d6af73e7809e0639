#pragma once
// Builds counter frames and byte streams for tests: deframed frames (type byte first) and
// their wire form ("~", type, payload with "~" doubled, "~*"), written here independently of
// the program's own encoder.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "processing/deframer.h"

namespace vesk::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutWord(Bytes& out, std::uint16_t w) {
  out.push_back(static_cast<std::uint8_t>(w >> 8));
  out.push_back(static_cast<std::uint8_t>(w & 0xFF));
}

// An L frame: 128 bins, H0..H6, then N, T and A as far as `length` reaches. Lengths other
// than 271/274/276 are made by cutting or padding with zero bytes.
struct LFrameFields {
  std::array<std::uint16_t, 128> bins{};
  std::array<std::uint16_t, 7> housekeeping{};
  std::uint8_t n = 0;
  std::uint16_t t = 0;
  std::uint16_t a = 0;
  std::size_t length = 276;
};

inline Frame MakeLFrame(const LFrameFields& fields) {
  Bytes f{'L'};
  for (auto b : fields.bins) PutWord(f, b);
  for (auto h : fields.housekeeping) PutWord(f, h);
  f.push_back(fields.n);
  PutWord(f, fields.t);
  PutWord(f, fields.a);
  f.resize(fields.length, 0);
  return f;
}

// One element event as the counter packs it into three words.
struct MEvent {
  std::uint32_t e = 0;     // element number 0..63
  std::uint32_t s = 0;     // time stamp 0..65535
  std::uint32_t d = 0;     // duration 0..2047
  std::uint32_t size = 0;  // digital size 0..4095
  bool mep = false;
};

inline std::array<std::uint16_t, 3> EventWords(const MEvent& ev) {
  const auto w1 = static_cast<std::uint16_t>((ev.mep ? 0x8000 : 0) | ((ev.size & 0xFFF) << 3) |
                                             ((ev.e >> 3) & 0x7));
  const auto w2 = static_cast<std::uint16_t>(((ev.e & 0x7) << 11) | (ev.d & 0x7FF));
  return {w1, w2, static_cast<std::uint16_t>(ev.s)};
}

inline Frame MakeMFrameFromWords(std::span<const std::uint16_t> words) {
  Bytes f{'M'};
  for (auto w : words) PutWord(f, w);
  return f;
}

inline Frame MakeMFrame(std::span<const MEvent> events) {
  Bytes f{'M'};
  for (const auto& ev : events) {
    for (auto w : EventWords(ev)) PutWord(f, w);
  }
  return f;
}

// A C or $ frame carrying text.
inline Frame MakeTextFrame(char type, std::string_view text) {
  Bytes f(text.size() + 1);  // (sized first: g++ 12 warns wrongly on an insert here)
  f[0] = static_cast<std::uint8_t>(type);
  std::copy(text.begin(), text.end(), f.begin() + 1);
  return f;
}

// The wire form of a deframed frame.
inline void AppendWire(Bytes& out, std::span<const std::uint8_t> frame) {
  out.push_back(0x7E);
  for (std::size_t i = 0; i < frame.size(); ++i) {
    out.push_back(frame[i]);
    if (i > 0 && frame[i] == 0x7E) out.push_back(0x7E);
  }
  out.push_back(0x7E);
  out.push_back('*');
}

inline Bytes Wire(std::span<const std::uint8_t> frame) {
  Bytes out;
  AppendWire(out, frame);
  return out;
}

inline void AppendText(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

inline Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// What a deframer handed over for a stream.
struct DeframeResult {
  std::vector<Frame> frames;
  std::vector<std::uint8_t> aborted;  // type byte of each discarded frame
  bool operator==(const DeframeResult&) const = default;
};

// Feeds `stream` to a fresh deframer in pieces of at most `chunk` bytes (0: whole), or cut
// at the offsets in `cuts`.
inline DeframeResult DeframeChunked(std::span<const std::uint8_t> stream,
                                    std::span<const std::size_t> cuts) {
  DeframeResult r;
  Deframer d;
  auto onFrame = [&](std::span<const std::uint8_t> f) {
    r.frames.emplace_back(f.begin(), f.end());
  };
  auto onAbort = [&](std::uint8_t type) { r.aborted.push_back(type); };
  std::size_t start = 0;
  for (std::size_t cut : cuts) {
    d.Feed(stream.data() + start, cut - start, onFrame, onAbort);
    start = cut;
  }
  d.Feed(stream.data() + start, stream.size() - start, onFrame, onAbort);
  return r;
}

inline DeframeResult Deframe(std::span<const std::uint8_t> stream) {
  return DeframeChunked(stream, {});
}

// A realistic mixed stream: L frames once a second with M frames between them, a CTD line
// and an NMEA sentence now and then, a little noise. Element time stamps advance a little
// from event to event, as the counter's clock does; with `noisyStamps` they are random (a
// damaged or hostile recording). Deterministic for a given seed.
inline Bytes MixedStream(std::size_t lFrames, std::size_t mPerL, std::size_t eventsPerM,
                         std::uint32_t seed = 1, bool noisyStamps = false) {
  std::uint32_t x = seed * 2654435761u + 1;
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  Bytes out;
  AppendText(out, "deck unit start-up text\r\n");
  std::vector<MEvent> events(eventsPerM);
  std::uint32_t stamp = 0;
  for (std::size_t i = 0; i < lFrames; ++i) {
    for (std::size_t m = 0; m < mPerL; ++m) {
      for (auto& ev : events) {
        stamp = noisyStamps ? next() & 0xFFFF : (stamp + next() % 40) & 0xFFFF;
        const std::uint32_t d = noisyStamps ? next() % 1000 : next() % 30 + 1;
        ev = MEvent{next() % 35, stamp, d, next() % 4096, next() % 16 == 0};
      }
      AppendWire(out, MakeMFrame(events));
    }
    LFrameFields l;
    for (auto& b : l.bins) b = static_cast<std::uint16_t>(next() % 200);
    l.bins[17] = 0x7E7E;  // escaped bytes on the wire
    l.housekeeping = {1, 2, 3, 100, 1000, 5, static_cast<std::uint16_t>(next() % 4096)};
    l.n = static_cast<std::uint8_t>(next() % 50 + 1);
    l.t = 1000;
    AppendWire(out, MakeLFrame(l));
    if (i % 4 == 0) AppendWire(out, MakeTextFrame('C', "  12.3456  35.1234   4.567 "));
    if (i % 8 == 0) {
      AppendWire(
          out,
          MakeTextFrame('$', "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"));
    }
    if (i % 16 == 0) AppendText(out, "noise ~x ~ ~~ \r\n");
  }
  return out;
}

}  // namespace vesk::test
