// LD_PRELOAD library for whole-program tests: reads of one file fail once they reach a given
// offset, as a failing disk, a pulled USB stick or a faulty serial adapter makes them fail.
//   VESK_FAULT_READ_FILE   the file's absolute path
//   VESK_FAULT_READ_AFTER  the offset from which reads fail (of a device or pipe that has
//                          none: the bytes read from it so far)
//   VESK_FAULT_READ_ERRNO  the error of a failed read (EIO when unset)
//   VESK_FAULT_READ_COUNT  how many reads fail before they work again (unset: all of them)

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long EnvNumber(const char* name, long long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::atoll(text) : fallback;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  using Read = ssize_t (*)(int, void*, size_t);
  static const Read real = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
  static const char* file = std::getenv("VESK_FAULT_READ_FILE");
  static const long long after = EnvNumber("VESK_FAULT_READ_AFTER", 0);
  static const int error = static_cast<int>(EnvNumber("VESK_FAULT_READ_ERRNO", EIO));
  static std::atomic<long long> failuresLeft{EnvNumber("VESK_FAULT_READ_COUNT", -1)};
  static std::atomic<long long> streamed{0};  // read so far from a file without an offset
  if (file == nullptr) return real(fd, buffer, count);
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[4096];
  const ssize_t n = ::readlink(link, path, sizeof path - 1);
  if (n <= 0) return real(fd, buffer, count);
  path[n] = '\0';
  if (std::strcmp(path, file) != 0) return real(fd, buffer, count);
  const off_t offset = ::lseek(fd, 0, SEEK_CUR);
  if ((offset < 0 ? streamed.load() : offset) >= after && failuresLeft != 0) {
    if (failuresLeft > 0) --failuresLeft;
    errno = error;
    return -1;
  }
  const ssize_t got = real(fd, buffer, count);
  if (got > 0 && offset < 0) streamed += got;
  return got;
}
