// The stream extractor: recorded bytes in, extracted file, .err log, counters and the final
// message out.

#include "files/stream_extractor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "test_support/frame_builder.h"
#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

struct Extracted {
  std::string output;
  std::string log;
  StreamExtractCounts counts;
  std::string message;
};

// Feeds `stream` cut at the offsets in `cuts`.
Extracted ExtractCut(const StreamExtractOptions& options, std::string_view stream,
                     const std::vector<std::size_t>& cuts = {}) {
  StreamExtractor x(options);
  Extracted r;
  std::size_t start = 0;
  auto feed = [&](std::size_t stop) {
    x.Feed(std::span(reinterpret_cast<const std::uint8_t*>(stream.data()) + start, stop - start),
           r.output, r.log);
    start = stop;
  };
  for (std::size_t cut : cuts) feed(cut);
  feed(stream.size());
  r.counts = x.Counts();
  r.message = x.Message();
  return r;
}

std::string WireText(char type, std::string_view text) {
  const Bytes w = Wire(MakeTextFrame(type, text));
  return std::string(w.begin(), w.end());
}

// Only the frames of `type` ('S': the auxiliary ones), CTD lines stripped of their framing if
// `strip`.
StreamExtractOptions Only(char type, bool strip = false) {
  StreamExtractOptions o;
  o.binned = type == 'L';
  o.ctd = type == 'C';
  o.gps = type == '$';
  o.mep = type == 'M';
  o.aux = type == 'S';
  o.stripCtd = strip;
  return o;
}

TEST(StreamExtractor, FramingAndSelection) {
  StreamExtractOptions all;
  all.binned = all.ctd = all.gps = all.mep = all.aux = true;
  const std::string mixed = "~Ll1~*~Mm~~1~*~Cc1~*~$$GP~*~Ss1~*";
  struct Case {
    const char* name;
    StreamExtractOptions options;
    std::string wire;
    std::string output;
    std::uint64_t processed;
  };
  const Case cases[] = {
      {"every type in stream order", all, mixed, mixed, 5},
      {"stripped C ends with CR LF", Only('C', true), "~C  12.3 35.1~*~Cx~~y~*",
       "  12.3 35.1\r\nx~y\r\n", 2},
      {"held-back tilde before other byte is dropped", Only('C'), "~Cab~xcd~*", "~Cabxcd~*", 1},
      {"tilde and type inside a frame do not abort it", Only('C'), "~Cab~Mcd~*", "~CabMcd~*", 1},
      {"escaped tilde then terminator, star alone is payload", Only('C'), "~Ca~~~*~Ca*b*~*",
       "~Ca~~~*~Ca*b*~*", 2},
      {"unselected type outside makes a blank, a frame after one is kept", Only('M'),
       "~~Mab~*~X~Mcd~*", "~Mcd~*", 1},
      {"terminators and noise outside frames are nothing, nor is a partial frame at the end",
       Only('C'), "~*~*ab~*noise ~ * \r\n~Cok~*junk ~Cpart", "~Cok~*", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Extracted r = ExtractCut(c.options, c.wire);
    EXPECT_EQ(r.output, c.output);
    EXPECT_EQ(r.counts.processed, c.processed);
    EXPECT_EQ(r.log, "");
  }
}

// Auxiliary text of `n` characters, "~" among them from 100 on (escaped on the wire).
std::string AuxText(std::size_t n, char fill) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += (n >= 100 && i == 50) ? '~' : char(fill + i % 10);
  return s;
}

StreamExtractOptions StrippedAux(int min, int max) {
  StreamExtractOptions o = Only('S');
  o.stripAux = true;
  o.minAuxFrame = min;
  o.maxAuxFrame = max;
  return o;
}

TEST(StreamExtractor, AuxLengthCheckOnlyWithAValidRange) {
  const std::string a79 = AuxText(79, 'a'), a80 = AuxText(80, 'b'), a100 = AuxText(100, 'c'),
                    a239 = AuxText(239, 'd');
  std::string stream = "header\r\n" + WireText('C', "ctd") + WireText('S', a79);
  const std::size_t end79 = stream.size() - 1;
  stream += WireText('S', a80) + WireText('S', a100);
  const std::size_t end100 = stream.size() - 1;
  stream += WireText('S', a239);
  const std::size_t end239 = stream.size() - 1;
  ASSERT_EQ(stream[end100], '*');

  const Extracted r = ExtractCut(StrippedAux(80, 238), stream);
  EXPECT_EQ(r.output, a80 + a100.substr(20));
  EXPECT_EQ(r.log, "\r\n\r\nFrame 1 bad, ending at byte " + std::to_string(end79) + "\r\n" + a79 +
                       "\r\n\r\nFrame 3 corrupt, ending at byte " + std::to_string(end100) +
                       "\r\n" + a100 + "\r\n\r\nFrame 4 bad, ending at byte " +
                       std::to_string(end239) + "\r\n" + a239);
  EXPECT_EQ(r.counts.processed, 4u);
  EXPECT_EQ(r.counts.dropped, 2u);
  EXPECT_EQ(r.counts.corrupt, 1u);
  EXPECT_EQ(r.message, "4 frames processed\n2 frames dropped\n1 frames corrupt");

  for (const auto& [min, max] : {std::pair{0, 238}, {80, 80}, {238, 80}, {0, 0}}) {
    SCOPED_TRACE(std::to_string(min) + ".." + std::to_string(max));
    const Extracted all = ExtractCut(StrippedAux(min, max), stream);
    EXPECT_EQ(all.output, a79 + a80 + a100 + a239);
    EXPECT_EQ(all.log, "");
    EXPECT_EQ(all.message, "4 frames processed");
  }
  // Framing kept: the length check does not apply either, and the frames stay as sent.
  StreamExtractOptions framed = StrippedAux(80, 238);
  framed.stripAux = false;
  EXPECT_EQ(ExtractCut(framed, stream).output, stream.substr(stream.find("~S")));
}

