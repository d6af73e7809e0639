#pragma once
// Names of the data files in the data directory, and the rules that keep an existing
// recording from being truncated.

#include <ctime>
#include <optional>
#include <string>

namespace vesk {

inline constexpr const char* kAutomaticNameFormat = "VESK_%Y-%m-%d_%H%M%S";
// The file dialogs' filter for recordings.
inline constexpr const char* kBinFileFilter = "VESK Binary Data Files (*.bin);;All Files (*)";

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

// What RenameOldDataFiles did: ok unless an existing file could not be moved (then `error`
// says why, and nothing may be written under the old name); `text` names each file moved
// ("cast.bin -> cast.bin-OLD2"), empty when none existed.
struct OldFilesMoved {
  bool ok = true;
  std::string text;
  std::string error;
};

// Moves the existing files of a recording aside, never over another file: both (and the
// recording's .mrk) to the same path + "-OLD", or "-OLD2", "-OLD3", ... (the first suffix
// free for all), so every earlier generation is kept.
OldFilesMoved RenameOldDataFiles(const std::string& rawPath, const std::string& processedPath);

// Takes the names directory/stem.bin and directory/stem.dat for a new recording by creating
// both files empty with exclusive creation. When either exists already: with `nextFree`, the
// next free stem (stem_2, ...) is tried; otherwise nothing is taken. The stem taken, or
// nothing with `error` set.
std::optional<std::string> ReserveRecording(const std::string& directory, const std::string& stem,
                                            bool nextFree, std::string& error);

// Creates every missing level of a directory path; true when it exists afterwards.
bool CreateDirectories(const std::string& path);

}  // namespace vesk
