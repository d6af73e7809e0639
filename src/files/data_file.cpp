#include "files/data_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/recording_input.h"

namespace vesk {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

std::string ErrnoText(int err) {
  return std::strerror(err);
}

}  // namespace

DataFile::~DataFile() {
  Close();
}

bool DataFile::Create(const std::string& path, std::string_view header) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) {
    FlushLocked();
    ::close(fd_);
    fd_ = -1;
  }
  path_ = path;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error_ = ErrnoText(errno);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK) {
    error_ = errno == EWOULDBLOCK ? kFileInUse : ErrnoText(errno);
    ::close(fd);
    return false;
  }
  if (::ftruncate(fd, 0) != 0 && errno != EINVAL) {
    // Character devices (such as /dev/full) cannot be truncated; regular files can.
    error_ = ErrnoText(errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  error_.clear();
  writeFailed_ = false;
  outOfSpace_ = false;
  size_ = 0;
  buffer_.clear();
  if (!header.empty() && !WriteAllLocked(header.data(), header.size())) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool DataFile::WriteAllLocked(const char* data, std::size_t size) {
  // After a failed write the file takes nothing more: it never holds a gap or a torn record.
  if (writeFailed_) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = ErrnoText(errno);
      outOfSpace_ = errno == ENOSPC || errno == EDQUOT;
      writeFailed_ = true;
      // What of this write reached the file is cut off again: the file ends where the last
      // whole write ended.
      if (done > 0) (void)::ftruncate(fd_, static_cast<off_t>(size_));
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  size_ += done;
  return true;
}

bool DataFile::FlushLocked() {
  if (fd_ < 0 || buffer_.empty()) return true;
  const bool ok = WriteAllLocked(buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok;
}

bool DataFile::Write(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return false;
  if (!buffered_) return WriteAllLocked(bytes.data(), bytes.size());
  // A block as large as the buffer goes to the file as it is, after what the buffer holds.
  if (bytes.size() >= kBufferSize)
    return FlushLocked() && WriteAllLocked(bytes.data(), bytes.size());
  buffer_.append(bytes);
  if (buffer_.size() >= kBufferSize) return FlushLocked();
  return true;
}

void DataFile::SetBuffered(bool buffered) {
  std::lock_guard lock(mutex_);
  if (!buffered) FlushLocked();
  buffered_ = buffered;
  if (buffered) buffer_.reserve(kBufferSize + 4096);
}

bool DataFile::Flush() {
  std::lock_guard lock(mutex_);
  return FlushLocked();
}

bool DataFile::Sync() {
  int fd = -1;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || buffered_) return true;
    // A copy of the descriptor: writers go on while the disk catches up, and a file swapped
    // meanwhile is still synced through it.
    fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return true;
  }
  const bool ok = ::fdatasync(fd) == 0 || errno == EINVAL;  // EINVAL: /dev/null and the like
  const int err = errno;
  ::close(fd);
  if (!ok) {
    std::lock_guard lock(mutex_);
    error_ = ErrnoText(err);
    outOfSpace_ = err == ENOSPC || err == EDQUOT;
    writeFailed_ = true;
  }
  return ok;
}

bool DataFile::Close() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return true;
  bool ok = FlushLocked();
  // A recording closed is on the disk (a batch output is made safe by its rename instead).
  if (!buffered_ && ::fdatasync(fd_) != 0 && errno != EINVAL && ok) {
    error_ = ErrnoText(errno);
    ok = false;
  }
  if (::close(fd_) != 0 && ok) {
    error_ = ErrnoText(errno);
    ok = false;
  }
  fd_ = -1;
  return ok;
}

bool DataFile::IsOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

int DataFile::CopyToNewFileLocked(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    // Every missing level of the folder.
    for (std::size_t at = path.find('/', 1); at != std::string::npos && at <= slash;
         at = path.find('/', at + 1)) {
      ::mkdir(path.substr(0, at).c_str(), 0755);
    }
  }
  const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    error_ = path + ": " + ErrnoText(errno);
    return -1;
  }
  // The unlinked file is still open here: read it through the process's own descriptor.
  const int in = ::open(("/proc/self/fd/" + std::to_string(fd_)).c_str(), O_RDONLY | O_CLOEXEC);
  bool ok = in >= 0;
  char block[1 << 16];
  for (std::uint64_t done = 0; ok && done < size_;) {
    const ssize_t n = ::pread(in, block, sizeof block, static_cast<off_t>(done));
    if (n <= 0) {
      ok = n == 0 && done == size_;
      break;
    }
    for (ssize_t put = 0; ok && put < n;) {
      const ssize_t w = ::write(out, block + put, static_cast<std::size_t>(n - put));
      if (w < 0 && errno != EINTR) ok = false;
      if (w > 0) put += w;
    }
    done += static_cast<std::uint64_t>(n);
  }
  if (!ok) error_ = path + ": " + ErrnoText(errno);
  if (in >= 0) ::close(in);
  if (ok) ok = ::fdatasync(out) == 0 || errno == EINVAL;
  if (!ok) {
    ::close(out);
    ::unlink(path.c_str());
    return -1;
  }
  (void)::flock(out, LOCK_EX | LOCK_NB);
  return out;
}

std::optional<std::string> DataFile::RestoreIfUnlinked(const std::string& fallbackDir) {
  std::lock_guard lock(mutex_);
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 0) {
    return std::nullopt;
  }
  FlushLocked();
  const std::size_t slash = path_.find_last_of('/');
  const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  for (const std::string& candidate : {path_, fallbackDir + name}) {
    const int fd = CopyToNewFileLocked(candidate);
    if (fd < 0) continue;
    ::close(fd_);
    fd_ = fd;
    path_ = candidate;
    return path_;
  }
  return std::nullopt;
}

std::uint64_t DataFile::Size() const {
  std::lock_guard lock(mutex_);
  return size_ + buffer_.size();
}

bool DataFile::OutOfSpace() const {
  std::lock_guard lock(mutex_);
  return writeFailed_ && outOfSpace_;
}

bool DataFile::WriteFailed() const {
  std::lock_guard lock(mutex_);
  return writeFailed_;
}

std::string DataFile::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

std::string DataFile::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

std::string ReadRawHeader(const std::string& path, std::size_t limit) {
  std::string out;
  // Only a regular file is read twice: the header of a FIFO or device would take bytes the
  // playback itself must read (and could wait for a writer that never comes).
  RecordingInput in;
  if (!in.Open(path) || !in.Regular()) return out;
  char buf[4096];
  while (out.size() < limit) {
    const ssize_t n = in.Read(buf, sizeof buf);
    if (n <= 0) break;
    const std::string_view chunk(buf, static_cast<std::size_t>(n));
    const std::size_t tilde = chunk.find('~');
    out.append(chunk.substr(0, std::min(tilde, limit - out.size())));
    if (tilde != std::string_view::npos) break;
  }
  return out;
}

}  // namespace vesk
