#pragma once
// The operator's event marks of a recording: "<recording>.mrk" beside its .dat, a CSV text
// with a header row and one row per mark (number, UTC time, L frame index, position, note).
// The .dat keeps its format; the analysis export copies the marks.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/export_row.h"

namespace vesk {

struct Mark {
  int number = 0;                  // 1, 2, ... within its file
  double epochSeconds = kMissing;  // the PC's UTC time, seconds since 1970-01-01
  // The L frame count when the mark was made: the l_frame_index of the next L row.
  std::uint32_t lFrameIndex = 0;
  double latitude = kMissing;  // degrees north of the latest fix; missing without one
  double longitude = kMissing;
  std::string note;  // UTF-8, one line
};

// "<stem>.mrk" of a .dat (or .bin) path.
std::string MarksPath(const std::string& recordingPath);
// The header row and one row of a marks file, each ending in "\r\n". The note is always
// quoted, quotes doubled.
const char* MarkCsvHeader();
std::string MarkCsvRow(const Mark& mark);
// A note as it is kept: control characters become blanks, bytes that are not UTF-8 become
// "?", and at most kMaxNoteBytes bytes (whole characters) remain.
inline constexpr std::size_t kMaxNoteBytes = 200;
std::string CleanNote(std::string_view text);

// The marks of a file, in file order; rows that do not read as marks are skipped. Nothing
// when the file is missing.
std::vector<Mark> ReadMarks(const std::string& path);

// Writes one recording's marks as they are made: each row with one write and a sync, so a
// mark is on the disk when the operator is told it was made.
class MarkLog {
 public:
  // Marks go to `path` from here on, numbered after those it holds.
  void Begin(const std::string& path);
  const std::string& Path() const { return path_; }
  // Numbers `mark` and appends it (the header row first into a new file); false with
  // Error() when the file cannot be written (the number is then not used).
  bool Add(Mark& mark);
  const std::string& Error() const { return error_; }

 private:
  std::string path_;
  int next_ = 1;
  std::string error_;
};

}  // namespace vesk
