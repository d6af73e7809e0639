// What putting a recording on the disk costs while logging: two seconds of the counter's
// full line rate (115200 bit/s: 23 kB raw, and about 2.6 times as much processed text) written
// in the serial thread's 1 kB chunks, with and without the fdatasync the housekeeping thread
// makes every 2 s. The anchor is the same bytes through plain write() calls. One iteration is
// two seconds of logging: CPU time per iteration / 2 s is the fraction of a core.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "files/data_file.h"

namespace {

constexpr std::size_t kRawBytesPer2s = 11520 * 2;
constexpr std::size_t kDatBytesPer2s = kRawBytesPer2s * 26 / 10;
constexpr std::size_t kChunk = 1024;

std::string Directory() {
  static const std::string dir = [] {
    char pattern[] = "/var/tmp/vesk-durability-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return dir;
}

void WriteChunks(vesk::DataFile& file, std::size_t total, const std::string& chunk) {
  for (std::size_t done = 0; done < total; done += chunk.size()) file.Write(chunk);
}

void BM_LoggingTwoSeconds(benchmark::State& state) {
  const bool sync = state.range(0) != 0;
  const std::string chunk(kChunk, 'x');
  vesk::DataFile raw, dat;
  raw.Create(Directory() + "/raw.bin");
  dat.Create(Directory() + "/dat.dat");
  for (auto _ : state) {
    WriteChunks(raw, kRawBytesPer2s, chunk);
    WriteChunks(dat, kDatBytesPer2s, chunk);
    if (sync) {
      raw.Sync();
      dat.Sync();
    }
  }
  raw.Close();
  dat.Close();
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * (kRawBytesPer2s + kDatBytesPer2s)));
}
BENCHMARK(BM_LoggingTwoSeconds)
    ->ArgName("fdatasync")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// The physical anchor: the same bytes, the same chunks, plain write() on two descriptors.
void BM_PlainWriteTwoSeconds(benchmark::State& state) {
  const std::string chunk(kChunk, 'x');
  const int raw =
      ::open((Directory() + "/raw-plain.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int dat =
      ::open((Directory() + "/dat-plain.dat").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (auto _ : state) {
    for (std::size_t done = 0; done < kRawBytesPer2s; done += kChunk) {
      benchmark::DoNotOptimize(::write(raw, chunk.data(), chunk.size()));
    }
    for (std::size_t done = 0; done < kDatBytesPer2s; done += kChunk) {
      benchmark::DoNotOptimize(::write(dat, chunk.data(), chunk.size()));
    }
  }
  ::close(raw);
  ::close(dat);
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * (kRawBytesPer2s + kDatBytesPer2s)));
}
BENCHMARK(BM_PlainWriteTwoSeconds)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const std::string dir = Directory();
  for (const char* name : {"/raw.bin", "/dat.dat", "/raw-plain.bin", "/dat-plain.dat"}) {
    ::unlink((dir + name).c_str());
  }
  ::rmdir(dir.c_str());
  return 0;
}
