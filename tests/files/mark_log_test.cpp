// The .mrk file of the operator's marks, and the program's own log file with its rotation.

#include "files/mark_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "files/file_naming.h"
#include "files/message_log.h"
#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

TEST(MarkLog, MarksAreNumberedRowsThatReadBack) {
  TempDir dir;
  const std::string path = MarksPath(dir / "cast01.dat");
  EXPECT_EQ(path, dir / "cast01.mrk");
  MarkLog log;
  log.Begin(path);
  Mark a{0, 1781524803.25, 17, 44.650012, -63.5, "CTD down"};
  Mark b{0, 1781524810.0, 31, kMissing, kMissing, CleanNote("net \"big\", slow\r\nhaul")};
  ASSERT_TRUE(log.Add(a)) << log.Error();
  ASSERT_TRUE(log.Add(b)) << log.Error();
  EXPECT_EQ(ReadFile(path),
            "mark,utc_time_iso8601,l_frame_index,latitude_deg_north,longitude_deg_east,note\r\n"
            "1,2026-06-15T12:00:03.250Z,17,44.650012,-63.500000,\"CTD down\"\r\n"
            "2,2026-06-15T12:00:10Z,31,,,\"net \"\"big\"\", slow  haul\"\r\n");
  const std::vector<Mark> read = ReadMarks(path);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].number, 1);
  EXPECT_DOUBLE_EQ(read[0].epochSeconds, a.epochSeconds);
  EXPECT_TRUE(IsMissing(read[1].latitude));
  EXPECT_EQ(read[1].note, "net \"big\", slow  haul");

  // Marks made later on the same recording number on.
  MarkLog again;
  again.Begin(path);
  Mark c{};
  ASSERT_TRUE(again.Add(c));
  EXPECT_EQ(c.number, 3);
  EXPECT_EQ(ReadMarks(path).size(), 3u);
  // A file that cannot be written gives no number and says why.
  WriteFile(dir / "plain", "x");
  again.Begin(dir / "plain/x.mrk");
  EXPECT_FALSE(again.Add(c));
  EXPECT_NE(again.Error().find("Not a directory"), std::string::npos) << again.Error();
  EXPECT_TRUE(ReadMarks(dir / "none.mrk").empty());
  // A recording moved aside takes its marks with it.
  WriteFile(dir / "cast01.bin", "b");
  WriteFile(dir / "cast01.dat", "d");
  ASSERT_TRUE(RenameOldDataFiles(dir / "cast01.bin", dir / "cast01.dat").ok);
  EXPECT_EQ(ReadMarks(dir / "cast01.mrk-OLD").size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(MarkLog, NotesAreOneLineOfUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      // a note, as it is kept
      {"tab\there \xC2\xB0", "tab here \xC2\xB0"},  // UTF-8 kept
      {"Temp \xB0", "Temp ?"},                      // Windows-1252 byte
      {"cut \xE2\x82", "cut ??"},                   // a character cut short
      {std::string(300, 'x'), std::string(kMaxNoteBytes, 'x')},
      {std::string(199, 'x') + "\xC2\xB0", std::string(199, 'x')},  // never half a character
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(CleanNote(in), out) << in;
}

// What was written to `f`, which is closed.
std::string Contents(std::FILE* f) {
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  std::fclose(f);
  return text;
}

TEST(MessageLog, FilesAreTimeStampedAndRotated) {
  TempDir dir;
  const std::string path = dir / "state/VESK/vesk.log";
  std::FILE* terminal = std::tmpfile();
  {
    MessageLog log(LogDestination{false, path}, terminal);
    log.Write(LogSeverity::Warning, "WARNING !!\n\ntwo lines");
    const std::string first = ReadFile(path);
    EXPECT_NE(first.find(" vesk[" + std::to_string(::getpid()) + "]: WARNING !!  two lines\n"),
              std::string::npos)
        << first;
    EXPECT_EQ(first.substr(4, 1), "-");  // "2026-..."
    const std::string line(1000, 'x');
    for (int i = 0; i < 8 * 1100; ++i) log.Write(LogSeverity::Info, line, false);
  }
  EXPECT_TRUE(std::filesystem::exists(path + ".5"));
  EXPECT_FALSE(std::filesystem::exists(path + ".6"));
  EXPECT_LT(std::filesystem::file_size(path), MessageLog::kRotateBytes);
  EXPECT_GE(std::filesystem::file_size(path + ".1"), MessageLog::kRotateBytes);
  EXPECT_EQ(Contents(terminal), "vesk: WARNING !!  two lines\n");  // the first message only

  // In the journal the severity goes in front, and no file is written.
  std::FILE* journal = std::tmpfile();
  MessageLog(LogDestination{true, ""}, journal).Write(LogSeverity::Error, "ERROR: x");
  EXPECT_EQ(Contents(journal), "<3>vesk: ERROR: x\n");
}

}  // namespace
}  // namespace vesk::test
