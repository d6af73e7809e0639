#include "files/profile_csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "files/export_csv.h"

namespace vesk {
namespace {

// ",<value>" into the row buffer: the shortest text of a double, nothing when missing (0, an
// empty size bin's NBSS, is common).
char* PutReal(char* p, double v) {
  *p++ = ',';
  if (v == 0 && !std::signbit(v)) {
    *p++ = '0';
    return p;
  }
  return IsMissing(v) ? p : std::to_chars(p, p + 32, v).ptr;
}

// Most size bins hold fewer than 100 particles.
char* PutCount(char* p, std::uint64_t v) {
  *p++ = ',';
  if (v < 10) {
    *p++ = static_cast<char>('0' + v);
    return p;
  }
  if (v < 100) {
    *p++ = static_cast<char>('0' + v / 10);
    *p++ = static_cast<char>('0' + v % 10);
    return p;
  }
  return std::to_chars(p, p + 24, v).ptr;
}

char* Put(char* p, const std::string& text) {
  return std::copy(text.begin(), text.end(), p);
}

// "<number>,<direction>"
char* PutProfile(char* p, const ProfileRecord& r) {
  p = std::to_chars(p, p + 12, r.number).ptr;
  *p++ = ',';
  for (const char* d = DirectionName(r.direction); *d != '\0'; ++d) *p++ = *d;
  return p;
}

}  // namespace

ProfileCsvWriter::ProfileCsvWriter(const std::string& datPath)
    : profiles_(ExportPath(datPath, "_profiles.csv")),
      spectra_(ExportPath(datPath, "_spectra.csv")) {
  char text[40];
  for (int k = 0; k < kExportBinCount; ++k) {
    sizes_[k].assign(text, PutReal(text, k * kBinEsdMicrometres));
  }
}

const std::string& ProfileCsvWriter::DepthText(double depth) {
  if (depths_.size() >= 4096) depths_.clear();
  auto [it, added] = depths_.try_emplace(depth);
  if (added) {
    char text[40];
    it->second.assign(text, PutReal(text, depth));
  }
  return it->second;
}

std::string ProfileCsvWriter::ProfilesHeader() {
  return "profile,direction,depth_m,frames_used,volume_m3,count,concentration_per_m3,"
         "ci95_low_per_m3,ci95_high_per_m3,nbss_slope" +
         CsvExporter::BinCountColumns() + "\r\n";
}

const char* ProfileCsvWriter::SpectraHeader() {
  return "profile,direction,size_um,count,nbss_per_m3\r\n";
}

bool ProfileCsvWriter::Begin(const ExportContext&, const ProfileSettings&) {
  error_.clear();
  if (!profiles_.Create(ProfilesHeader(), false)) {
    error_ = profiles_.Error();
    return false;
  }
  if (!spectra_.Create(SpectraHeader(), false)) {
    error_ = spectra_.Error();
    profiles_.Discard();
    return false;
  }
  return true;
}

void ProfileCsvWriter::Write(const std::shared_ptr<const ProfileRecord>& profile) {
  const ProfileRecord& r = *profile;
  // 138 numbers of at most 33 characters: under 5 KiB.
  char line[5120];
  text_.clear();
  for (const DepthBinRecord& b : r.bins) {
    char* p = PutProfile(line, r);
    p = Put(p, DepthText(b.depth));
    p = PutCount(p, b.framesUsed);
    p = PutReal(p, b.volume);
    p = PutCount(p, b.count);
    p = PutReal(p, b.concentration);
    p = PutReal(p, b.ciLow);
    p = PutReal(p, b.ciHigh);
    p = PutReal(p, b.fit.slope);
    for (std::uint64_t c : b.counts) p = PutCount(p, c);
    *p++ = '\r';
    *p++ = '\n';
    text_.append(line, static_cast<std::size_t>(p - line));
  }
  profiles_.Write(text_);
  text_.clear();
  for (int k = 0; k < kExportBinCount; ++k) {
    char* p = PutProfile(line, r);
    p = Put(p, sizes_[k]);
    p = PutCount(p, r.counts[k]);
    p = PutReal(p, Nbss(r.counts[k], r.volume, k));
    *p++ = '\r';
    *p++ = '\n';
    text_.append(line, static_cast<std::size_t>(p - line));
  }
  spectra_.Write(text_);
}

bool ProfileCsvWriter::Finish() {
  const bool ok = profiles_.Commit() && spectra_.Commit();
  if (!ok) {
    error_ = !profiles_.Error().empty() ? profiles_.Error() : spectra_.Error();
    Discard();
  }
  return ok;
}

void ProfileCsvWriter::Discard() {
  profiles_.Discard();
  spectra_.Discard();
}

}  // namespace vesk
