// The output file object: creating, writing, failures and the lock against a second writer.

#include "files/data_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

TEST(DataFile, CreateFailuresLeaveTheObjectUsable) {
  TempDir dir;
  WriteFile(dir / "plain", "x");
  WriteFile(dir / "good.dat", "old contents that are longer");
  DataFile f;
  EXPECT_FALSE(f.Write("never opened"));
  for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
           {dir / "plain/out.dat", "Not a directory"},
           {dir.Path(), "Is a directory"},
           {dir / "none/out.dat", "No such file or directory"},
       }) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(f.Create(path));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Error(), reason);
    EXPECT_FALSE(f.Write("lost"));
    ASSERT_TRUE(f.Create(dir / "good.dat"));  // replacing what was there
    EXPECT_TRUE(f.Write(reason));
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(ReadFile(dir / "good.dat"), reason);
  }
}

TEST(DataFile, WritesToAFullDeviceFailAndTheNextFileStartsClean) {
  TempDir dir;
  DataFile f;
  ASSERT_TRUE(f.Create("/dev/full")) << f.Error();
  EXPECT_FALSE(f.Write("L1 1 2 3\r\n"));
  EXPECT_EQ(f.Error(), "No space left on device");
  EXPECT_TRUE(f.IsOpen());
  EXPECT_TRUE(f.WriteFailed());
  // Buffered: a write that fits fails at the close, one past the buffer at once; the batch
  // player asks at the end whether anything was lost on the way.
  ASSERT_TRUE(f.Create("/dev/full"));
  f.SetBuffered(true);
  EXPECT_TRUE(f.Write("held in memory"));
  EXPECT_FALSE(f.Close());
  EXPECT_EQ(f.Error(), "No space left on device");
  ASSERT_TRUE(f.Create("/dev/full"));
  f.SetBuffered(true);
  EXPECT_FALSE(f.Write(std::string(2 << 20, 'x')));
  f.Close();
  EXPECT_TRUE(f.WriteFailed());
  ASSERT_TRUE(f.Create(dir / "next.dat"));
  EXPECT_FALSE(f.WriteFailed());
  EXPECT_TRUE(f.Write("fine"));
  EXPECT_TRUE(f.Close());
  EXPECT_EQ(ReadFile(dir / "next.dat"), "fine");
}

TEST(DataFile, SecondCreateOnALockedFileFails) {
  TempDir dir;
  const std::string path = dir / "cast.bin";
  DataFile first;
  ASSERT_TRUE(first.Create(path));
  ASSERT_TRUE(first.Write("recording"));
  DataFile second;
  EXPECT_FALSE(second.Create(path));
  EXPECT_EQ(second.Error(), "the file is in use by another program");
  EXPECT_FALSE(second.IsOpen());
  // The first writer's data is untouched, and the file is free once it is closed.
  EXPECT_EQ(ReadFile(path), "recording");
  ASSERT_TRUE(first.Close());
  EXPECT_TRUE(second.Create(path));
  EXPECT_TRUE(second.Close());
}

TEST(DataFile, BufferedWritesArriveWholeAndInOrder) {
  TempDir dir;
  DataFile f;
  ASSERT_TRUE(f.Create(dir / "big.dat"));
  f.SetBuffered(true);
  std::string expected;
  for (int i = 0; i < 120000; ++i) {
    const std::string line = "M " + std::to_string(i) + " 1 2 3 \r\n";
    expected += line;
    ASSERT_TRUE(f.Write(line));
  }
  ASSERT_GT(expected.size(), 1u << 20);  // more than one buffer's worth
  ASSERT_TRUE(f.Flush());
  EXPECT_EQ(ReadFile(dir / "big.dat"), expected);
  ASSERT_TRUE(f.Write("tail"));
  f.SetBuffered(false);  // writes what is held
  EXPECT_EQ(ReadFile(dir / "big.dat"), expected + "tail");
  EXPECT_TRUE(f.Close());
}

}  // namespace
}  // namespace vesk::test
