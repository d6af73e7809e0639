// LD_PRELOAD library for whole-program tests: the free space that statvfs reports is what a
// file the test writes says, as a disk that fills up and is cleared again would report it;
// while no byte is free, writes to the files of one folder fail as on a full disk.
//   VESK_FAKE_FREE_BYTES_FILE  the file; while it holds a number, that many bytes are free
//   VESK_FAKE_FULL_DIR         the folder (its own files) whose writes fail with ENOSPC at 0

#include <dlfcn.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The free bytes the test set, or -1.
long long FakeFreeBytes() {
  const char* path = std::getenv("VESK_FAKE_FREE_BYTES_FILE");
  if (path == nullptr) return -1;
  std::FILE* f = std::fopen(path, "r");
  if (f == nullptr) return -1;
  long long bytes = -1;
  if (std::fscanf(f, "%lld", &bytes) != 1) bytes = -1;
  std::fclose(f);
  return bytes;
}

template <class Stat>
void Apply(Stat* st) {
  const long long bytes = FakeFreeBytes();
  if (bytes < 0 || st->f_frsize == 0) return;
  st->f_bavail = st->f_bfree = static_cast<unsigned long long>(bytes) / st->f_frsize;
}

}  // namespace

extern "C" int statvfs(const char* path, struct statvfs* st) {
  using Real = int (*)(const char*, struct statvfs*);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "statvfs"));
  const int result = real(path, st);
  if (result == 0) Apply(st);
  return result;
}

extern "C" int statvfs64(const char* path, struct statvfs64* st) {
  using Real = int (*)(const char*, struct statvfs64*);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "statvfs64"));
  const int result = real(path, st);
  if (result == 0) Apply(st);
  return result;
}

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
  using Write = ssize_t (*)(int, const void*, size_t);
  static const Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
  static const char* dir = std::getenv("VESK_FAKE_FULL_DIR");
  if (dir != nullptr && count > 0 && FakeFreeBytes() == 0) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    const std::size_t length = std::strlen(dir);
    if (n > 0 && static_cast<std::size_t>(n) > length + 1 && std::strncmp(path, dir, length) == 0 &&
        path[length] == '/' && std::memchr(path + length + 1, '/', n - length - 1) == nullptr) {
      errno = ENOSPC;
      return -1;
    }
  }
  return real(fd, buffer, count);
}