// A stream with every kind of frame, escapes, noise and length failures.
std::string BusyStream() {
  const Bytes mixed = MixedStream(6, 3, 4, 7);
  std::string s(mixed.begin(), mixed.end());
  for (std::size_t n : {5u, 10u, 12u, 30u}) s += WireText('S', AuxText(n, 'a')) + "~~S~x";
  return s + WireText('C', "~~~") + "~Cunfinished";
}

TEST(StreamExtractor, SameResultHoweverTheStreamIsCut) {
  StreamExtractOptions o = StrippedAux(10, 20);
  o.binned = o.ctd = o.gps = o.mep = true;
  o.stripCtd = true;
  const std::string stream = BusyStream();
  const Extracted whole = ExtractCut(o, stream);
  ASSERT_EQ(whole.counts.dropped, 2u);
  ASSERT_EQ(whole.counts.corrupt, 1u);
  for (std::size_t cut = 1; cut < stream.size(); ++cut) {
    const Extracted r = ExtractCut(o, stream, {cut});
    ASSERT_EQ(r.output, whole.output) << "cut at " << cut;
    ASSERT_EQ(r.log, whole.log) << "cut at " << cut;
  }
  std::vector<std::size_t> bytes(stream.size() - 1);  // a byte at a time
  std::iota(bytes.begin(), bytes.end(), 1);
  const Extracted single = ExtractCut(o, stream, bytes);
  EXPECT_EQ(std::tie(single.output, single.log, single.message),
            std::tie(whole.output, whole.log, whole.message));
}

// Runs on real files.
class Run : public testing::Test {
 protected:
  TempDir dir;
  std::string in = dir / "cast.bin";
  std::string out = dir / "out.bin";
  std::string err = dir / "cast.err";
};

TEST_F(Run, WritesTheSameAsFeedingAndLogsBesideTheInput) {
  // An input that is itself named as a log keeps its contents: the log goes beside it.
  const std::string in = dir / "cast.err", err = dir / "cast.err.err";
  StreamExtractOptions o = StrippedAux(10, 20);
  o.mep = o.gps = true;
  std::string stream;
  while (stream.size() < 3 * StreamExtractor::kBlockSize) stream += BusyStream();
  WriteFile(in, stream);
  const Extracted fed = ExtractCut(o, stream);

  StreamExtractor x(o);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
  ASSERT_TRUE(x.Run(in, out, [&](std::uint64_t done, std::uint64_t total) {
    progress.emplace_back(done, total);
  })) << x.Error();
  EXPECT_EQ(ReadFile(out), fed.output);
  ASSERT_NE(fed.log, "");
  EXPECT_EQ(ReadFile(err), fed.log);
  EXPECT_EQ(ReadFile(in), stream);
  EXPECT_EQ(x.Message(), fed.message);
  ASSERT_GE(progress.size(), 3u);  // a block at a time, up to the whole
  EXPECT_EQ(progress.back(),
            std::make_pair(std::uint64_t{stream.size()}, std::uint64_t{stream.size()}));
}

TEST_F(Run, OutputThatIsTheInputOrTheLogIsRefused) {
  const std::string stream = WireText('L', "l") + WireText('S', AuxText(5, 'a'));
  WriteFile(in, stream);
  ASSERT_EQ(::link(in.c_str(), (dir / "hardlink.bin").c_str()), 0);
  ASSERT_EQ(::symlink(in.c_str(), (dir / "symlink.bin").c_str()), 0);
  for (const std::string& target : std::vector<std::string>{
           in, dir / "hardlink.bin", dir / "symlink.bin", dir.Path() + "/./cast.bin"}) {
    StreamExtractor x(Only('L'));
    EXPECT_FALSE(x.Run(in, target));
    EXPECT_EQ(x.Error(), "Error opening file for output: \"" + target + "\" <" +
                             std::to_string(EBUSY) + "> it is the input file\n");
    EXPECT_EQ(ReadFile(in), stream);
  }
  StreamExtractor x(StrippedAux(10, 20));
  EXPECT_FALSE(x.Run(in, err));
  EXPECT_EQ(x.Error(), "Error opening file for output: \"" + err + "\" <" + std::to_string(EBUSY) +
                           "> it is the error log\n");
}

TEST_F(Run, RecordingIsNeitherLockedNorChanged) {
  std::string stream;
  while (stream.size() < 2 * StreamExtractor::kBlockSize) stream += WireText('L', "l");
  WriteFile(in, stream);
  // A scan that records into the file holds an exclusive lock on it.
  const int recorder = ::open(in.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(recorder, 0);
  ASSERT_EQ(::flock(recorder, LOCK_EX | LOCK_NB), 0);
  StreamExtractor x(Only('L'));
  ASSERT_TRUE(x.Run(in, out)) << x.Error();
  EXPECT_EQ(ReadFile(out), stream);
  ::close(recorder);

  // While the extraction reads, another program can still take the lock.
  bool lockable = true;
  ASSERT_TRUE(x.Run(in, out, [&](std::uint64_t, std::uint64_t) {
    const int other = ::open(in.c_str(), O_WRONLY);
    lockable = lockable && other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0;
    ::close(other);
  })) << x.Error();
  EXPECT_TRUE(lockable);
  EXPECT_EQ(ReadFile(in), stream);
}

}  // namespace
}  // namespace vesk::test
