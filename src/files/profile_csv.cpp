#include "files/profile_csv.h"

#include <charconv>

#include "files/export_csv.h"

namespace vesk {
namespace {

// Appends ",<value>": the shortest text of a double, nothing when missing.
void PutReal(std::string& line, double v) {
  line += ',';
  if (IsMissing(v)) return;
  char text[32];
  line.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

void PutCount(std::string& line, std::uint64_t v) {
  line += ',';
  char text[24];
  line.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// "<number>,<direction>"
void PutProfile(std::string& line, const ProfileRecord& p) {
  char text[16];
  line.append(text, std::to_chars(text, text + sizeof text, p.number).ptr);
  line += ',';
  line += DirectionName(p.direction);
}

}  // namespace

ProfileCsvWriter::ProfileCsvWriter(const std::string& datPath, bool buffered)
    : profiles_(ExportPath(datPath, "_profiles.csv")),
      spectra_(ExportPath(datPath, "_spectra.csv")),
      buffered_(buffered) {}

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
  if (!profiles_.Create(ProfilesHeader(), buffered_)) {
    error_ = profiles_.Error();
    return false;
  }
  if (!spectra_.Create(SpectraHeader(), buffered_)) {
    error_ = spectra_.Error();
    profiles_.Discard();
    return false;
  }
  return true;
}

void ProfileCsvWriter::Write(const std::shared_ptr<const ProfileRecord>& profile) {
  const ProfileRecord& p = *profile;
  std::string text;
  text.reserve(p.bins.size() * 900);
  for (const DepthBinRecord& b : p.bins) {
    PutProfile(text, p);
    PutReal(text, b.depth);
    PutCount(text, b.framesUsed);
    PutReal(text, b.volume);
    PutCount(text, b.count);
    PutReal(text, b.concentration);
    PutReal(text, b.ciLow);
    PutReal(text, b.ciHigh);
    PutReal(text, b.fit.slope);
    for (std::uint64_t c : b.counts) PutCount(text, c);
    text += "\r\n";
  }
  profiles_.Write(text);
  text.clear();
  for (int k = 0; k < kExportBinCount; ++k) {
    PutProfile(text, p);
    PutReal(text, k * kBinEsdMicrometres);
    PutCount(text, p.counts[k]);
    PutReal(text, Nbss(p.counts[k], p.volume, k));
    text += "\r\n";
  }
  spectra_.Write(text);
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
