#include "files/mark_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "files/export_csv.h"
#include "files/export_stage.h"

namespace vesk {
namespace {

// The length of the UTF-8 character starting at text[i], or 0 when it is not one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  std::size_t n = 0;
  unsigned min = 0;
  unsigned value = 0;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80, value = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800, value = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, value = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  return value < min || value > 0x10FFFF || surrogate ? 0 : n;
}

// The fields of one CSV row; a quoted field may hold commas and doubled quotes.
std::vector<std::string> SplitCsv(std::string_view row) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const char c = row[i];
    if (quoted) {
      if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

double ReadNumber(const std::string& field) {
  if (field.empty()) return kMissing;
  char* end = nullptr;
  const double v = std::strtod(field.c_str(), &end);
  return end != nullptr && *end == '\0' ? v : kMissing;
}

// "2026-06-15T12:00:03.250Z" to seconds since 1970; missing when it does not read so.
double ReadIsoUtc(const std::string& text) {
  std::tm tm{};
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                  &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6) {
    return kMissing;
  }
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  double fraction = 0;
  const char* rest = text.c_str() + consumed;
  if (*rest == '.') {
    char* end = nullptr;
    fraction = std::strtod(rest, &end);
    rest = end;
  }
  if (std::strcmp(rest, "Z") != 0) return kMissing;
  return static_cast<double>(timegm(&tm)) + fraction;
}

void PutCoordinate(std::string& row, double degrees) {
  row += ',';
  if (IsMissing(degrees)) return;
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", degrees);
  row += text;
}

}  // namespace

std::string MarksPath(const std::string& recordingPath) {
  return ExportPath(recordingPath, ".mrk");
}

const char* MarkCsvHeader() {
  return "mark,utc_time_iso8601,l_frame_index,latitude_deg_north,longitude_deg_east,note\r\n";
}

std::string MarkCsvRow(const Mark& mark) {
  std::string row = std::to_string(mark.number) + ',' + FormatIsoUtc(mark.epochSeconds) + ',' +
                    std::to_string(mark.lFrameIndex);
  PutCoordinate(row, mark.latitude);
  PutCoordinate(row, mark.longitude);
  row += ",\"";
  for (const char c : mark.note) {
    if (c == '"') row += '"';
    row += c;
  }
  row += "\"\r\n";
  return row;
}

std::string CleanNote(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8Length(text, i);
    if (n == 0) {
      if (out.size() + 1 > kMaxNoteBytes) break;
      out += '?';
      ++i;
      continue;
    }
    if (out.size() + n > kMaxNoteBytes) break;
    const auto c = static_cast<unsigned char>(text[i]);
    if (n == 1 && (c < 0x20 || c == 0x7F)) {
      out += ' ';
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out;
}

std::vector<Mark> ReadMarks(const std::string& path) {
  std::vector<Mark> marks;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> f = SplitCsv(line);
    if (f.size() != 6) continue;
    char* end = nullptr;
    const long number = std::strtol(f[0].c_str(), &end, 10);
    const unsigned long frame = std::strtoul(f[2].c_str(), nullptr, 10);
    if (f[0].empty() || *end != '\0' || number < 1 || f[2].empty()) continue;  // the header
    Mark m;
    m.number = static_cast<int>(number);
    m.epochSeconds = ReadIsoUtc(f[1]);
    m.lFrameIndex = static_cast<std::uint32_t>(frame);
    m.latitude = ReadNumber(f[3]);
    m.longitude = ReadNumber(f[4]);
    m.note = f[5];
    marks.push_back(std::move(m));
  }
  return marks;
}

void MarkLog::Begin(const std::string& path) {
  path_ = path;
  next_ = 1;
  error_.clear();
  for (const Mark& m : ReadMarks(path)) next_ = std::max(next_, m.number + 1);
}

bool MarkLog::Add(Mark& mark) {
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    error_ = path_ + ": " + std::strerror(errno);
    return false;
  }
  mark.number = next_;
  std::string text;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  if (size == 0) text = MarkCsvHeader();
  text += MarkCsvRow(mark);
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (ok) ok = ::fdatasync(fd) == 0;
  if (!ok) {
    error_ = path_ + ": " + std::strerror(errno);
    // No torn row: a part that reached the file is cut off again.
    if (size >= 0 && ::ftruncate(fd, size) != 0) error_ += " (a torn row is left)";
  }
  ::close(fd);
  if (!ok) return false;
  ++next_;
  return true;
}

}  // namespace vesk
