#pragma once
// Cuts the counter's byte stream into frames. The counter sends each frame as "~", a type
// letter (M, L, C or $), the payload with every "~" doubled, and "~*". A "~" followed by
// anything else inside a frame aborts it. Every byte source (serial line, playback, batch)
// uses this one class so that they all see the same frames.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "files/frame_format.h"

namespace vesk {

using Frame = std::vector<std::uint8_t>;

class Deframer {
 public:
  // Feeds bytes. onFrame(std::span<const uint8_t>) receives each complete frame (type byte
  // first, unescaped, terminator removed); onAbort(uint8_t type) each discarded frame.
  template <class OnFrame, class OnAbort>
  void Feed(const std::uint8_t* data, std::size_t size, OnFrame&& onFrame, OnAbort&& onAbort);

  // Forgets a partly assembled frame and starts over (a new run of a source).
  void Reset() {
    inFrame_ = false;
    previous_ = 0;
    frame_.clear();
  }
  bool InFrame() const { return inFrame_; }

 private:
  template <class OnAbort>
  void AbortFrame(OnAbort& onAbort) {
    inFrame_ = false;
    const std::uint8_t type = frame_.front();
    frame_.clear();
    onAbort(type);
  }

  bool inFrame_ = false;
  std::uint8_t previous_ = 0;
  Frame frame_;
};

template <class OnFrame, class OnAbort>
void Deframer::Feed(const std::uint8_t* p, std::size_t size, OnFrame&& onFrame, OnAbort&& onAbort) {
  const std::uint8_t* const end = p + size;
  while (p < end) {
    if (!inFrame_) {
      if (previous_ == kTilde) {
        const std::uint8_t b = *p++;
        previous_ = b;
        if (IsFrameType(b)) {
          frame_.clear();
          frame_.push_back(b);
          inFrame_ = true;
        }
        continue;
      }
      // Skip to the next "~": bytes outside frames are not looked at one by one.
      const void* t = std::memchr(p, kTilde, static_cast<std::size_t>(end - p));
      if (t == nullptr) {
        previous_ = end[-1];
        return;
      }
      p = static_cast<const std::uint8_t*>(t) + 1;
      previous_ = kTilde;
      continue;
    }

    if (previous_ == kTilde) {
      // The byte after a "~" inside a frame decides: escaped "~", end, or abort.
      const std::uint8_t b = *p++;
      if (b == kTilde) {
        previous_ = 0;
        if (frame_.size() < kMaxFrameLength) {
          frame_.push_back(kTilde);
        } else {
          AbortFrame(onAbort);
        }
      } else if (b == kStar) {
        inFrame_ = false;
        previous_ = b;
        onFrame(std::span<const std::uint8_t>(frame_.data(), frame_.size()));
        frame_.clear();
      } else {
        previous_ = b;
        AbortFrame(onAbort);
      }
      continue;
    }

    // Payload: copy everything up to the next "~" in one go.
    const std::size_t avail = static_cast<std::size_t>(end - p);
    const std::size_t room = kMaxFrameLength - frame_.size();
    const std::size_t limit = avail < room ? avail : room;
    const void* t = std::memchr(p, kTilde, limit);
    const std::size_t run =
        t == nullptr ? limit : static_cast<std::size_t>(static_cast<const std::uint8_t*>(t) - p);
    if (run > 0) {
      frame_.insert(frame_.end(), p, p + run);
      previous_ = p[run - 1];
      p += run;
    }
    if (p == end) continue;
    if (*p == kTilde) {
      previous_ = kTilde;  // held back until the next byte says what it is
      ++p;
      continue;
    }
    // The frame is full and one more payload byte arrived: drop it.
    previous_ = *p++;
    AbortFrame(onAbort);
  }
}

// Builds the bytes the counter sends for one frame: "~", the type, the escaped payload, "~*".
// The payload here excludes the type byte.
void AppendEncodedFrame(std::vector<std::uint8_t>& out, std::uint8_t type,
                        std::span<const std::uint8_t> payload);
std::vector<std::uint8_t> EncodeFrame(std::uint8_t type, std::span<const std::uint8_t> payload);

}  // namespace vesk
