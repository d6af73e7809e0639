#include "files/file_naming.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/mark_log.h"
#include "seams/clock.h"

namespace vesk {

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string UniqueStem(const std::string& directory, const std::string& stem) {
  std::string candidate = stem;
  for (int n = 2;
       PathExists(directory + candidate + ".bin") || PathExists(directory + candidate + ".dat");
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

namespace {

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// rename() that never replaces its target: false with errno EEXIST when the target exists.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

}  // namespace

OldFilesMoved RenameOldDataFiles(const std::string& rawPath, const std::string& processedPath) {
  OldFilesMoved result;
  // The recording's event marks go with it.
  const std::string marksPath = MarksPath(processedPath);
  for (int generation = 1;; ++generation) {
    const std::string suffix = generation == 1 ? "-OLD" : "-OLD" + std::to_string(generation);
    if (PathExists(rawPath + suffix) || PathExists(processedPath + suffix) ||
        PathExists(marksPath + suffix)) {
      continue;
    }
    bool taken = false;  // another program took this generation meanwhile: try the next
    for (const std::string* path : {&rawPath, &processedPath, &marksPath}) {
      if (!PathExists(*path)) continue;
      if (!RenameNoReplace(*path, *path + suffix)) {
        if (errno == EEXIST) {
          taken = true;
          break;
        }
        result.ok = false;
        result.error = *path + ": " + std::strerror(errno);
        return result;
      }
      if (!result.text.empty()) result.text += ", ";
      result.text += BaseName(*path) + " -> " + BaseName(*path + suffix);
    }
    if (!taken) return result;
  }
}

std::optional<std::string> ReserveRecording(const std::string& directory, const std::string& stem,
                                            bool nextFree, std::string& error) {
  for (int n = 1;; ++n) {
    const std::string candidate = n == 1 ? stem : stem + "_" + std::to_string(n);
    const std::string raw = directory + candidate + ".bin";
    const std::string dat = directory + candidate + ".dat";
    const int rawFd = ::open(raw.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (rawFd >= 0) {
      ::close(rawFd);
      const int datFd = ::open(dat.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (datFd >= 0) {
        ::close(datFd);
        return candidate;
      }
      const int err = errno;
      ::unlink(raw.c_str());
      errno = err;
    }
    if (errno != EEXIST || !nextFree) {
      error = (rawFd >= 0 ? dat : raw) + ": " + std::strerror(errno);
      return std::nullopt;
    }
  }
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
