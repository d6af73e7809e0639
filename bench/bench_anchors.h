#pragma once
// Physical anchors for the benchmarks: what the machine does with the same bytes at the same
// moment (a memcpy, a read of the same file, a plain fwrite of the same amount). On a shared
// machine a figure alone means little; its ratio to an anchor measured in the same run does.
// CPU times are user + system seconds, so that other programs running meanwhile count less.

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace vesk::bench {

// CPU seconds of the whole process (every thread) and of the calling thread.
inline double ProcessCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
inline double ThreadCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The least CPU time of `runs` calls of `work` on this thread.
template <class Work>
double MinThreadCpu(Work&& work, int runs = 3) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const double start = ThreadCpuSeconds();
    work();
    best = std::min(best, ThreadCpuSeconds() - start);
  }
  return best;
}

// A memcpy of `bytes` bytes.
inline double MemcpyCpuSeconds(std::size_t bytes) {
  std::vector<char> from(bytes, 'x'), to(bytes);
  return MinThreadCpu(
      [&] {
        std::memcpy(to.data(), from.data(), bytes);
        asm volatile("" : : "r"(to.data()) : "memory");
      },
      5);
}

// Reading a whole file in 1 MB blocks, as `cat` does.
inline double ReadFileCpuSeconds(const std::string& path) {
  std::vector<char> block(1 << 20);
  return MinThreadCpu([&] {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    while (::read(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
  });
}

// A plain fwrite of `bytes` bytes into a new file `path` (removed afterwards, untimed).
inline double FwriteCpuSeconds(const std::string& path, std::uint64_t bytes) {
  std::vector<char> block(1 << 20, 'x');
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const double start = ThreadCpuSeconds();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    for (std::uint64_t done = 0; done < bytes; done += block.size()) {
      std::fwrite(block.data(), 1, std::min<std::uint64_t>(block.size(), bytes - done), f);
    }
    std::fclose(f);
    best = std::min(best, ThreadCpuSeconds() - start);
    ::unlink(path.c_str());
  }
  return best;
}

}  // namespace vesk::bench
