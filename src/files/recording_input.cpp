#include "files/recording_input.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vesk {

RecordingInput::~RecordingInput() {
  Close();
}

bool RecordingInput::Open(const std::string& path) {
  Close();
  // Without O_NONBLOCK, opening a FIFO waits for its writer, out of reach of any stop.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    errno = err;
    return false;
  }
  fd_ = fd;
  regular_ = S_ISREG(st.st_mode);
  size_ = regular_ ? static_cast<std::uint64_t>(st.st_size) : 0;
  return true;
}

void RecordingInput::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  regular_ = false;
  size_ = 0;
}

ssize_t RecordingInput::Read(void* buffer, std::size_t size, const std::function<bool()>& stop) {
  for (;;) {
    if (!regular_) {
      // A FIFO that no writer has opened yet reads as its end: only what poll() reports as
      // readable is read (data, or the hang-up of a writer that came and went).
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, kStepMs);
      if (ready < 0 && errno != EINTR) return -1;
      if (ready <= 0) {
        if (stop && stop()) return kStopped;
        continue;
      }
    }
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return n;
    if (errno != EINTR && errno != EAGAIN) return -1;
    if (stop && stop()) return kStopped;
  }
}

}  // namespace vesk
