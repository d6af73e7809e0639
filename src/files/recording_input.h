#pragma once
// A recording opened to be read to its end: a regular file, or a FIFO, pipe or device whose
// reads may wait. Nothing here waits for long: a FIFO opens at once even with no writer yet,
// and a read that has nothing to read waits in short steps, asking between them whether to
// give up. So a signal or a stop ends a read from a FIFO nobody writes, or from a silent
// device, within a fraction of a second.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vesk {

class RecordingInput {
 public:
  // What Read returns when `stop` said so before anything arrived.
  static constexpr ssize_t kStopped = -2;
  // How long a read waits between two looks at `stop`.
  static constexpr int kStepMs = 100;

  RecordingInput() = default;
  ~RecordingInput();
  RecordingInput(const RecordingInput&) = delete;
  RecordingInput& operator=(const RecordingInput&) = delete;

  // Opens `path` to read, never creating it and never waiting. False with errno set (EISDIR
  // for a folder).
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // A regular file: its length is known and its bytes can be read twice.
  bool Regular() const { return regular_; }
  // The length of a regular file (0 for any other input).
  std::uint64_t Size() const { return size_; }

  // Up to `size` bytes: how many were read, 0 at the end, -1 on an error (errno set), or
  // kStopped when `stop` returned true while waiting for them.
  ssize_t Read(void* buffer, std::size_t size, const std::function<bool()>& stop = {});

 private:
  int fd_ = -1;
  bool regular_ = false;
  std::uint64_t size_ = 0;
};

}  // namespace vesk
