#pragma once
// Names of the data files in the data directory, and the rules that keep an existing
// recording from being truncated.

#include <ctime>
#include <string>

namespace vesk {

inline constexpr const char* kAutomaticNameFormat = "VESK_%Y-%m-%d_%H%M%S";

bool PathExists(const std::string& path);

// stem, or stem_2, stem_3, ... : the first for which neither directory/stem.bin nor
// directory/stem.dat exists (two logging starts in the same second get two names).
std::string UniqueStem(const std::string& directory, const std::string& stem);

// The automatic stem for a logging start at `tm`, made unique in `directory`.
std::string AutomaticStem(const std::string& directory, const std::tm& tm);

// A file name without its directory and without its last extension ("run1" of "/x/run1.bin").
std::string FileTitle(const std::string& path);

// The overwrite check: passes when neither file exists, or when the raw file (else the
// processed file) is a regular file that its owner may write.
bool OverwriteCheck(const std::string& rawPath, const std::string& processedPath);

// Moves each existing file to the same path + "-OLD", replacing an older one. Failures are
// ignored (a missing file is nothing to move).
void RenameOldDataFiles(const std::string& rawPath, const std::string& processedPath);

// Creates every missing level of a directory path; true when it exists afterwards.
bool CreateDirectories(const std::string& path);

}  // namespace vesk
