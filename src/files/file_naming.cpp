#include "files/file_naming.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "acquisition/clock.h"

namespace vesk {

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string UniqueStem(const std::string& directory, const std::string& stem) {
  std::string candidate = stem;
  for (int n = 2; PathExists(directory + candidate + ".bin") ||
                  PathExists(directory + candidate + ".dat");
       ++n) {
    candidate = stem + "_" + std::to_string(n);
  }
  return candidate;
}

std::string AutomaticStem(const std::string& directory, const std::tm& tm) {
  return UniqueStem(directory, FormatTime(tm, kAutomaticNameFormat));
}

std::string FileTitle(const std::string& path) {
  std::string name = path;
  const std::size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

bool OverwriteCheck(const std::string& rawPath, const std::string& processedPath) {
  struct stat st {};
  if (::stat(rawPath.c_str(), &st) != 0 && ::stat(processedPath.c_str(), &st) != 0) {
    return true;  // neither exists
  }
  // The mode bits decide (not access(): root may write anything).
  return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) != 0;
}

void RenameOldDataFiles(const std::string& rawPath, const std::string& processedPath) {
  std::rename(rawPath.c_str(), (rawPath + "-OLD").c_str());
  std::rename(processedPath.c_str(), (processedPath + "-OLD").c_str());
}

bool CreateDirectories(const std::string& path) {
  std::string partial;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (!partial.empty()) ::mkdir(partial.c_str(), 0755);
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vesk
