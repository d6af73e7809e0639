// LD_PRELOAD library for whole-program tests: reads of one file fail with EIO once they
// reach a given offset, as a failing disk or a pulled USB stick makes them fail.
//   VESK_FAULT_READ_FILE   the file's absolute path
//   VESK_FAULT_READ_AFTER  the offset from which every read fails

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  using Read = ssize_t (*)(int, void*, size_t);
  static const Read real = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
  static const char* file = std::getenv("VESK_FAULT_READ_FILE");
  static const long long after = [] {
    const char* text = std::getenv("VESK_FAULT_READ_AFTER");
    return text != nullptr ? std::atoll(text) : 0LL;
  }();
  if (file != nullptr) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n > 0) {
      path[n] = '\0';
      if (std::strcmp(path, file) == 0 && ::lseek(fd, 0, SEEK_CUR) >= after) {
        errno = EIO;
        return -1;
      }
    }
  }
  return real(fd, buffer, count);
}
