// LD_PRELOAD library for whole-program tests: the free space that statvfs reports is what a
// file the test writes says, as a disk that fills up and is cleared again would report it.
//   VESK_FAKE_FREE_BYTES_FILE  the file; while it holds a number, that many bytes are free

#include <dlfcn.h>
#include <sys/statvfs.h>

#include <cstdio>
#include <cstdlib>

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
